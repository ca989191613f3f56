#pragma once

#include <QByteArray>
#include <QByteArrayView>

// How browsers find a page's encoding: byte-order mark, then the Content-Type charset,
// then the document's own declaration.
namespace Encoding {

// The charset parameter of a Content-Type value, unquoted; empty when there is none.
QByteArray charsetParameter(QByteArrayView contentType);

// The encoding that the prescan of the first 1024 bytes finds (a <meta>, or the first
// bytes of a UTF-16 XML declaration), or empty. A tag that those bytes cut off before
// its '>' declares nothing.
QByteArray prescanMeta(QByteArrayView head);

// The encoding named by "charset=" in a <meta> content attribute ("text/html;
// charset=x"), or empty for none or an unknown label.
QByteArray extractEncodingFromMetaContent(QByteArrayView content);

// The encoding an XML declaration at the very start declares, or empty.
QByteArray xmlDeclaration(QByteArrayView head);

// Whether a body of this Content-Type is read as HTML: text/html, or no type at all.
bool isHtml(QByteArrayView contentType);

// Where a document's encoding came from.
enum class EncodingSource {
    ByteOrderMark,
    ContentType,
    Meta,
    XmlDeclaration,
    ValidUtf8,    // nothing declared it; the bytes are valid UTF-8
    Fallback,     // nothing declared it; windows-1252, as browsers assume
    MetaWhileParsing, // a <meta> in the head, found by the parser past the prescan
};

struct Sniffed
{
    QByteArray encoding; // empty: not decided, try UTF-8 then windows-1252
    qsizetype bomLength = 0;
    EncodingSource source = EncodingSource::Fallback;
};

// What the start of a body (its first 1024 bytes are enough) and its Content-Type say.
Sniffed sniff(QByteArrayView head, QByteArrayView contentType);

} // namespace Encoding
