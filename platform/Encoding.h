#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns a page's bytes into text the way browsers find its encoding: byte-order mark,
// then the Content-Type charset, then the document's own declaration, then (beyond
// what browsers do) UTF-8 when the bytes are valid UTF-8, then windows-1252.
namespace Encoding {

// The encoding a label names, as the web's label table reads it ("latin1" is
// windows-1252). Empty for an unknown label.
QByteArray nameForLabel(QByteArrayView label);

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

// The whole body as text. Invalid sequences become U+FFFD; nothing is dropped.
QString decode(QByteArrayView body, QByteArrayView contentType);

// Decodes with a named encoding; false if the platform has no decoder for it.
bool decodeWith(const QByteArray &encoding, QByteArrayView bytes, QString *text);

} // namespace Encoding
