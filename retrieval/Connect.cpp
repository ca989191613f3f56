#include "Connect.h"

#include "PageView.h"
#include "StatusBar.h"
#include "TextBox.h"
#include "Transfer.h"

Failure Toolbar1_ButtonClick(const ToolbarButton &button, StatusBar &sbrStatus, const TextBox &txtURL,
                             Transfer &Inet1, PageView &rchtxtHTML)
{
    if (button.key != QLatin1String("Connect"))
        return {};
    // One transfer at a time: a click while one runs starts nothing.
    if (Inet1.busy())
        return {};

    sbrStatus.setSimpleText(QStringLiteral("please wait..."));
    OpenUrlResult fetched = Inet1.openURL(txtURL.text());
    // A failed fetch leaves the view and the status line as they are.
    if (fetched.error)
        return fetched.error;

    rchtxtHTML.setTextRTF(fetched.document);
    sbrStatus.setSimpleText(QStringLiteral("complete!"));
    return {};
}
