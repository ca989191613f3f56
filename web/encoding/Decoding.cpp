#include "Decoding.h"

#include <QStringDecoder>

#include <array>

namespace Encoding {

namespace {

// The platform decoder's name where it differs from the web's: the web's EUC-KR,
// Big5 and Shift_JIS are the wider Windows and HKSCS tables.
QByteArray decoderName(const QByteArray &encoding)
{
    if (encoding == "EUC-KR")
        return "windows-949";
    if (encoding == "Big5")
        return "Big5-HKSCS";
    if (encoding == "Shift_JIS")
        return "windows-31j";
    if (encoding == "ISO-8859-8-I")
        return "ISO-8859-8";
    return encoding;
}

// ISO-8859-16 is missing from the platform's tables; it is Latin-1 but for these.
QString decodeLatin10(QByteArrayView bytes)
{
    static const std::pair<unsigned char, char16_t> differences[] = {
        {0xA1, 0x0104}, {0xA2, 0x0105}, {0xA3, 0x0141}, {0xA4, 0x20AC}, {0xA5, 0x201E}, {0xA6, 0x0160},
        {0xA8, 0x0161}, {0xAA, 0x0218}, {0xAC, 0x0179}, {0xAE, 0x017A}, {0xAF, 0x017B}, {0xB2, 0x010C},
        {0xB3, 0x0142}, {0xB4, 0x017D}, {0xB5, 0x201D}, {0xB8, 0x017E}, {0xB9, 0x010D}, {0xBA, 0x0219},
        {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178}, {0xBF, 0x017C}, {0xC3, 0x0102}, {0xC5, 0x0106},
        {0xD0, 0x0110}, {0xD1, 0x0143}, {0xD5, 0x0150}, {0xD7, 0x015A}, {0xD8, 0x0170}, {0xDD, 0x0118},
        {0xDE, 0x021A}, {0xE3, 0x0103}, {0xE5, 0x0107}, {0xF0, 0x0111}, {0xF1, 0x0144}, {0xF5, 0x0151},
        {0xF7, 0x015B}, {0xF8, 0x0171}, {0xFD, 0x0119}, {0xFE, 0x021B},
    };
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = char16_t(i);
        for (const auto &[byte, code] : differences)
            t[byte] = code;
        return t;
    }();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes)
        *out++ = QChar(table[static_cast<unsigned char>(c)]);
    return text;
}

// Stateless, so that a sequence cut off at the end becomes U+FFFD instead of silently
// waiting for bytes that never come; a leading U+FEFF after a stripped BOM is text.
constexpr auto decoderFlags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

// The platform's fast UTF-8 decoder; false when the bytes are not valid UTF-8.
bool decodeValidUtf8(QByteArrayView bytes, QString *text)
{
    QStringDecoder utf8(QStringConverter::Utf8, decoderFlags);
    *text = utf8.decode(bytes);
    return !utf8.hasError();
}

// UTF-8 with one U+FFFD for each maximal invalid subpart, as browsers decode it. Only
// for bodies that have errors: valid UTF-8 takes the platform's fast decoder.
QString decodeUtf8LikeBrowsers(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    char32_t codePoint = 0;
    int needed = 0;
    int seen = 0;
    unsigned char lower = 0x80;
    unsigned char upper = 0xBF;
    const auto appendCodePoint = [&text](char32_t c) {
        if (c > 0xFFFF) {
            text.append(QChar::highSurrogate(c));
            text.append(QChar::lowSurrogate(c));
        } else {
            text.append(QChar(char16_t(c)));
        }
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (needed == 0) {
            if (b <= 0x7F) {
                text.append(QChar(char16_t(b)));
            } else if (b >= 0xC2 && b <= 0xDF) {
                needed = 1;
                codePoint = b & 0x1F;
            } else if (b >= 0xE0 && b <= 0xEF) {
                lower = b == 0xE0 ? 0xA0 : 0x80;
                upper = b == 0xED ? 0x9F : 0xBF;
                needed = 2;
                codePoint = b & 0x0F;
            } else if (b >= 0xF0 && b <= 0xF4) {
                lower = b == 0xF0 ? 0x90 : 0x80;
                upper = b == 0xF4 ? 0x8F : 0xBF;
                needed = 3;
                codePoint = b & 0x07;
            } else {
                text.append(QChar::ReplacementCharacter);
            }
            continue;
        }
        if (b < lower || b > upper) {
            // The broken sequence so far is one error; this byte starts afresh.
            codePoint = 0;
            needed = seen = 0;
            lower = 0x80;
            upper = 0xBF;
            text.append(QChar::ReplacementCharacter);
            --i;
            continue;
        }
        lower = 0x80;
        upper = 0xBF;
        codePoint = (codePoint << 6) | (b & 0x3F);
        if (++seen == needed) {
            appendCodePoint(codePoint);
            codePoint = 0;
            needed = seen = 0;
        }
    }
    if (needed != 0)
        text.append(QChar::ReplacementCharacter);
    return text;
}

QString decodeUserDefined(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b < 0x80 ? b : 0xF780 + b - 0x80);
    }
    return text;
}

} // namespace

bool decodeWith(const QByteArray &encoding, QByteArrayView bytes, QString *text)
{
    if (encoding == "replacement") {
        *text = bytes.isEmpty() ? QString() : QString(QChar::ReplacementCharacter);
        return true;
    }
    if (encoding == "ISO-8859-16") {
        *text = decodeLatin10(bytes);
        return true;
    }
    if (encoding == "x-user-defined") {
        *text = decodeUserDefined(bytes);
        return true;
    }
    if (encoding == "UTF-8") {
        if (!decodeValidUtf8(bytes, text))
            *text = decodeUtf8LikeBrowsers(bytes);
        return true;
    }
    QStringDecoder decoder;
    if (encoding == "UTF-16LE")
        decoder = QStringDecoder(QStringConverter::Utf16LE, decoderFlags);
    else if (encoding == "UTF-16BE")
        decoder = QStringDecoder(QStringConverter::Utf16BE, decoderFlags);
    else
        decoder = QStringDecoder(decoderName(encoding).constData(), decoderFlags);
    if (!decoder.isValid() && encoding == "Big5")
        decoder = QStringDecoder("Big5", decoderFlags);
    if (!decoder.isValid())
        return false;
    *text = decoder.decode(bytes);
    return true;
}

} // namespace Encoding
