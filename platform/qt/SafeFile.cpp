#include "SafeFile.h"

#include <QSaveFile>

QString writeFileAtomically(const QString &path, const QByteArray &data)
{
    if (path.isEmpty())
        return QStringLiteral("No file name was given.");

    QSaveFile file(path);
    // Never fall back to writing over the target in place: that is exactly the
    // half-written file this function exists to prevent.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}
