#include "Host.h"

#include "Idna.h"
#include "PercentEncoding.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>

namespace Url {

namespace {

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiHexDigit(char32_t c)
{
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char32_t c)
{
    if (isAsciiDigit(c))
        return int(c - '0');
    return int((c | 0x20) - 'a' + 10);
}

// The parsed value, and whether it was written in hexadecimal or octal.
struct IPv4Number
{
    uint64_t value = 0;
    bool validationError = false;
};

// Above any part an address can hold: a larger number fails the same way, so
// counting stops here instead of overflowing.
constexpr uint64_t ipv4NumberCeiling = uint64_t(1) << 40;

std::optional<IPv4Number> parseIPv4Number(QStringView input)
{
    if (input.isEmpty())
        return std::nullopt;
    bool validationError = false;
    int R = 10;
    if (input.size() >= 2 && (input.startsWith(u"0x") || input.startsWith(u"0X"))) {
        validationError = true;
        input = input.sliced(2);
        R = 16;
    } else if (input.size() >= 2 && input.front() == u'0') {
        validationError = true;
        input = input.sliced(1);
        R = 8;
    }
    if (input.isEmpty())
        return IPv4Number{0, true};
    uint64_t output = 0;
    for (QChar qc : input) {
        const char32_t c = qc.unicode();
        const bool isRadixDigit = R == 16 ? isAsciiHexDigit(c) : (isAsciiDigit(c) && int(c - '0') < R);
        if (!isRadixDigit)
            return std::nullopt;
        output = std::min(output * uint64_t(R) + uint64_t(hexValue(c)), ipv4NumberCeiling);
    }
    return IPv4Number{output, validationError};
}

uint64_t power256(qsizetype exponent)
{
    return uint64_t(1) << (8 * exponent);
}

using IPv6Address = std::array<uint16_t, 8>;

bool isForbiddenHostCodePoint(char32_t c)
{
    switch (c) {
    case 0x00: case 0x09: case 0x0A: case 0x0D: case ' ': case '#': case '/': case ':': case '<': case '>':
    case '?': case '@': case '[': case '\\': case ']': case '^': case '|':
        return true;
    default:
        return false;
    }
}

bool isForbiddenDomainCodePoint(char32_t c)
{
    return isForbiddenHostCodePoint(c) || c <= 0x1F || c == '%' || c == 0x7F;
}

bool endsInANumber(QStringView input)
{
    QList<QStringView> parts = input.split(u'.');
    if (parts.back().isEmpty()) {
        if (parts.size() == 1)
            return false;
        parts.removeLast();
    }
    const QStringView last = parts.back();
    if (!last.isEmpty() && std::all_of(last.begin(), last.end(), [](QChar c) { return isAsciiDigit(c.unicode()); }))
        return true;
    return parseIPv4Number(last).has_value();
}

std::optional<uint32_t> parseIPv4(QStringView input)
{
    QList<QStringView> parts = input.split(u'.');
    if (parts.back().isEmpty()) {
        // IPv4-empty-part: "1.2.3.4." is allowed.
        if (parts.size() > 1)
            parts.removeLast();
    }
    if (parts.size() > 4)
        return std::nullopt;
    QList<uint64_t> numbers;
    for (QStringView part : std::as_const(parts)) {
        const auto result = parseIPv4Number(part);
        if (!result)
            return std::nullopt;
        numbers.append(result->value);
    }
    for (qsizetype i = 0; i + 1 < numbers.size(); ++i) {
        if (numbers[i] > 255)
            return std::nullopt;
    }
    if (numbers.back() >= power256(5 - numbers.size()))
        return std::nullopt;
    uint64_t ipv4 = numbers.back();
    numbers.removeLast();
    qsizetype counter = 0;
    for (uint64_t n : std::as_const(numbers)) {
        ipv4 += n * power256(3 - counter);
        ++counter;
    }
    return uint32_t(ipv4);
}

std::optional<IPv6Address> parseIPv6(const std::u32string &input)
{
    IPv6Address address{};
    int pieceIndex = 0;
    std::optional<int> compress;
    size_t pointer = 0;
    constexpr char32_t eof = 0xFFFFFFFF;
    const auto c = [&] { return pointer < input.size() ? input[pointer] : eof; };
    const auto remainingStartsWith = [&](char32_t what) { return pointer + 1 < input.size() && input[pointer + 1] == what; };

    if (c() == ':') {
        if (!remainingStartsWith(':'))
            return std::nullopt; // IPv6-invalid-compression
        pointer += 2;
        ++pieceIndex;
        compress = pieceIndex;
    }
    while (c() != eof) {
        if (pieceIndex == 8)
            return std::nullopt; // IPv6-too-many-pieces
        if (c() == ':') {
            if (compress)
                return std::nullopt; // IPv6-multiple-compression
            ++pointer;
            ++pieceIndex;
            compress = pieceIndex;
            continue;
        }
        int value = 0;
        int length = 0;
        while (length < 4 && isAsciiHexDigit(c())) {
            value = value * 0x10 + hexValue(c());
            ++pointer;
            ++length;
        }
        if (c() == '.') {
            if (length == 0)
                return std::nullopt; // IPv4-in-IPv6-invalid-code-point
            pointer -= size_t(length);
            if (pieceIndex > 6)
                return std::nullopt; // IPv4-in-IPv6-too-many-pieces
            int numbersSeen = 0;
            while (c() != eof) {
                std::optional<int> ipv4Piece;
                if (numbersSeen > 0) {
                    if (c() == '.' && numbersSeen < 4)
                        ++pointer;
                    else
                        return std::nullopt; // IPv4-in-IPv6-invalid-code-point
                }
                if (!isAsciiDigit(c()))
                    return std::nullopt; // IPv4-in-IPv6-invalid-code-point
                while (isAsciiDigit(c())) {
                    const int number = int(c() - '0');
                    if (!ipv4Piece)
                        ipv4Piece = number;
                    else if (*ipv4Piece == 0)
                        return std::nullopt; // IPv4-in-IPv6-invalid-code-point
                    else
                        ipv4Piece = *ipv4Piece * 10 + number;
                    if (*ipv4Piece > 255)
                        return std::nullopt; // IPv4-in-IPv6-out-of-range-part
                    ++pointer;
                }
                address[pieceIndex] = uint16_t(address[pieceIndex] * 0x100 + *ipv4Piece);
                ++numbersSeen;
                if (numbersSeen == 2 || numbersSeen == 4)
                    ++pieceIndex;
            }
            if (numbersSeen != 4)
                return std::nullopt; // IPv4-in-IPv6-too-few-parts
            break;
        } else if (c() == ':') {
            ++pointer;
            if (c() == eof)
                return std::nullopt; // IPv6-invalid-code-point
        } else if (c() != eof) {
            return std::nullopt; // IPv6-invalid-code-point
        }
        address[pieceIndex] = uint16_t(value);
        ++pieceIndex;
    }
    if (compress) {
        int swaps = pieceIndex - *compress;
        pieceIndex = 7;
        while (pieceIndex != 0 && swaps > 0) {
            std::swap(address[pieceIndex], address[*compress + swaps - 1]);
            --pieceIndex;
            --swaps;
        }
    } else if (pieceIndex != 8) {
        return std::nullopt; // IPv6-too-few-pieces
    }
    return address;
}

std::optional<QString> parseOpaqueHost(const std::u32string &input)
{
    for (char32_t c : input) {
        if (isForbiddenHostCodePoint(c))
            return std::nullopt; // host-invalid-code-point
    }
    return utf8PercentEncode(input, PercentEncodeSet::C0Control);
}

QString serializeIPv4(uint32_t address)
{
    QString output;
    uint32_t n = address;
    for (int i = 1; i <= 4; ++i) {
        output.prepend(QString::number(n % 256));
        if (i != 4)
            output.prepend(u'.');
        n /= 256;
    }
    return output;
}

QString serializeIPv6(const IPv6Address &address)
{
    QString output;
    // The first longest run of zero pieces, if it is longer than one piece.
    std::optional<int> compress;
    int longest = 1;
    for (int start = 0; start < 8;) {
        int end = start;
        while (end < 8 && address[end] == 0)
            ++end;
        if (end - start > longest) {
            longest = end - start;
            compress = start;
        }
        start = std::max(end, start + 1);
    }
    bool ignore0 = false;
    for (int pieceIndex = 0; pieceIndex <= 7; ++pieceIndex) {
        if (ignore0 && address[pieceIndex] == 0)
            continue;
        ignore0 = false;
        if (compress == pieceIndex) {
            output.append(pieceIndex == 0 ? u"::" : u":");
            ignore0 = true;
            continue;
        }
        output.append(QString::number(address[pieceIndex], 16));
        if (pieceIndex != 7)
            output.append(u':');
    }
    return output;
}

} // namespace

std::optional<QString> parseHost(const std::u32string &input, bool isOpaque)
{
    if (!input.empty() && input.front() == '[') {
        if (input.back() != ']')
            return std::nullopt;
        const auto address = parseIPv6(input.substr(1, input.size() - 2));
        if (!address)
            return std::nullopt;
        return u'[' + serializeIPv6(*address) + u']';
    }
    if (isOpaque)
        return parseOpaqueHost(input);
    Q_ASSERT(!input.empty());
    const QString domain = QString::fromUtf8(percentDecode(utf8Encode(input)));
    const std::optional<QString> asciiDomain = domainToAscii(domain);
    if (!asciiDomain)
        return std::nullopt;
    for (QChar c : *asciiDomain) {
        if (isForbiddenDomainCodePoint(c.unicode()))
            return std::nullopt;
    }
    if (endsInANumber(*asciiDomain)) {
        const auto ipv4 = parseIPv4(*asciiDomain);
        if (!ipv4)
            return std::nullopt;
        return serializeIPv4(*ipv4);
    }
    return asciiDomain;
}

} // namespace Url
