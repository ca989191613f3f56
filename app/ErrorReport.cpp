#include "ErrorReport.h"

#include "MessageBox.h"
#include "Program.h"

QString errorReportText(const RuntimeError &error)
{
    return QStringLiteral("Error %1\n\n%2").arg(error.number).arg(error.description);
}

void reportError(MessageBox &messageBox, const Failure &failure)
{
    if (failure)
        messageBox.msgBox(errorReportText(*failure), MsgBox::critical, programName);
}
