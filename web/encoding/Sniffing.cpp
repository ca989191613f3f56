#include "Sniffing.h"

#include "Ascii.h"
#include "Labels.h"
#include "MimeType.h"

#include <QList>

#include <algorithm>
#include <optional>

namespace Encoding {

namespace {

// The prescan's "get an attribute" answers one of three ways; running out of bytes is
// the third, and it ends the whole prescan: the rest of the tag could say anything.
enum class GotAttribute { Attribute, None, OutOfBytes };

struct Attribute
{
    QByteArray name;
    QByteArray value;
};

// "charset" in the prescan: null until an attribute sets it, failure when the label
// is unknown. Kept apart, because a charset attribute naming an unknown label still
// takes the place that a content attribute's charset would have had.
struct Charset
{
    enum class State { Null, Failure, Encoding } state = State::Null;
    QByteArray encoding;
};

class Prescan
{
public:
    explicit Prescan(QByteArrayView input) : input(input) {}

    QByteArray run();

private:
    enum class Step { NextByte, Return, OutOfBytes };
    Step meta(QByteArray &result);

    bool atEnd() const { return position >= input.size(); }
    char byte() const { return input[position]; }
    bool startsWith(QByteArrayView bytes) const { return input.sliced(position).startsWith(bytes); }
    bool advanceTo(QByteArrayView bytes, qsizetype from);
    GotAttribute getAnAttribute(Attribute &attribute);

    QByteArrayView input;
    qsizetype position = 0;
};

// Points position at the first occurrence of bytes at or after from; false when there
// is none, which ends the prescan.
bool Prescan::advanceTo(QByteArrayView bytes, qsizetype from)
{
    const qsizetype found = input.indexOf(bytes, from);
    if (found < 0)
        return false;
    position = found + bytes.size() - 1;
    return true;
}

GotAttribute Prescan::getAnAttribute(Attribute &attribute)
{
    attribute = {};
    // 1. Skip whitespace and slashes.
    while (!atEnd() && (Ascii::isWhitespace(byte()) || byte() == '/'))
        ++position;
    if (atEnd())
        return GotAttribute::OutOfBytes;
    // 2. A '>' ends the tag: there is no attribute.
    if (byte() == '>')
        return GotAttribute::None;
    // 3.-5. The attribute's name, lowered, up to '=', whitespace, '/' or '>'.
    bool spaces = false;
    while (true) {
        if (atEnd())
            return GotAttribute::OutOfBytes;
        const char b = byte();
        if (b == '=' && !attribute.name.isEmpty()) {
            ++position;
            break;
        }
        if (Ascii::isWhitespace(b)) {
            spaces = true;
            break;
        }
        if (b == '/' || b == '>')
            return GotAttribute::Attribute;
        attribute.name.append(Ascii::toLower(b));
        ++position;
    }
    if (spaces) {
        // 6.-8. Spaces: whitespace, then an '=' or an attribute without a value.
        while (!atEnd() && Ascii::isWhitespace(byte()))
            ++position;
        if (atEnd())
            return GotAttribute::OutOfBytes;
        if (byte() != '=')
            return GotAttribute::Attribute;
        ++position;
    }
    // 9. Value: skip whitespace.
    while (!atEnd() && Ascii::isWhitespace(byte()))
        ++position;
    if (atEnd())
        return GotAttribute::OutOfBytes;
    // 10. A quoted value runs to the same quote; '>' means an empty value.
    const char b = byte();
    if (b == '"' || b == '\'') {
        while (true) {
            ++position;
            if (atEnd())
                return GotAttribute::OutOfBytes;
            if (byte() == b) {
                ++position;
                return GotAttribute::Attribute;
            }
            attribute.value.append(Ascii::toLower(byte()));
        }
    }
    if (b == '>')
        return GotAttribute::Attribute;
    attribute.value.append(Ascii::toLower(b));
    ++position;
    // 11.-12. An unquoted value runs to whitespace or '>'.
    while (true) {
        if (atEnd())
            return GotAttribute::OutOfBytes;
        const char c = byte();
        if (Ascii::isWhitespace(c) || c == '>')
            return GotAttribute::Attribute;
        attribute.value.append(Ascii::toLower(c));
        ++position;
    }
}

// "Getting an encoding" for the prescan: an unknown label is failure.
Charset getAnEncoding(QByteArrayView label)
{
    QByteArray name = nameForLabel(label);
    if (name.isEmpty())
        return {Charset::State::Failure, {}};
    return {Charset::State::Encoding, name};
}

// The <meta> branch, with position at the whitespace or '/' after "<meta".
Prescan::Step Prescan::meta(QByteArray &result)
{
    QList<QByteArray> attributeList;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    Charset charset;
    Attribute attribute;
    // Attributes.
    while (true) {
        const GotAttribute got = getAnAttribute(attribute);
        if (got == GotAttribute::OutOfBytes)
            return Step::OutOfBytes;
        if (got == GotAttribute::None)
            break;
        if (attributeList.contains(attribute.name))
            continue;
        attributeList.append(attribute.name);
        if (attribute.name == "http-equiv") {
            if (attribute.value == "content-type")
                gotPragma = true;
        } else if (attribute.name == "content") {
            const QByteArray extracted = extractEncodingFromMetaContent(attribute.value);
            if (!extracted.isEmpty() && charset.state == Charset::State::Null) {
                charset = {Charset::State::Encoding, extracted};
                needPragma = true;
            }
        } else if (attribute.name == "charset") {
            charset = getAnEncoding(attribute.value);
            needPragma = false;
        }
    }
    // Processing.
    if (!needPragma)
        return Step::NextByte;
    if (*needPragma && !gotPragma)
        return Step::NextByte;
    if (charset.state == Charset::State::Failure)
        return Step::NextByte;
    // need pragma is only set together with charset, so charset is an encoding here.
    result = charset.encoding;
    if (result == "UTF-16LE" || result == "UTF-16BE")
        result = "UTF-8";
    if (result == "x-user-defined")
        result = "windows-1252";
    return Step::Return;
}

QByteArray Prescan::run()
{
    // Prescan for UTF-16 XML declarations.
    if (input.startsWith(QByteArrayView("<\0?\0x\0", 6)))
        return "UTF-16LE";
    if (input.startsWith(QByteArrayView("\0<\0?\0x", 6)))
        return "UTF-16BE";

    // Loop. Every branch leaves position on the last byte it read; "next byte" moves
    // past it.
    for (; !atEnd(); ++position) {
        if (startsWith("<!--")) {
            // The '>' of the first "-->" after the '<'; its dashes may be those of "<!--".
            if (!advanceTo("-->", position + 2))
                return {};
        } else if (Ascii::matchesAt(input, position, "<meta") && position + 5 < input.size()
                   && (Ascii::isWhitespace(input[position + 5]) || input[position + 5] == '/')) {
            position += 5;
            QByteArray result;
            switch (meta(result)) {
            case Step::Return:
                return result;
            case Step::OutOfBytes:
                return {};
            case Step::NextByte:
                break;
            }
        } else if (byte() == '<'
                   && ((position + 1 < input.size() && Ascii::isAlpha(input[position + 1]))
                       || (position + 2 < input.size() && input[position + 1] == '/' && Ascii::isAlpha(input[position + 2])))) {
            // Another tag: to the end of its name, then past its attributes.
            while (!atEnd() && !Ascii::isWhitespace(byte()) && byte() != '>')
                ++position;
            if (atEnd())
                return {};
            Attribute attribute;
            GotAttribute got;
            while ((got = getAnAttribute(attribute)) == GotAttribute::Attribute) {
            }
            if (got == GotAttribute::OutOfBytes)
                return {};
        } else if (startsWith("<!") || startsWith("</") || startsWith("<?")) {
            if (!advanceTo(">", position + 1))
                return {};
        }
        // Any other byte: nothing to do with it.
    }
    return {};
}

enum class Kind { Html, Xml, Other };

// The Content-Type as a MIME type; a header that came more than once arrives as its
// values joined by ", ".
std::optional<MimeType> mimeTypeOf(QByteArrayView contentType)
{
    return extractMimeType({contentType.toByteArray()});
}

Kind kindOf(QByteArrayView contentType)
{
    const std::optional<MimeType> mimeType = mimeTypeOf(contentType);
    // No type, or none that can be read: browsers would look at the bytes, and a page
    // fetched by address is HTML far more often than not.
    if (!mimeType || mimeType->essence() == "text/html")
        return Kind::Html;
    if (mimeType->essence() == "text/xml" || mimeType->essence() == "application/xml" || mimeType->subtype.endsWith("+xml"))
        return Kind::Xml;
    return Kind::Other;
}

} // namespace

bool isHtml(QByteArrayView contentType)
{
    return kindOf(contentType) == Kind::Html;
}

QByteArray charsetParameter(QByteArrayView contentType)
{
    const std::optional<MimeType> mimeType = mimeTypeOf(contentType);
    return mimeType ? mimeType->parameter("charset").value_or(QByteArray()) : QByteArray();
}

QByteArray extractEncodingFromMetaContent(QByteArrayView s)
{
    qsizetype position = 0;
    while (true) {
        // Loop: the next "charset", in any case.
        while (position + 7 <= s.size() && !Ascii::matchesAt(s, position, "charset"))
            ++position;
        if (position + 7 > s.size())
            return {};
        position += 7;
        while (position < s.size() && Ascii::isWhitespace(s[position]))
            ++position;
        if (position < s.size() && s[position] == '=')
            break;
        // Not followed by '=': look again from here.
    }
    ++position;
    while (position < s.size() && Ascii::isWhitespace(s[position]))
        ++position;
    if (position >= s.size())
        return {};
    const char next = s[position];
    if (next == '"' || next == '\'') {
        const qsizetype close = s.indexOf(next, position + 1);
        // An unmatched quote gives nothing.
        if (close < 0)
            return {};
        return nameForLabel(s.sliced(position + 1, close - position - 1));
    }
    qsizetype stop = position;
    while (stop < s.size() && !Ascii::isWhitespace(s[stop]) && s[stop] != ';')
        ++stop;
    return nameForLabel(s.sliced(position, stop - position));
}

QByteArray prescanMeta(QByteArrayView data)
{
    return Prescan(data.first(std::min<qsizetype>(data.size(), 1024))).run();
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
    while (pos < decl.size() && Ascii::isWhitespace(decl[pos]))
        ++pos;
    if (pos >= decl.size() || decl[pos] != '=')
        return {};
    ++pos;
    while (pos < decl.size() && Ascii::isWhitespace(decl[pos]))
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
        return {"UTF-8", 3, EncodingSource::ByteOrderMark};
    if (body.startsWith("\xFF\xFE"))
        return {"UTF-16LE", 2, EncodingSource::ByteOrderMark};
    if (body.startsWith("\xFE\xFF"))
        return {"UTF-16BE", 2, EncodingSource::ByteOrderMark};

    const QByteArray fromHeader = nameForLabel(charsetParameter(contentType));
    if (!fromHeader.isEmpty())
        return {fromHeader, 0, EncodingSource::ContentType};

    const Kind kind = kindOf(contentType);
    if (kind == Kind::Html) {
        if (QByteArray meta = prescanMeta(body); !meta.isEmpty()) {
            // A <meta> never gives UTF-16; only the first bytes of an XML declaration do.
            const bool utf16 = meta == "UTF-16LE" || meta == "UTF-16BE";
            return {meta, 0, utf16 ? EncodingSource::XmlDeclaration : EncodingSource::Meta};
        }
    }
    if (kind == Kind::Html || kind == Kind::Xml) {
        if (QByteArray declared = xmlDeclaration(body); !declared.isEmpty())
            return {declared, 0, EncodingSource::XmlDeclaration};
    }
    return {};
}

} // namespace Encoding
