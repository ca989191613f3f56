#include "ErrorReport.h"

#include "DisplayText.h"
#include "MessageBox.h"
#include "Program.h"

QString errorReportText(const RuntimeError &error)
{
    // The description may quote a server (a host, an address, libcurl's words): written
    // out, its line breaks and bidi controls cannot rearrange this layout.
    return QStringLiteral("Error %1\n\n%2").arg(error.number).arg(DisplayText::escapeForDisplay(error.description));
}

void reportError(MessageBox &messageBox, const Failure &failure)
{
    if (failure)
        messageBox.msgBox(errorReportText(*failure), MsgBox::critical, programName);
}
