#include "Sniffing.h"

#include "Ascii.h"
#include "Labels.h"
#include "MimeType.h"

#include <QList>

#include <algorithm>
#include <optional>

namespace Encoding {

namespace {

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
    while (pos < end && (Ascii::isWhitespace(data[pos]) || data[pos] == '/'))
        ++pos;
    if (pos >= end || data[pos] == '>')
        return false;

    while (pos < end) {
        const char c = data[pos];
        if (c == '=' && !attr.name.isEmpty()) {
            ++pos;
            goto value;
        }
        if (Ascii::isWhitespace(c))
            break;
        if (c == '/' || c == '>')
            return true;
        attr.name.append(Ascii::toLower(c));
        ++pos;
    }
    while (pos < end && Ascii::isWhitespace(data[pos]))
        ++pos;
    if (pos >= end || data[pos] != '=')
        return true;
    ++pos;

value:
    while (pos < end && Ascii::isWhitespace(data[pos]))
        ++pos;
    if (pos >= end)
        return true;
    if (data[pos] == '"' || data[pos] == '\'') {
        const char quote = data[pos++];
        while (pos < end && data[pos] != quote)
            attr.value.append(Ascii::toLower(data[pos++]));
        ++pos;
        return true;
    }
    if (data[pos] == '>')
        return true;
    while (pos < end && !Ascii::isWhitespace(data[pos]) && data[pos] != '>')
        attr.value.append(Ascii::toLower(data[pos++]));
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
        while (pos < content.size() && Ascii::isWhitespace(content[pos]))
            ++pos;
        if (pos < content.size() && content[pos] == '=')
            break;
    }
    ++pos;
    while (pos < content.size() && Ascii::isWhitespace(content[pos]))
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
    while (stop < content.size() && !Ascii::isWhitespace(content[stop]) && content[stop] != ';')
        ++stop;
    return content.sliced(pos, stop - pos).toByteArray();
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

QByteArray charsetParameter(QByteArrayView contentType)
{
    const std::optional<MimeType> mimeType = mimeTypeOf(contentType);
    return mimeType ? mimeType->parameter("charset").value_or(QByteArray()) : QByteArray();
}

QByteArray prescanMeta(QByteArrayView data)
{
    data = data.first(std::min<qsizetype>(data.size(), 1024));
    const qsizetype end = data.size();
    qsizetype pos = 0;
    while (pos < end) {
        if (Ascii::matchesAt(data, pos, "<!--")) {
            const qsizetype close = data.indexOf("-->", pos + 2);
            if (close < 0)
                return {};
            pos = close + 3;
            continue;
        }
        if (Ascii::matchesAt(data, pos, "<meta") && pos + 5 < end
            && (Ascii::isWhitespace(data[pos + 5]) || data[pos + 5] == '/')) {
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
            const bool letter = (Ascii::toLower(next) >= 'a' && Ascii::toLower(next) <= 'z');
            const bool closing = next == '/' && pos + 2 < end && Ascii::toLower(data[pos + 2]) >= 'a' && Ascii::toLower(data[pos + 2]) <= 'z';
            if (letter || closing) {
                pos += closing ? 2 : 1;
                while (pos < end && !Ascii::isWhitespace(data[pos]) && data[pos] != '>')
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
        if (QByteArray meta = prescanMeta(body); !meta.isEmpty())
            return {meta, 0, EncodingSource::Meta};
    }
    if (kind == Kind::Html || kind == Kind::Xml) {
        if (QByteArray declared = xmlDeclaration(body); !declared.isEmpty())
            return {declared, 0, EncodingSource::XmlDeclaration};
    }
    return {};
}

} // namespace Encoding
