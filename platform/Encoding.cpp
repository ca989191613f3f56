#include "Encoding.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace Encoding {

namespace {

struct LabelGroup
{
    const char *name;
    std::initializer_list<const char *> labels;
};

// The web's encoding labels, each group under the encoding it means.
const LabelGroup labelGroups[] = {
    {"UTF-8", {"unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "utf-8", "utf8", "x-unicode20utf8"}},
    {"IBM866", {"866", "cp866", "csibm866", "ibm866"}},
    {"ISO-8859-2", {"csisolatin2", "iso-8859-2", "iso-ir-101", "iso8859-2", "iso88592", "iso_8859-2", "iso_8859-2:1987", "l2", "latin2"}},
    {"ISO-8859-3", {"csisolatin3", "iso-8859-3", "iso-ir-109", "iso8859-3", "iso88593", "iso_8859-3", "iso_8859-3:1988", "l3", "latin3"}},
    {"ISO-8859-4", {"csisolatin4", "iso-8859-4", "iso-ir-110", "iso8859-4", "iso88594", "iso_8859-4", "iso_8859-4:1988", "l4", "latin4"}},
    {"ISO-8859-5", {"csisolatincyrillic", "cyrillic", "iso-8859-5", "iso-ir-144", "iso8859-5", "iso88595", "iso_8859-5", "iso_8859-5:1988"}},
    {"ISO-8859-6", {"arabic", "asmo-708", "csiso88596e", "csiso88596i", "csisolatinarabic", "ecma-114", "iso-8859-6", "iso-8859-6-e", "iso-8859-6-i", "iso-ir-127", "iso8859-6", "iso88596", "iso_8859-6", "iso_8859-6:1987"}},
    {"ISO-8859-7", {"csisolatingreek", "ecma-118", "elot_928", "greek", "greek8", "iso-8859-7", "iso-ir-126", "iso8859-7", "iso88597", "iso_8859-7", "iso_8859-7:1987", "sun_eu_greek"}},
    {"ISO-8859-8", {"csiso88598e", "csisolatinhebrew", "hebrew", "iso-8859-8", "iso-8859-8-e", "iso-ir-138", "iso8859-8", "iso88598", "iso_8859-8", "iso_8859-8:1988", "visual"}},
    {"ISO-8859-8-I", {"csiso88598i", "iso-8859-8-i", "logical"}},
    {"ISO-8859-10", {"csisolatin6", "iso-8859-10", "iso-ir-157", "iso8859-10", "iso885910", "l6", "latin6"}},
    {"ISO-8859-13", {"iso-8859-13", "iso8859-13", "iso885913"}},
    {"ISO-8859-14", {"iso-8859-14", "iso8859-14", "iso885914"}},
    {"ISO-8859-15", {"csisolatin9", "iso-8859-15", "iso8859-15", "iso885915", "iso_8859-15", "l9"}},
    {"ISO-8859-16", {"iso-8859-16"}},
    {"KOI8-R", {"cskoi8r", "koi", "koi8", "koi8-r", "koi8_r"}},
    {"KOI8-U", {"koi8-ru", "koi8-u"}},
    {"macintosh", {"csmacintosh", "mac", "macintosh", "x-mac-roman"}},
    {"windows-874", {"dos-874", "iso-8859-11", "iso8859-11", "iso885911", "tis-620", "windows-874"}},
    {"windows-1250", {"cp1250", "windows-1250", "x-cp1250"}},
    {"windows-1251", {"cp1251", "windows-1251", "x-cp1251"}},
    {"windows-1252", {"ansi_x3.4-1968", "ascii", "cp1252", "cp819", "csisolatin1", "ibm819", "iso-8859-1", "iso-ir-100", "iso8859-1", "iso88591", "iso_8859-1", "iso_8859-1:1987", "l1", "latin1", "us-ascii", "windows-1252", "x-cp1252"}},
    {"windows-1253", {"cp1253", "windows-1253", "x-cp1253"}},
    {"windows-1254", {"cp1254", "csisolatin5", "iso-8859-9", "iso-ir-148", "iso8859-9", "iso88599", "iso_8859-9", "iso_8859-9:1989", "l5", "latin5", "windows-1254", "x-cp1254"}},
    {"windows-1255", {"cp1255", "windows-1255", "x-cp1255"}},
    {"windows-1256", {"cp1256", "windows-1256", "x-cp1256"}},
    {"windows-1257", {"cp1257", "windows-1257", "x-cp1257"}},
    {"windows-1258", {"cp1258", "windows-1258", "x-cp1258"}},
    {"x-mac-cyrillic", {"x-mac-cyrillic", "x-mac-ukrainian"}},
    {"GBK", {"chinese", "csgb2312", "csiso58gb231280", "gb2312", "gb_2312", "gb_2312-80", "gbk", "iso-ir-58", "x-gbk"}},
    {"gb18030", {"gb18030"}},
    {"Big5", {"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"}},
    {"EUC-JP", {"cseucpkdfmtjapanese", "euc-jp", "x-euc-jp"}},
    {"ISO-2022-JP", {"csiso2022jp", "iso-2022-jp"}},
    {"Shift_JIS", {"csshiftjis", "ms932", "ms_kanji", "shift-jis", "shift_jis", "sjis", "windows-31j", "x-sjis"}},
    {"EUC-KR", {"cseuckr", "csksc56011987", "euc-kr", "iso-ir-149", "korean", "ks_c_5601-1987", "ks_c_5601-1989", "ksc5601", "ksc_5601", "windows-949"}},
    {"replacement", {"csiso2022kr", "hz-gb-2312", "iso-2022-cn", "iso-2022-cn-ext", "iso-2022-kr", "replacement"}},
    {"UTF-16BE", {"unicodefffe", "utf-16be"}},
    {"UTF-16LE", {"csunicode", "iso-10646-ucs-2", "ucs-2", "unicode", "unicodefeff", "utf-16", "utf-16le"}},
    {"x-user-defined", {"x-user-defined"}},
};

const QHash<QByteArray, QByteArray> &labelTable()
{
    static const QHash<QByteArray, QByteArray> table = [] {
        QHash<QByteArray, QByteArray> t;
        for (const LabelGroup &group : labelGroups) {
            for (const char *label : group.labels)
                t.insert(QByteArray(label), QByteArray(group.name));
        }
        return t;
    }();
    return table;
}

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

bool isHtmlSpace(char c)
{
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool startsWithNoCase(QByteArrayView data, qsizetype pos, QByteArrayView what)
{
    if (pos + what.size() > data.size())
        return false;
    for (qsizetype i = 0; i < what.size(); ++i) {
        if (lower(data[pos + i]) != what[i])
            return false;
    }
    return true;
}

QByteArrayView trimmed(QByteArrayView s)
{
    while (!s.isEmpty() && isHtmlSpace(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isHtmlSpace(s.back()))
        s.chop(1);
    return s;
}

struct Attribute
{
    QByteArray name;
    QByteArray value;
};

// The prescan's "get an attribute": false when the tag ends.
bool getAttribute(QByteArrayView data, qsizetype &pos, Attribute &attr)
{
    const qsizetype end = data.size();
    attr = {};
    while (pos < end && (isHtmlSpace(data[pos]) || data[pos] == '/'))
        ++pos;
    if (pos >= end || data[pos] == '>')
        return false;

    while (pos < end) {
        const char c = data[pos];
        if (c == '=' && !attr.name.isEmpty()) {
            ++pos;
            goto value;
        }
        if (isHtmlSpace(c))
            break;
        if (c == '/' || c == '>')
            return true;
        attr.name.append(lower(c));
        ++pos;
    }
    while (pos < end && isHtmlSpace(data[pos]))
        ++pos;
    if (pos >= end || data[pos] != '=')
        return true;
    ++pos;

value:
    while (pos < end && isHtmlSpace(data[pos]))
        ++pos;
    if (pos >= end)
        return true;
    if (data[pos] == '"' || data[pos] == '\'') {
        const char quote = data[pos++];
        while (pos < end && data[pos] != quote)
            attr.value.append(lower(data[pos++]));
        ++pos;
        return true;
    }
    if (data[pos] == '>')
        return true;
    while (pos < end && !isHtmlSpace(data[pos]) && data[pos] != '>')
        attr.value.append(lower(data[pos++]));
    return true;
}

// The charset named inside a meta content attribute, such as "text/html; charset=x".
QByteArray charsetFromMetaContent(QByteArrayView content)
{
    qsizetype pos = 0;
    while (true) {
        pos = QByteArrayView(content).indexOf("charset", pos);
        if (pos < 0)
            return {};
        pos += 7;
        while (pos < content.size() && isHtmlSpace(content[pos]))
            ++pos;
        if (pos < content.size() && content[pos] == '=')
            break;
    }
    ++pos;
    while (pos < content.size() && isHtmlSpace(content[pos]))
        ++pos;
    if (pos >= content.size())
        return {};
    if (content[pos] == '"' || content[pos] == '\'') {
        const char quote = content[pos];
        const qsizetype close = content.indexOf(quote, pos + 1);
        if (close < 0)
            return {};
        return content.sliced(pos + 1, close - pos - 1).toByteArray();
    }
    qsizetype stop = pos;
    while (stop < content.size() && !isHtmlSpace(content[stop]) && content[stop] != ';')
        ++stop;
    return content.sliced(pos, stop - pos).toByteArray();
}

enum class Kind { Html, Xml, Other };

Kind kindOf(QByteArrayView contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    QByteArray essence = trimmed(contentType.first(semicolon < 0 ? contentType.size() : semicolon)).toByteArray().toLower();
    if (essence.isEmpty() || essence == "text/html")
        return Kind::Html;
    if (essence == "text/xml" || essence == "application/xml" || essence.endsWith("+xml"))
        return Kind::Xml;
    return Kind::Other;
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

QByteArray nameForLabel(QByteArrayView label)
{
    return labelTable().value(trimmed(label).toByteArray().toLower());
}

QByteArray charsetParameter(QByteArrayView contentType)
{
    const QList<QByteArray> params = contentType.toByteArray().split(';');
    for (qsizetype i = 1; i < params.size(); ++i) {
        const QByteArray param = params.at(i).trimmed();
        const qsizetype eq = param.indexOf('=');
        if (eq < 0 || param.left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = param.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

QByteArray prescanMeta(QByteArrayView data)
{
    data = data.first(std::min<qsizetype>(data.size(), 1024));
    const qsizetype end = data.size();
    qsizetype pos = 0;
    while (pos < end) {
        if (startsWithNoCase(data, pos, "<!--")) {
            const qsizetype close = data.indexOf("-->", pos + 2);
            if (close < 0)
                return {};
            pos = close + 3;
            continue;
        }
        if (startsWithNoCase(data, pos, "<meta") && pos + 5 < end
            && (isHtmlSpace(data[pos + 5]) || data[pos + 5] == '/')) {
            pos += 5;
            QList<QByteArray> seen;
            bool gotPragma = false;
            int needPragma = -1; // -1 unknown, 0 no, 1 yes
            QByteArray charset;
            Attribute attr;
            while (getAttribute(data, pos, attr)) {
                if (seen.contains(attr.name))
                    continue;
                seen.append(attr.name);
                if (attr.name == "http-equiv") {
                    if (attr.value == "content-type")
                        gotPragma = true;
                } else if (attr.name == "content") {
                    if (charset.isEmpty()) {
                        const QByteArray found = charsetFromMetaContent(attr.value);
                        if (!found.isEmpty()) {
                            charset = nameForLabel(found);
                            needPragma = 1;
                        }
                    }
                } else if (attr.name == "charset") {
                    charset = nameForLabel(attr.value);
                    needPragma = 0;
                }
            }
            if (needPragma == -1 || (needPragma == 1 && !gotPragma) || charset.isEmpty())
                continue;
            if (charset == "UTF-16LE" || charset == "UTF-16BE")
                return "UTF-8";
            if (charset == "x-user-defined")
                return "windows-1252";
            return charset;
        }
        if (data[pos] == '<' && pos + 1 < end) {
            const char next = data[pos + 1];
            const bool letter = (lower(next) >= 'a' && lower(next) <= 'z');
            const bool closing = next == '/' && pos + 2 < end && lower(data[pos + 2]) >= 'a' && lower(data[pos + 2]) <= 'z';
            if (letter || closing) {
                pos += closing ? 2 : 1;
                while (pos < end && !isHtmlSpace(data[pos]) && data[pos] != '>')
                    ++pos;
                Attribute attr;
                while (getAttribute(data, pos, attr)) {
                }
                ++pos;
                continue;
            }
            if (next == '!' || next == '/' || next == '?') {
                const qsizetype close = data.indexOf('>', pos + 1);
                if (close < 0)
                    return {};
                pos = close + 1;
                continue;
            }
        }
        ++pos;
    }
    return {};
}

QByteArray xmlDeclaration(QByteArrayView head)
{
    if (!head.startsWith("<?xml"))
        return {};
    const qsizetype close = head.first(std::min<qsizetype>(head.size(), 1024)).indexOf("?>");
    if (close < 0)
        return {};
    const QByteArrayView decl = head.sliced(0, close);
    qsizetype pos = decl.indexOf("encoding");
    if (pos < 0)
        return {};
    pos += 8;
    while (pos < decl.size() && isHtmlSpace(decl[pos]))
        ++pos;
    if (pos >= decl.size() || decl[pos] != '=')
        return {};
    ++pos;
    while (pos < decl.size() && isHtmlSpace(decl[pos]))
        ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\''))
        return {};
    const char quote = decl[pos];
    const qsizetype stop = decl.indexOf(quote, pos + 1);
    if (stop < 0)
        return {};
    QByteArray name = nameForLabel(decl.sliced(pos + 1, stop - pos - 1));
    // An ASCII-compatible declaration cannot truly be UTF-16.
    if (name == "UTF-16LE" || name == "UTF-16BE")
        return "UTF-8";
    return name;
}

Sniffed sniff(QByteArrayView body, QByteArrayView contentType)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8", 3};
    if (body.startsWith("\xFF\xFE"))
        return {"UTF-16LE", 2};
    if (body.startsWith("\xFE\xFF"))
        return {"UTF-16BE", 2};

    const QByteArray fromHeader = nameForLabel(charsetParameter(contentType));
    if (!fromHeader.isEmpty())
        return {fromHeader, 0};

    switch (kindOf(contentType)) {
    case Kind::Html:
        if (QByteArray meta = prescanMeta(body); !meta.isEmpty())
            return {meta, 0};
        return {xmlDeclaration(body), 0};
    case Kind::Xml:
        return {xmlDeclaration(body), 0};
    case Kind::Other:
        break;
    }
    return {};
}

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

QString decode(QByteArrayView body, QByteArrayView contentType)
{
    const Sniffed sniffed = sniff(body, contentType);
    const QByteArrayView rest = body.sliced(sniffed.bomLength);
    QString text;
    if (!sniffed.encoding.isEmpty() && decodeWith(sniffed.encoding, rest, &text))
        return text;

    if (!decodeValidUtf8(rest, &text))
        decodeWith("windows-1252", rest, &text);
    return text;
}

} // namespace Encoding
