#include "CaretInput.h"

#include "RowLayer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextLayout>

#include <algorithm>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}

} // namespace

namespace CaretInput {

KeyCommand fromKey(const QKeyEvent &event)
{
    KeyCommand command;
    if (event.matches(QKeySequence::Copy)) {
        command.copy = true;
        return command;
    }
    if (event.matches(QKeySequence::SelectAll)) {
        command.selectAll = true;
        return command;
    }
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    command.extend = event.modifiers() & Qt::ShiftModifier;
    switch (event.key()) {
    case Qt::Key_Left: command.move = ctrl ? Move::WordLeft : Move::CharacterLeft; break;
    case Qt::Key_Right: command.move = ctrl ? Move::WordRight : Move::CharacterRight; break;
    case Qt::Key_Up: command.move = Move::RowUp; break;
    case Qt::Key_Down: command.move = Move::RowDown; break;
    case Qt::Key_PageUp: command.move = Move::PageUp; break;
    case Qt::Key_PageDown: command.move = Move::PageDown; break;
    case Qt::Key_Home: command.move = ctrl ? Move::DocumentStart : Move::RowStart; break;
    case Qt::Key_End: command.move = ctrl ? Move::DocumentEnd : Move::RowEnd; break;
    default: break;
    }
    return command;
}

Press fromMouse(const QMouseEvent &event)
{
    if (event.button() != Qt::LeftButton)
        return Press::None;
    if (event.type() == QEvent::MouseButtonDblClick)
        return Press::SelectWord;
    return event.modifiers() & Qt::ShiftModifier ? Press::Extend : Press::Place;
}

qsizetype target(Move move, qsizetype caret, const QString &document, RowLayer &layer, qreal &preferredX, int pageRows)
{
    const qsizetype rowIndex = layer.rowOf(caret);
    const RowLayer::Row row = layer.rowAt(rowIndex);
    const bool vertical = move == Move::RowUp || move == Move::RowDown || move == Move::PageUp || move == Move::PageDown;
    if (!vertical)
        preferredX = -1;

    qsizetype to = caret;
    switch (move) {
    case Move::None:
        break;
    case Move::CharacterLeft:
    case Move::WordLeft:
        if (caret == row.start && rowIndex > 0) {
            to = layer.rowAt(rowIndex - 1).end;
        } else if (move == Move::WordLeft) {
            while (to > row.start && !isWordChar(document.at(to - 1)))
                --to;
            while (to > row.start && isWordChar(document.at(to - 1)))
                --to;
        } else {
            to = caret - 1;
            if (to > 0 && document.at(to).isLowSurrogate())
                --to;
        }
        break;
    case Move::CharacterRight:
    case Move::WordRight:
        if (caret >= row.end && rowIndex + 1 < layer.rowCount()) {
            to = layer.rowAt(rowIndex + 1).start;
        } else if (move == Move::WordRight) {
            while (to < row.end && !isWordChar(document.at(to)))
                ++to;
            while (to < row.end && isWordChar(document.at(to)))
                ++to;
        } else {
            to = std::min(caret + 1, row.end);
            if (to < document.size() && document.at(to).isLowSurrogate())
                ++to;
        }
        break;
    case Move::RowUp:
    case Move::RowDown:
    case Move::PageUp:
    case Move::PageDown: {
        if (preferredX < 0)
            preferredX = layer.xOf(caret);
        const bool page = move == Move::PageUp || move == Move::PageDown;
        const int step = page ? std::max(pageRows, 1) : 1;
        const int sign = (move == Move::RowUp || move == Move::PageUp) ? -1 : 1;
        if (page) {
            const qsizetype lastTop = std::max<qsizetype>(layer.rowCount() - pageRows, 0);
            layer.setFirstVisibleRow(std::clamp<qsizetype>(layer.firstVisibleRow() + sign * step, 0, lastTop));
        }
        to = layer.offsetAt(rowIndex + sign * step, preferredX);
        break;
    }
    case Move::RowStart: to = row.start; break;
    case Move::RowEnd: to = row.end; break;
    case Move::DocumentStart: to = 0; break;
    case Move::DocumentEnd: to = document.size(); break;
    }
    return to;
}

std::pair<qsizetype, qsizetype> wordAt(const QString &document, qsizetype offset)
{
    qsizetype from = std::clamp<qsizetype>(offset, 0, document.size());
    qsizetype to = from;
    while (from > 0 && isWordChar(document.at(from - 1)))
        --from;
    while (to < document.size() && isWordChar(document.at(to)))
        ++to;
    if (from == to && to < document.size())
        ++to;
    return {from, to};
}

} // namespace CaretInput
