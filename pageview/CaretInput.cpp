#include "CaretInput.h"

#include <QApplication>
#include <QKeyEvent>

namespace CaretInput {

KeyCommand fromKey(const QKeyEvent &event)
{
    using Move = CaretNavigator::Move;
    KeyCommand command;
    if (event.matches(QKeySequence::Copy)) {
        command.copy = true;
        return command;
    }
    if (event.matches(QKeySequence::SelectAll)) {
        command.selectAll = true;
        return command;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;
    // Alt and Meta with an arrow belong to the window or the desktop, not the caret.
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return command;
    command.extend = modifiers & Qt::ShiftModifier;
    switch (event.key()) {
    case Qt::Key_Left: command.move = ctrl ? Move::PreviousWord : Move::PreviousCharacter; break;
    case Qt::Key_Right: command.move = ctrl ? Move::NextWord : Move::NextCharacter; break;
    case Qt::Key_Up:
        if (ctrl && !command.extend)
            command.scrollRows = -1;
        else
            command.move = Move::PreviousRow;
        break;
    case Qt::Key_Down:
        if (ctrl && !command.extend)
            command.scrollRows = 1;
        else
            command.move = Move::NextRow;
        break;
    case Qt::Key_PageUp: command.move = Move::PreviousPage; break;
    case Qt::Key_PageDown: command.move = Move::NextPage; break;
    case Qt::Key_Home: command.move = ctrl ? Move::DocumentStart : Move::RowStart; break;
    case Qt::Key_End: command.move = ctrl ? Move::DocumentEnd : Move::RowEnd; break;
    default: break;
    }
    return command;
}

int ClickCounter::press(QPointF position, int clicks)
{
    if (clicks >= 2) {
        m_doubleClick.start();
        m_doubleClickAt = position;
        return 2;
    }
    const bool third = m_doubleClick.isValid() && m_doubleClick.elapsed() < QApplication::doubleClickInterval()
            && (position - m_doubleClickAt).manhattanLength() < QApplication::startDragDistance();
    m_doubleClick.invalidate();
    return third ? 3 : 1;
}

} // namespace CaretInput
