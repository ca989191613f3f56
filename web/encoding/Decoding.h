#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Decoding with the platform's converters, for the encodings that have no decoder of
// their own yet.
namespace Encoding {

// Decodes with a named encoding; false if there is no decoder for it.
bool decodeWith(const QByteArray &encoding, QByteArrayView bytes, QString *text);

} // namespace Encoding
