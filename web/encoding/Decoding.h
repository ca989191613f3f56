#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns a page's bytes into text: the encoding browsers would find, then (beyond what
// browsers do) UTF-8 when the bytes are valid UTF-8, then windows-1252.
namespace Encoding {

// The whole body as text. Invalid sequences become U+FFFD; nothing is dropped.
QString decode(QByteArrayView body, QByteArrayView contentType);

// Decodes with a named encoding; false if there is no decoder for it.
bool decodeWith(const QByteArray &encoding, QByteArrayView bytes, QString *text);

} // namespace Encoding
