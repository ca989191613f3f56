#include "PercentEncoding.h"

namespace Url {

namespace {

bool isC0Control(char32_t c)
{
    return c <= 0x1F;
}

void appendPercentEncodedByte(unsigned char byte, QString &out)
{
    static const char upperHex[] = "0123456789ABCDEF";
    out.append(u'%');
    out.append(QLatin1Char(upperHex[byte >> 4]));
    out.append(QLatin1Char(upperHex[byte & 0xF]));
}

int asciiHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool isInPercentEncodeSet(char32_t c, PercentEncodeSet set)
{
    if (isC0Control(c) || c > 0x7E)
        return true;
    switch (set) {
    case PercentEncodeSet::C0Control:
        return false;
    case PercentEncodeSet::Fragment:
        return c == ' ' || c == '"' || c == '<' || c == '>' || c == '`';
    case PercentEncodeSet::Query:
        return c == ' ' || c == '"' || c == '#' || c == '<' || c == '>';
    case PercentEncodeSet::SpecialQuery:
        return isInPercentEncodeSet(c, PercentEncodeSet::Query) || c == '\'';
    case PercentEncodeSet::Path:
        return isInPercentEncodeSet(c, PercentEncodeSet::Query) || c == '?' || c == '`' || c == '{' || c == '}';
    case PercentEncodeSet::Userinfo:
        return isInPercentEncodeSet(c, PercentEncodeSet::Path) || c == '/' || c == ':' || c == ';' || c == '='
                || c == '@' || (c >= '[' && c <= '^') || c == '|';
    }
    return true;
}

void utf8PercentEncode(char32_t c, PercentEncodeSet set, QString &out)
{
    if (!isInPercentEncodeSet(c, set)) {
        out.append(QChar(char16_t(c)));
        return;
    }
    for (char byte : utf8Encode(std::u32string(1, c)))
        appendPercentEncodedByte(static_cast<unsigned char>(byte), out);
}

QString utf8PercentEncode(const std::u32string &input, PercentEncodeSet set)
{
    QString out;
    for (char32_t c : input)
        utf8PercentEncode(c, set, out);
    return out;
}

QByteArray percentDecode(QByteArrayView input)
{
    QByteArray output;
    output.reserve(input.size());
    for (qsizetype i = 0; i < input.size(); ++i) {
        const char byte = input[i];
        const bool twoMore = i + 2 < input.size();
        const int high = twoMore ? asciiHexValue(input[i + 1]) : -1;
        const int low = twoMore ? asciiHexValue(input[i + 2]) : -1;
        if (byte != '%' || high < 0 || low < 0) {
            output.append(byte);
            continue;
        }
        output.append(char(high * 16 + low));
        i += 2;
    }
    return output;
}

QByteArray utf8Encode(const std::u32string &input)
{
    QByteArray out;
    out.reserve(qsizetype(input.size()));
    for (char32_t c : input) {
        if (c < 0x80) {
            out.append(char(c));
        } else if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
            out.append(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        } else {
            out.append(char(0xF0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3F)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u32string toScalarValues(QStringView input)
{
    std::u32string out;
    out.reserve(size_t(input.size()));
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input[i];
        if (c.isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate()) {
            out.push_back(QChar::surrogateToUcs4(c, input[i + 1]));
            ++i;
        } else if (c.isSurrogate()) {
            out.push_back(QChar::ReplacementCharacter);
        } else {
            out.push_back(c.unicode());
        }
    }
    return out;
}

} // namespace Url
