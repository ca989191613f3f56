#include "QtProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString QtProgram::appPath() const
{
    return QCoreApplication::applicationDirPath();
}

bool QtProgram::canWriteIn(const QString &folder) const
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QString QtProgram::documentsPath() const
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void QtProgram::end()
{
    // The event loop returns and the program ends through main: the window and its
    // transfer are destroyed in order, and the clipboard is handed over as on any exit.
    QCoreApplication::exit(0);
}
