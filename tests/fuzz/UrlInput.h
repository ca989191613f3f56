#pragma once

#include <QByteArrayView>
#include <QString>

// An address and, after a 0xFF byte (never part of UTF-8), another one to read it
// against; both are UTF-8.
struct UrlInput
{
    QString text;
    QByteArrayView textBytes;
    QString base; // empty when there is none
};

inline UrlInput splitUrlInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype separator = input.indexOf('\xFF');
    const QByteArrayView text = separator < 0 ? input : input.first(separator);
    const QByteArrayView base = separator < 0 ? QByteArrayView() : input.sliced(separator + 1);
    return {QString::fromUtf8(text), text, QString::fromUtf8(base)};
}
