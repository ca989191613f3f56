#pragma once

#include <QByteArray>
#include <QString>

// Writes data to path through a temporary file beside it, renamed over the target only
// once every byte is written, so a failed write never truncates or destroys the file
// that was there. Returns an empty string on success, otherwise the reason it failed.
QString writeFileAtomically(const QString &path, const QByteArray &data);
