#pragma once

#include <QByteArray>
#include <QByteArrayView>

// How browsers find a page's encoding: byte-order mark, then the Content-Type charset,
// then the document's own declaration.
namespace Encoding {

// The charset parameter of a Content-Type value, unquoted; empty when there is none.
QByteArray charsetParameter(QByteArrayView contentType);

// The encoding that <meta> in the first 1024 bytes declares, or empty.
QByteArray prescanMeta(QByteArrayView head);

// The encoding an XML declaration at the very start declares, or empty.
QByteArray xmlDeclaration(QByteArrayView head);

struct Sniffed
{
    QByteArray encoding; // empty: not decided, try UTF-8 then windows-1252
    qsizetype bomLength = 0;
};

Sniffed sniff(QByteArrayView body, QByteArrayView contentType);

} // namespace Encoding
