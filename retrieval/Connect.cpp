#include "Connect.h"

#include "DocumentDetails.h"
#include "PageView.h"
#include "StatusBar.h"
#include "TextBox.h"
#include "Transfer.h"

namespace {

Command nothing()
{
    co_return std::nullopt;
}

} // namespace

Command Toolbar1_ButtonClick(ToolbarButton button, StatusBar &sbrStatus, TextBox &txtURL, Transfer &Inet1,
                             PageView &rchtxtHTML, History &history)
{
    if (button.key != QLatin1String("Connect"))
        return nothing();
    return connectStep(History::Step::New, sbrStatus, txtURL, Inet1, rchtxtHTML, history);
}

Command connectStep(History::Step step, StatusBar &sbrStatus, TextBox &txtURL, Transfer &Inet1, PageView &rchtxtHTML,
                    History &history)
{
    // One transfer at a time: a click or a key while one runs starts nothing.
    if (Inet1.busy() || !history.begin(step))
        co_return std::nullopt;
    const bool stepping = step != History::Step::New;
    const QString address = stepping ? history.addressFor(step) : txtURL.text();
    if (stepping)
        txtURL.setText(address);

    sbrStatus.setSimpleText(QStringLiteral("please wait..."));
    FetchResult fetched = co_await Inet1.openURL(address);
    // Stopped by the user: nothing went wrong, and the view keeps what it had.
    if (fetched.stopped) {
        history.abandon();
        sbrStatus.setSimpleText(QStringLiteral("transfer stopped"));
        co_return std::nullopt;
    }
    // A failed fetch leaves the view and the status line as they are.
    if (fetched.error) {
        history.abandon();
        co_return *fetched.error;
    }

    const PageView::Place leaving = rchtxtHTML.place();
    const QString fetchedAddress = fetched.document.facts.address.isEmpty() ? address : fetched.document.facts.address;
    rchtxtHTML.setContentType(fetched.document.mimeType);
    rchtxtHTML.setDocumentAddress(fetchedAddress);
    rchtxtHTML.setTextRTF(fetched.document.text);
    if (const auto back = history.commit(fetchedAddress, {leaving.caret, leaving.topLine}))
        rchtxtHTML.restorePlace(back->caret, back->topLine);
    sbrStatus.setDetails(documentDetails(fetched.document));
    sbrStatus.setSimpleText(QStringLiteral("complete!"));
    co_return std::nullopt;
}
