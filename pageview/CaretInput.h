#pragma once

#include "CaretNavigator.h"

#include <QElapsedTimer>
#include <QPointF>

#include <optional>

class QKeyEvent;

// Which key moves the caret how: the view's keys mapped to the caret's moves, kept
// apart from the widget so that a table of keys can be checked without one.
namespace CaretInput {

struct KeyCommand
{
    std::optional<CaretNavigator::Move> move;
    bool extend = false; // Shift held: the anchor stays
    bool copy = false;
    bool selectAll = false;
    // Ctrl+Up and Ctrl+Down scroll the view by a row and leave the caret, as Qt's
    // text controls do.
    int scrollRows = 0;
};

// What a key does to the caret; an empty command for a key that is not the caret's.
KeyCommand fromKey(const QKeyEvent &event);

// Counts the clicks of the left button: a press soon after a double-click, near where
// it was, is a triple-click.
class ClickCounter
{
public:
    // clicks: 1 for a press, 2 for a double-click; returns 1, 2 or 3.
    int press(QPointF position, int clicks);
    void forget() { m_doubleClick.invalidate(); }

private:
    QElapsedTimer m_doubleClick;
    QPointF m_doubleClickAt;
};

} // namespace CaretInput
