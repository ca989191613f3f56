#include "WindowHandlers.h"

#include "MessageBox.h"
#include "PageView.h"
#include "Program.h"
#include "SessionManager.h"
#include "StatusBar.h"
#include "TextBox.h"

#include <algorithm>

Failure Form_Load(StatusBar &sbrStatus)
{
    if (!sbrStatus.setPanelText(QStringLiteral("STATUS"), QStringLiteral("inactive")))
        return RuntimeError{ErrorNumber::PanelNotFound, QStringLiteral("The status bar has no panel with the key STATUS.")};
    return {};
}

LayoutSizes layoutRule(float outerWidth, float outerHeight)
{
    const auto clamp = [](float size) { return std::max(size, 0.0f); };
    return {clamp(outerHeight - 1010.0f), clamp(outerWidth - 120.0f), clamp(outerHeight - 1750.0f),
            clamp(outerWidth - 1240.0f)};
}

void Form_Resize(bool minimized, float outerWidth, float outerHeight, PageView &rchtxtHTML, TextBox &txtURL)
{
    if (minimized)
        return;
    const LayoutSizes sizes = layoutRule(outerWidth, outerHeight);
    rchtxtHTML.setHeightTwips(sizes.viewHeight);
    rchtxtHTML.setWidthTwips(sizes.viewWidth);
    txtURL.setHeightTwips(sizes.urlHeight);
    txtURL.setWidthTwips(sizes.urlWidth);
}

bool Form_Unload(MessageBox &messageBox, Program &program)
{
    const int answer = messageBox.msgBox(QStringLiteral("Are you sure you want to exit?"),
                                         MsgBox::yesNo | MsgBox::question, QStringLiteral("Vellumin"));
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
