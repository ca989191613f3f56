#pragma once

#include "DisplayRows.h"

#include <QStringView>

#include <optional>

class LineIndex;

// Where the caret would be drawn in a row, and which caret position a point in a row
// is nearest: this depends on the font, so the view answers it (with QTextLayout).
// x is measured from the row's left edge; offsets are into the document, within
// [row.start, row.end].
class RowGeometry
{
public:
    virtual ~RowGeometry() = default;
    virtual qreal xOf(const DisplayRows::Span &row, qsizetype offset) = 0;
    virtual qsizetype offsetAt(const DisplayRows::Span &row, qreal x) = 0;
};

// The caret and the selection of the page view, moved as Qt's own text controls
// move them (a read-only QPlainTextEdit that the keyboard can select in), over the
// exact document string: offsets are UTF-16 positions that never split a character
// the user sees as one, and CR LF is one step.
//
// A position where a line is broken into rows is both the end of one row and the start
// of the next; the caret's affinity says which row it is drawn on (upstream: the end of
// the row before), as QTextLayout's cursor does.
class CaretNavigator
{
public:
    enum class Affinity { Downstream, Upstream };
    struct Position
    {
        qsizetype offset = 0;
        Affinity affinity = Affinity::Downstream;
        friend bool operator==(const Position &, const Position &) = default;
    };

    enum class Move {
        PreviousCharacter, // Left: a selection collapses to its start
        NextCharacter, // Right: a selection collapses to its end
        PreviousWord, // Ctrl+Left
        NextWord, // Ctrl+Right
        RowStart, // Home
        RowEnd, // End
        PreviousRow, // Up
        NextRow, // Down
        PreviousPage, // Page Up, by pageRows()
        NextPage, // Page Down
        LineStart,
        LineEnd,
        DocumentStart, // Ctrl+Home
        DocumentEnd, // Ctrl+End
    };

    // Starts over on a document: the caret at its start, nothing selected. The line
    // index and the rows must cover every offset the caret is given.
    void reset(QStringView document, const LineIndex *lines, DisplayRows *rows, RowGeometry *geometry);
    // The rows were broken anew (wrapping turned on or off, a new width): the caret
    // keeps its offset and forgets its column.
    void rowsChanged();

    void setPageRows(qsizetype rows) { m_pageRows = std::max<qsizetype>(rows, 1); }
    qsizetype pageRows() const { return m_pageRows; }

    void move(Move move, bool extend);
    void setPosition(Position position, bool extend = false);
    void setSelection(qsizetype anchor, Position caret);
    void selectAll();

    Position caret() const { return m_caret; }
    qsizetype anchor() const { return m_anchor; }
    bool hasSelection() const { return m_anchor != m_caret.offset; }
    qsizetype selectionStart() const { return std::min(m_anchor, m_caret.offset); }
    qsizetype selectionEnd() const { return std::max(m_anchor, m_caret.offset); }
    // The display row the caret is drawn on, and where the caret is in it.
    qsizetype caretRow();
    qreal caretX();

    // The caret position for a point x in a display row (rows past the last are the
    // last): a point right of a row's end stays on that row.
    Position positionAt(qsizetype row, qreal x);

    // The left button: pressed (clicks 1, 2 for a double-click, 3 for a triple-click;
    // extend while Shift is held) and moved while held. After a double-click the
    // selection grows by words, after a triple-click by lines.
    void mousePress(qsizetype row, qreal x, int clicks, bool extend);
    void mouseDrag(qsizetype row, qreal x);

private:
    enum class Unit { Character, Word, Line };
    struct Row
    {
        qsizetype line;
        DisplayRows::Span span;
    };

    Row rowOf(Position position) const;
    Row rowAtIndex(qsizetype row) const;
    bool nextRow(Row &row) const;
    bool previousRow(Row &row) const;
    bool isSoftRowStart(qsizetype offset) const;
    Position onRow(const Row &row, qsizetype offset) const;
    Position atX(const Row &row, qreal x) const;

    qsizetype nextCharacter(qsizetype offset) const;
    qsizetype previousCharacter(qsizetype offset) const;
    qsizetype nextWord(qsizetype offset) const;
    qsizetype previousWord(qsizetype offset) const;
    Position rowEnd(const Row &row) const;
    // Nothing where the caret cannot go further.
    std::optional<Position> vertical(qsizetype rows, bool toDocumentEnds);

    void selectWordAt(Position position);
    void selectLineAt(qsizetype offset);
    void extendByWords(const Row &row, qreal x);
    void extendByLines(qsizetype offset);
    void place(Position caret, bool extend);

    QStringView m_document;
    const LineIndex *m_lines = nullptr;
    DisplayRows *m_rows = nullptr;
    RowGeometry *m_geometry = nullptr;

    Position m_caret;
    qsizetype m_anchor = 0;
    // The column kept by vertical moves; below zero when none is kept.
    qreal m_preferredX = -1;
    qsizetype m_pageRows = 1;
    // What a double- or triple-click selected, which dragging and Shift+click grow from.
    Unit m_unit = Unit::Character;
    qsizetype m_unitStart = 0;
    qsizetype m_unitEnd = 0;
};
