#include "CloseConfirmation.h"

#include "MessageBox.h"
#include "Program.h"
#include "SessionManager.h"

bool Form_Unload(MessageBox &messageBox, Program &program)
{
    const int answer = messageBox.msgBox(QStringLiteral("Are you sure you want to exit?"),
                                         MsgBox::yesNo | MsgBox::question, programName);
    if (answer == MsgBox::yes) {
        program.end();
        return false;
    }
    return true;
}

void sessionEnding(SessionManager &session, MessageBox &messageBox, Program &program)
{
    // Without leave to interact, the session ends without the question.
    if (!session.allowsInteraction())
        return;
    const bool cancel = Form_Unload(messageBox, program);
    if (cancel)
        session.cancel();
    session.release();
}
