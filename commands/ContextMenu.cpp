#include "ContextMenu.h"

#include "Clipboard.h"
#include "PageView.h"
#include "PopupMenu.h"

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

void Clear_Click(PageView &rchtxtHTML)
{
    rchtxtHTML.setText(QString());
}
