#include "SaveCommand.h"

#include "MessageBox.h"
#include "PageView.h"
#include "Program.h"
#include "SaveDialog.h"

#include <QDir>

QString saveFolder(const Program &program)
{
    // Installed, the program's folder is a system folder where nobody may save; the
    // dialog opens where the user can.
    const QString own = program.appPath();
    return program.canWriteIn(own) ? own : program.documentsPath();
}

void Save_Click(SaveDialog &CommonDialog1, const Program &program, PageView &rchtxtHTML, MessageBox &messageBox)
{
    CommonDialog1.setDefaultExt(QStringLiteral("txt"));
    CommonDialog1.setInitDir(saveFolder(program));
    CommonDialog1.setFilter(QStringLiteral("(*.txt)|*.txt"));
    if (!CommonDialog1.showSave())
        return;

    const QString path = CommonDialog1.fileName();
    const QString reason = rchtxtHTML.saveFile(path, saveAsPlainText);
    // A save that silently fails lets the user believe the page is safe; say so.
    if (!reason.isEmpty()) {
        messageBox.msgBox(QStringLiteral("The page could not be saved to %1.\n\n%2").arg(QDir::toNativeSeparators(path), reason),
                          MsgBox::exclamation, programName);
    }
}
