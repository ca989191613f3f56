#include "QtProgram.h"

#include <QCoreApplication>

QString QtProgram::appPath() const
{
    return QCoreApplication::applicationDirPath();
}

void QtProgram::end()
{
    // The event loop returns and the program ends through main: the window and its
    // transfer are destroyed in order, and the clipboard is handed over as on any exit.
    QCoreApplication::exit(0);
}
