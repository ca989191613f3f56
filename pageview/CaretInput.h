#pragma once

#include <QString>

#include <utility>

class QKeyEvent;
class QMouseEvent;
class RowLayer;

// The keys and mouse presses that move the caret and the selection, and where each
// move takes the caret. Kept apart from the widget so that a caret model can take
// over the moves without the widget's event handlers changing.
namespace CaretInput {

enum class Move {
    None,
    CharacterLeft,
    CharacterRight,
    WordLeft,
    WordRight,
    RowUp,
    RowDown,
    PageUp,
    PageDown,
    RowStart,
    RowEnd,
    DocumentStart,
    DocumentEnd,
};

struct KeyCommand
{
    Move move = Move::None;
    bool extend = false; // Shift held: the anchor stays
    bool copy = false;
    bool selectAll = false;
};

// What a key does to the caret; Move::None and no command for a key that is not the
// caret's.
KeyCommand fromKey(const QKeyEvent &event);

enum class Press {
    None, // not the caret's: right and middle presses leave caret and selection alone
    Place,
    Extend, // Shift+click
    SelectWord, // double click
};

Press fromMouse(const QMouseEvent &event);

// Where move takes the caret. Up and down keep to preferredX (set on the first of
// them, -1 to start again); a page move scrolls the view by pageRows as well.
qsizetype target(Move move, qsizetype caret, const QString &document, RowLayer &layer, qreal &preferredX, int pageRows);

// The word at offset (letters, digits, marks and '_'), or the one character there.
std::pair<qsizetype, qsizetype> wordAt(const QString &document, qsizetype offset);

} // namespace CaretInput
