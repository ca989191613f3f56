#include "ContextMenu.h"

#include "Clipboard.h"
#include "PageView.h"
#include "PopupMenu.h"
#include "StatusBar.h"

void rchtxtHTML_MouseDown(int button, int shift, float x, float y, PopupMenu &popup)
{
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (button != MouseButton::right)
        return;
    popup.popup();
}

void Copy_Click(Clipboard &clipboard, const PageView &rchtxtHTML)
{
    clipboard.clear();
    clipboard.setText(rchtxtHTML.text());
}

void Clear_Click(PageView &rchtxtHTML, StatusBar &sbrStatus)
{
    rchtxtHTML.setText(QString());
    // The details were about the document that is gone; the status texts stay.
    sbrStatus.setDetails(QString());
}
