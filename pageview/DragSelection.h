#pragma once

#include "CaretInput.h"

#include <QObject>
#include <QPointF>

class QMouseEvent;
class QTimer;
class SourceView;

// Selecting with the left button: a press puts the caret (a double-click a word, a
// triple-click a line), a drag extends the selection, and while the drag is held past
// the view's edge the view scrolls on towards the pointer.
class DragSelection : public QObject
{
    Q_OBJECT

public:
    explicit DragSelection(SourceView &view);

    // clicks: 1 for a press, 2 for the second press of a double-click.
    void press(QMouseEvent *event, int clicks);
    void move(QMouseEvent *event);
    // True when the release ended a selection made with the mouse.
    bool release(QMouseEvent *event);
    // The document was replaced: no drag goes on, and the next press counts afresh.
    void forget();
    // A key moved the caret: the next press is not a triple-click.
    void forgetClicks() { m_clicks.forget(); }

private:
    void dragTo(QPointF position);
    void autoScroll();
    qsizetype rowAtPoint(QPointF position) const;
    qreal xAtPoint(QPointF position) const;

    SourceView &m_view;
    CaretInput::ClickCounter m_clicks;
    bool m_selecting = false;
    QPointF m_dragPoint;
    QTimer *m_autoScroll;
};
