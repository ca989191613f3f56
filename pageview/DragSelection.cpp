#include "DragSelection.h"

#include "SourceView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QtMath>

#include <algorithm>

DragSelection::DragSelection(SourceView &view)
    : QObject(&view)
    , m_view(view)
    , m_autoScroll(new QTimer(this))
{
    // Rows scroll by while a drag is held past an edge, as quickly as in Qt's text controls.
    m_autoScroll->setObjectName(QStringLiteral("autoScroll"));
    m_autoScroll->setInterval(50);
    connect(m_autoScroll, &QTimer::timeout, this, &DragSelection::autoScroll);
}

qsizetype DragSelection::rowAtPoint(QPointF position) const
{
    // Rows above and below the view while a drag is past its edge; the caret keeps them
    // within the document.
    return m_view.firstVisibleRow() + qFloor(position.y() / m_view.m_layer.lineHeight());
}

qreal DragSelection::xAtPoint(QPointF position) const
{
    return position.x() - m_view.textLeft();
}

void DragSelection::press(QMouseEvent *event, int clicks)
{
    clicks = m_clicks.press(event->position(), clicks);
    m_selecting = true;
    m_view.m_caret.mousePress(rowAtPoint(event->position()), xAtPoint(event->position()), clicks,
                              event->modifiers() & Qt::ShiftModifier);
    m_view.caretMoved();
}

void DragSelection::move(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragPoint = event->position();
    const QRectF inside = m_view.viewport()->rect();
    const bool past = m_dragPoint.y() < inside.top() || m_dragPoint.y() >= inside.bottom()
            || (!m_view.isWrapping() && (m_dragPoint.x() < inside.left() || m_dragPoint.x() >= inside.right()));
    if (past && !m_autoScroll->isActive())
        m_autoScroll->start();
    else if (!past)
        m_autoScroll->stop();
    dragTo(m_dragPoint);
}

void DragSelection::dragTo(QPointF position)
{
    // The pointer past an edge selects to the row at that edge; the view scrolls on
    // under it while the button is held there.
    const qsizetype first = m_view.firstVisibleRow();
    const qsizetype last = first + m_view.visibleRows() - 1;
    const qsizetype row = std::clamp(rowAtPoint(position), first, std::max(first, last));
    m_view.m_caret.mouseDrag(row, xAtPoint(position));
    m_view.caretMoved();
}

void DragSelection::autoScroll()
{
    if (!m_selecting) {
        m_autoScroll->stop();
        return;
    }
    const QRectF inside = m_view.viewport()->rect();
    if (m_dragPoint.y() < inside.top())
        m_view.scrollToRow(std::max<qsizetype>(m_view.firstVisibleRow() - 1, 0));
    else if (m_dragPoint.y() >= inside.bottom())
        m_view.scrollToRow(std::min<qsizetype>(m_view.firstVisibleRow() + 1, m_view.verticalScrollBar()->maximum()));
    if (!m_view.isWrapping()) {
        // Sideways by a few characters a step.
        QScrollBar *h = m_view.horizontalScrollBar();
        const int step = qCeil(m_view.m_layer.charWidth() * 4);
        if (m_dragPoint.x() < inside.left())
            h->setValue(h->value() - step);
        else if (m_dragPoint.x() >= inside.right())
            h->setValue(h->value() + step);
    }
    dragTo(m_dragPoint);
}

bool DragSelection::release(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return false;
    m_selecting = false;
    m_autoScroll->stop();
    return true;
}

void DragSelection::forget()
{
    m_selecting = false;
    m_autoScroll->stop();
    m_clicks.forget();
}
