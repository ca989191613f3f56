#include "QtPageView.h"

#include "SafeFile.h"
#include "Twips.h"

#include <QFontDatabase>
#include <QMouseEvent>

QtPageView::QtPageView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setBackgroundVisible(false);
    // The view's commands come from its own menu on a right press; the built-in
    // editing menu and the menu key open nothing.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void QtPageView::setTextRTF(const QString &text)
{
    // Rich text is shown as its source: this is a source viewer.
    showDocument(text);
}

void QtPageView::setText(const QString &text)
{
    showDocument(text);
}

QString QtPageView::text() const
{
    return m_document;
}

QString QtPageView::saveFile(const QString &path, int format)
{
    Q_UNUSED(format); // Plain text is the only format this view saves.
    return writeFileAtomically(path, m_document.toUtf8());
}

void QtPageView::setHeightTwips(float twips)
{
    resize(width(), Twips::toPixels(twips, logicalDpiY()));
}

void QtPageView::setWidthTwips(float twips)
{
    resize(Twips::toPixels(twips, logicalDpiX()), height());
}

void QtPageView::mousePressEvent(QMouseEvent *event)
{
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton: button = 1; break;
    case Qt::RightButton: button = 2; break;
    case Qt::MiddleButton: button = 4; break;
    default: break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int shift = (mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0)
            | (mods & Qt::AltModifier ? 4 : 0);
    const QPointF pos = viewport()->mapTo(this, event->position());

    // A right press leaves the caret and the selection where they were.
    if (event->button() != Qt::RightButton)
        QPlainTextEdit::mousePressEvent(event);
    else
        event->accept();

    if (button != 0) {
        emit mouseDown(button, shift, Twips::fromPixels(pos.x(), logicalDpiX()),
                       Twips::fromPixels(pos.y(), logicalDpiY()));
    }
}

void QtPageView::showDocument(const QString &text)
{
    m_document = text;
    // NUL would vanish on screen; show it as the visible symbol for it.
    if (text.contains(QChar(0))) {
        QString shown = text;
        shown.replace(QChar(0), QChar(0x2400));
        setPlainText(shown);
    } else {
        setPlainText(text);
    }
}
