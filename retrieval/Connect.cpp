#include "Connect.h"

#include "DocumentDetails.h"
#include "PageView.h"
#include "StatusBar.h"
#include "TextBox.h"
#include "Transfer.h"

Command Toolbar1_ButtonClick(ToolbarButton button, StatusBar &sbrStatus, const TextBox &txtURL, Transfer &Inet1,
                             PageView &rchtxtHTML)
{
    if (button.key != QLatin1String("Connect"))
        co_return std::nullopt;
    // One transfer at a time: a click while one runs starts nothing.
    if (Inet1.busy())
        co_return std::nullopt;

    sbrStatus.setSimpleText(QStringLiteral("please wait..."));
    FetchResult fetched = co_await Inet1.openURL(txtURL.text());
    // Stopped by the user: nothing went wrong, and the view keeps what it had.
    if (fetched.stopped) {
        sbrStatus.setSimpleText(QStringLiteral("transfer stopped"));
        co_return std::nullopt;
    }
    // A failed fetch leaves the view and the status line as they are.
    if (fetched.error)
        co_return *fetched.error;

    rchtxtHTML.setContentType(fetched.document.mimeType);
    rchtxtHTML.setTextRTF(fetched.document.text);
    sbrStatus.setDetails(documentDetails(fetched.document));
    sbrStatus.setSimpleText(QStringLiteral("complete!"));
    co_return std::nullopt;
}
