#include "QtPageView.h"

#include "SafeFile.h"
#include "SourceView.h"
#include "Twips.h"
#include "WindowFont.h"

QtPageView::QtPageView(SourceView *view)
    : QObject(view)
    , m_view(view)
{
    // The find and go-to fields are the window's controls, in the window's font.
    m_view->setFieldFont(windowFont());
    connect(m_view, &SourceView::pressed, this, &QtPageView::pressed);
    connect(m_view, &SourceView::parseErrorsCounted, this, &QtPageView::parseErrorsCounted);
}

void QtPageView::setTextRTF(const QString &text)
{
    // Rich text is shown as its source: this is a source viewer.
    m_view->setText(text, m_mimeType);
}

void QtPageView::setText(const QString &text)
{
    m_mimeType.clear();
    m_view->setText(text);
}

QString QtPageView::text() const
{
    return m_view->text();
}

void QtPageView::setContentType(const QByteArray &mimeType)
{
    m_mimeType = mimeType;
}

void QtPageView::setDocumentAddress(const QString &address)
{
    m_view->setDocumentAddress(address);
}

QString QtPageView::saveFile(const QString &path, int format)
{
    Q_UNUSED(format); // Plain text is the only format this view saves.
    return writeFileAtomically(path, m_view->text().toUtf8());
}

void QtPageView::setHeightTwips(float twips)
{
    m_view->resize(m_view->width(), Twips::toPixels(twips, m_view->logicalDpiY()));
}

void QtPageView::setWidthTwips(float twips)
{
    m_view->resize(Twips::toPixels(twips, m_view->logicalDpiX()), m_view->height());
}

PageView::Place QtPageView::place() const
{
    return {m_view->cursorPosition(), m_view->topLine()};
}

void QtPageView::restorePlace(qsizetype caret, qsizetype topLine)
{
    // The caret first: bringing it into view scrolls, and the top line then says
    // where the view really was.
    m_view->setSelection(caret, caret);
    m_view->setTopLine(topLine);
}

void QtPageView::pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF position)
{
    int number = 0;
    switch (button) {
    case Qt::LeftButton: number = MouseButton::left; break;
    case Qt::RightButton: number = MouseButton::right; break;
    case Qt::MiddleButton: number = MouseButton::middle; break;
    default: return; // the event knows no other button
    }
    const int shift = (modifiers & Qt::ShiftModifier ? ShiftState::shift : 0)
            | (modifiers & Qt::ControlModifier ? ShiftState::ctrl : 0) | (modifiers & Qt::AltModifier ? ShiftState::alt : 0);
    emit mouseDown(number, shift, Twips::fromPixels(position.x(), m_view->logicalDpiX()),
                   Twips::fromPixels(position.y(), m_view->logicalDpiY()));
}
