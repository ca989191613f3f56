#include "CaretNavigator.h"

#include "LineIndex.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <limits>

namespace {

// Characters that end a word and make a word of their own, as Qt's text layout has them:
// Ctrl+Right stops at "." in "foo.bar" and at "(" in "baz(qux)".
bool isWordSeparator(QChar c)
{
    switch (c.unicode()) {
    case u'.': case u',': case u'?': case u'!': case u'@': case u'#': case u'$': case u':':
    case u';': case u'-': case u'<': case u'>': case u'[': case u']': case u'(': case u')':
    case u'{': case u'}': case u'=': case u'/': case u'+': case u'%': case u'&': case u'^':
    case u'*': case u'\'': case u'"': case u'`': case u'~': case u'|': case u'\\':
        return true;
    default:
        return false;
    }
}

bool isBlank(QChar c)
{
    return c.isSpace();
}

// Ctrl+Right within a line: over a run of separators or of word characters, then over
// the blanks after it, so that the caret lands where the next word starts.
qsizetype skipWordForward(QStringView text, qsizetype pos)
{
    const qsizetype size = text.size();
    if (pos < size && isWordSeparator(text[pos])) {
        while (pos < size && isWordSeparator(text[pos]))
            ++pos;
    } else {
        while (pos < size && !isBlank(text[pos]) && !isWordSeparator(text[pos]))
            ++pos;
    }
    while (pos < size && isBlank(text[pos]))
        ++pos;
    return pos;
}

// Ctrl+Left within a line: back over blanks, then to the start of the word or run of
// separators before them.
qsizetype skipWordBackward(QStringView text, qsizetype pos)
{
    while (pos > 0 && isBlank(text[pos - 1]))
        --pos;
    if (pos > 0 && isWordSeparator(text[pos - 1])) {
        while (pos > 0 && isWordSeparator(text[pos - 1]))
            --pos;
    } else {
        while (pos > 0 && !isBlank(text[pos - 1]) && !isWordSeparator(text[pos - 1]))
            --pos;
    }
    return pos;
}

// The word a double-click at pos selects, as Qt's text cursor finds it: its start, or
// -1 when the click is past the line's last word.
qsizetype wordStartAt(QStringView text, qsizetype pos)
{
    if (pos == 0)
        return 0;
    if (pos == text.size() && (isBlank(text[pos - 1]) || isWordSeparator(text[pos - 1])))
        return -1;
    return skipWordBackward(text, pos < text.size() ? pos + 1 : pos);
}

qsizetype wordEndFrom(QStringView text, qsizetype start)
{
    qsizetype pos = start;
    const qsizetype size = text.size();
    if (pos < size && isWordSeparator(text[pos])) {
        while (pos < size && isWordSeparator(text[pos]))
            ++pos;
    } else {
        while (pos < size && !isBlank(text[pos]) && !isWordSeparator(text[pos]))
            ++pos;
    }
    return pos;
}

// Two characters below the combining marks never join: the grapheme boundary between
// them does not depend on anything before.
bool isPlainBoundary(QStringView text, qsizetype pos)
{
    return pos <= 0 || pos >= text.size() || (text[pos - 1].unicode() < 0x300 && text[pos].unicode() < 0x300);
}

// The next or previous grapheme cluster boundary within a line. Only a window around
// pos is looked at, so a line of megabytes costs no more than a short one; the window
// starts and ends where a boundary is certain, so that a run of flags pairs up right.
qsizetype clusterBoundary(QStringView line, qsizetype pos, bool forward)
{
    constexpr qsizetype reach = 256;
    constexpr qsizetype farthest = 64 * 1024;
    qsizetype from = std::max<qsizetype>(0, pos - reach);
    while (from > 0 && pos - from < farthest && !isPlainBoundary(line, from))
        --from;
    qsizetype to = std::min(line.size(), pos + reach);
    while (to < line.size() && to - pos < farthest && !isPlainBoundary(line, to))
        ++to;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.sliced(from, to - from));
    finder.setPosition(pos - from);
    const qsizetype found = forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
    if (found < 0)
        return forward ? to : from;
    return from + found;
}

// Far enough to reach any line's last row; DisplayRows takes a row past the last as
// the last.
constexpr qsizetype lastRowOfLine = std::numeric_limits<qsizetype>::max() / 4;

} // namespace

void CaretNavigator::reset(QStringView document, const LineIndex *lines, DisplayRows *rows, RowGeometry *geometry)
{
    m_document = document;
    m_lines = lines;
    m_rows = rows;
    m_geometry = geometry;
    m_caret = {};
    m_anchor = 0;
    m_preferredX = -1;
    m_unit = Unit::Character;
}

void CaretNavigator::rowsChanged()
{
    m_preferredX = -1;
    // An upstream caret that is no longer at a row boundary is simply at its offset.
    place(m_caret, true);
}

// ---- Rows

CaretNavigator::Row CaretNavigator::rowOf(Position position) const
{
    const qsizetype offset = position.offset;
    const qsizetype line = m_lines->lineOf(offset);
    const qsizetype index = m_rows->rowOf(offset) - m_rows->firstRowOf(line);
    DisplayRows::Span span = m_rows->rowSpan(line, index);
    if (position.affinity == Affinity::Upstream && span.start == offset && span.indexInLine > 0)
        span = m_rows->rowSpan(line, span.indexInLine - 1);
    return {line, span};
}

CaretNavigator::Row CaretNavigator::rowAtIndex(qsizetype row) const
{
    const DisplayRows::Place place = m_rows->placeOfRow(row);
    return {place.line, m_rows->rowSpan(place.line, place.row)};
}

bool CaretNavigator::nextRow(Row &row) const
{
    if (!row.span.lastOfLine) {
        row.span = m_rows->rowSpan(row.line, row.span.indexInLine + 1);
        return true;
    }
    if (row.line + 1 >= m_rows->lineCount())
        return false;
    row = {row.line + 1, m_rows->rowSpan(row.line + 1, 0)};
    return true;
}

bool CaretNavigator::previousRow(Row &row) const
{
    if (row.span.indexInLine > 0) {
        row.span = m_rows->rowSpan(row.line, row.span.indexInLine - 1);
        return true;
    }
    if (row.line == 0)
        return false;
    // A measured line says which row is its last; an estimated one is measured to its end.
    const qsizetype above = row.line - 1;
    row = {above, m_rows->rowSpan(above, m_rows->isMeasured(above) ? m_rows->rowsIn(above) - 1 : lastRowOfLine)};
    return true;
}

bool CaretNavigator::isSoftRowStart(qsizetype offset) const
{
    const Row row = rowOf({offset, Affinity::Downstream});
    return row.span.start == offset && row.span.indexInLine > 0;
}

CaretNavigator::Position CaretNavigator::onRow(const Row &row, qsizetype offset) const
{
    // The end of a row that a line continues is also the next row's start.
    const bool continued = offset == row.span.end && !row.span.lastOfLine;
    return {offset, continued ? Affinity::Upstream : Affinity::Downstream};
}

CaretNavigator::Position CaretNavigator::rowEnd(const Row &row) const
{
    // A row wrapped after a blank ends before it, as in Qt's text controls; a row cut
    // elsewhere ends after its last character, on that row.
    const DisplayRows::Span &span = row.span;
    if (!span.lastOfLine && span.end > span.start && isBlank(m_document[span.end - 1]))
        return {span.end - 1, Affinity::Downstream};
    return onRow(row, span.end);
}

CaretNavigator::Position CaretNavigator::atX(const Row &row, qreal x) const
{
    const DisplayRows::Span &span = row.span;
    qsizetype offset = std::clamp(m_geometry->offsetAt(span, x), span.start, span.end);
    if (offset > span.start && offset < span.end && m_document[offset].isLowSurrogate() && m_document[offset - 1].isHighSurrogate())
        --offset;
    if (offset == span.end)
        return rowEnd(row);
    return {offset, Affinity::Downstream};
}

qsizetype CaretNavigator::caretRow()
{
    const Row row = rowOf(m_caret);
    return m_rows->firstRowOf(row.line) + row.span.indexInLine;
}

qreal CaretNavigator::caretX()
{
    return m_geometry->xOf(rowOf(m_caret).span, m_caret.offset);
}

CaretNavigator::Position CaretNavigator::positionAt(qsizetype row, qreal x)
{
    if (m_rows->rowCount() == 0)
        return {};
    return atX(rowAtIndex(std::clamp<qsizetype>(row, 0, m_rows->rowCount() - 1)), x);
}

// ---- Characters and words

qsizetype CaretNavigator::nextCharacter(qsizetype offset) const
{
    const qsizetype line = m_lines->lineOf(offset);
    if (offset >= m_lines->lineEnd(line))
        return line + 1 < m_lines->lineCount() ? m_lines->nextLineStart(line) : offset;
    const qsizetype start = m_lines->lineStart(line);
    return start + clusterBoundary(m_lines->lineText(line), offset - start, true);
}

qsizetype CaretNavigator::previousCharacter(qsizetype offset) const
{
    const qsizetype line = m_lines->lineOf(offset);
    const qsizetype start = m_lines->lineStart(line);
    if (offset <= start)
        return line > 0 ? m_lines->lineEnd(line - 1) : offset;
    return start + clusterBoundary(m_lines->lineText(line), offset - start, false);
}

qsizetype CaretNavigator::nextWord(qsizetype offset) const
{
    // A line break is a word step of its own; rows do not matter to words.
    const qsizetype line = m_lines->lineOf(offset);
    if (offset >= m_lines->lineEnd(line))
        return line + 1 < m_lines->lineCount() ? m_lines->nextLineStart(line) : offset;
    const qsizetype start = m_lines->lineStart(line);
    return start + skipWordForward(m_lines->lineText(line), offset - start);
}

qsizetype CaretNavigator::previousWord(qsizetype offset) const
{
    const qsizetype line = m_lines->lineOf(offset);
    const qsizetype start = m_lines->lineStart(line);
    if (offset <= start)
        return line > 0 ? m_lines->lineEnd(line - 1) : offset;
    return start + skipWordBackward(m_lines->lineText(line), offset - start);
}

// ---- Keys

std::optional<CaretNavigator::Position> CaretNavigator::vertical(qsizetype rows, bool toDocumentEnds)
{
    Row row = rowOf(m_caret);
    if (m_preferredX < 0)
        m_preferredX = m_geometry->xOf(row.span, m_caret.offset);
    bool moved = false;
    for (qsizetype i = 0; i < std::abs(rows); ++i) {
        if (!(rows > 0 ? nextRow(row) : previousRow(row)))
            break;
        moved = true;
    }
    if (moved)
        return atX(row, m_preferredX);
    // Up on the first row goes to the document's start and Down on the last to its end,
    // with Shift or without, so that the arrows always take the caret somewhere.
    if (toDocumentEnds) {
        m_preferredX = -1;
        return Position{rows > 0 ? m_document.size() : 0, Affinity::Downstream};
    }
    return std::nullopt;
}

void CaretNavigator::move(Move move, bool extend)
{
    const bool keepsColumn = move == Move::PreviousRow || move == Move::NextRow || move == Move::PreviousPage
            || move == Move::NextPage;
    if (!keepsColumn)
        m_preferredX = -1;
    Position target = m_caret;
    switch (move) {
    case Move::PreviousCharacter:
    case Move::NextCharacter: {
        const bool forward = move == Move::NextCharacter;
        if (!extend && hasSelection()) {
            // An arrow without Shift ends the selection at its side.
            const qsizetype side = forward ? selectionEnd() : selectionStart();
            target = side == m_caret.offset ? m_caret : Position{side, Affinity::Downstream};
        } else {
            target = {forward ? nextCharacter(m_caret.offset) : previousCharacter(m_caret.offset), Affinity::Downstream};
        }
        break;
    }
    case Move::PreviousWord:
        target = {previousWord(m_caret.offset), Affinity::Downstream};
        break;
    case Move::NextWord:
        target = {nextWord(m_caret.offset), Affinity::Downstream};
        break;
    case Move::RowStart:
        target = {rowOf(m_caret).span.start, Affinity::Downstream};
        break;
    case Move::RowEnd:
        target = rowEnd(rowOf(m_caret));
        break;
    case Move::PreviousRow:
    case Move::NextRow:
    case Move::PreviousPage:
    case Move::NextPage: {
        const bool byRow = move == Move::PreviousRow || move == Move::NextRow;
        const qsizetype rows = byRow ? 1 : m_pageRows;
        const bool down = move == Move::NextRow || move == Move::NextPage;
        const std::optional<Position> moved = vertical(down ? rows : -rows, byRow);
        // Where the caret cannot go further, the selection stays as it is.
        if (!moved)
            return;
        target = *moved;
        break;
    }
    case Move::LineStart:
        target = {m_lines->lineStart(m_lines->lineOf(m_caret.offset)), Affinity::Downstream};
        break;
    case Move::LineEnd:
        target = {m_lines->lineEnd(m_lines->lineOf(m_caret.offset)), Affinity::Downstream};
        break;
    case Move::DocumentStart:
        target = {0, Affinity::Downstream};
        break;
    case Move::DocumentEnd:
        target = {m_document.size(), Affinity::Downstream};
        break;
    }
    m_unit = Unit::Character;
    place(target, extend);
}

void CaretNavigator::place(Position caret, bool extend)
{
    if (caret.affinity == Affinity::Upstream && !isSoftRowStart(caret.offset))
        caret.affinity = Affinity::Downstream;
    m_caret = caret;
    if (!extend)
        m_anchor = caret.offset;
}

void CaretNavigator::setPosition(Position position, bool extend)
{
    qsizetype offset = std::clamp<qsizetype>(position.offset, 0, m_document.size());
    // Never inside a surrogate pair or between CR and LF.
    if (offset > 0 && offset < m_document.size()
        && ((m_document[offset].isLowSurrogate() && m_document[offset - 1].isHighSurrogate())
            || (m_document[offset] == u'\n' && m_document[offset - 1] == u'\r'))) {
        --offset;
    }
    m_preferredX = -1;
    m_unit = Unit::Character;
    place({offset, position.affinity}, extend);
}

void CaretNavigator::setSelection(qsizetype anchor, Position caret)
{
    setPosition({anchor, Affinity::Downstream});
    setPosition(caret, true);
}

void CaretNavigator::selectAll()
{
    setSelection(0, {m_document.size(), Affinity::Downstream});
}

// ---- Mouse

void CaretNavigator::mousePress(qsizetype row, qreal x, int clicks, bool extend)
{
    if (m_rows->rowCount() == 0)
        return;
    m_preferredX = -1;
    const Position at = positionAt(row, x);
    if (clicks >= 3) {
        selectLineAt(at.offset);
    } else if (clicks == 2) {
        selectWordAt(at);
    } else if (extend) {
        mouseDrag(row, x);
    } else {
        m_unit = Unit::Character;
        place(at, false);
    }
}

void CaretNavigator::mouseDrag(qsizetype row, qreal x)
{
    if (m_rows->rowCount() == 0)
        return;
    const Row under = rowAtIndex(std::clamp<qsizetype>(row, 0, m_rows->rowCount() - 1));
    const Position at = atX(under, x);
    switch (m_unit) {
    case Unit::Word:
        extendByWords(under, x);
        break;
    case Unit::Line:
        extendByLines(at.offset);
        break;
    case Unit::Character:
        place(at, true);
        break;
    }
}

void CaretNavigator::selectWordAt(Position position)
{
    const Row row = rowOf(position);
    const qsizetype lineStart = m_lines->lineStart(row.line);
    const QStringView text = m_lines->lineText(row.line);
    qsizetype start = position.offset - lineStart;
    qsizetype end = start;
    // An empty row has no word to select.
    if (row.span.end > row.span.start) {
        const qsizetype found = wordStartAt(text, start);
        if (found >= 0) {
            start = found;
            end = wordEndFrom(text, start);
        }
    }
    m_unit = end > start ? Unit::Word : Unit::Character;
    m_unitStart = lineStart + start;
    m_unitEnd = lineStart + end;
    place({m_unitStart, Affinity::Downstream}, false);
    place({m_unitEnd, Affinity::Downstream}, true);
}

void CaretNavigator::selectLineAt(qsizetype offset)
{
    // The whole line with its line break, as a triple-click in Qt's text controls.
    const qsizetype line = m_lines->lineOf(offset);
    m_unit = Unit::Line;
    m_unitStart = m_lines->lineStart(line);
    m_unitEnd = m_lines->nextLineStart(line);
    place({m_unitStart, Affinity::Downstream}, false);
    place({m_unitEnd, Affinity::Downstream}, true);
}

void CaretNavigator::extendByWords(const Row &under, qreal x)
{
    const qsizetype offset = atX(under, x).offset;
    if (offset >= m_unitStart && offset <= m_unitEnd) {
        place({m_unitStart, Affinity::Downstream}, false);
        place({m_unitEnd, Affinity::Downstream}, true);
        return;
    }
    // The word under the pointer, as a double-click there would select it; the
    // selection grows to whichever of its ends is nearer the pointer, and stays as it
    // is while the pointer is over blanks or past a row's end, as in Qt's text controls.
    const qsizetype lineStart = m_lines->lineStart(under.line);
    const QStringView text = m_lines->lineText(under.line);
    // A pointer at a line's start, or past its last word, leaves it too.
    const qsizetype found = wordStartAt(text, offset - lineStart);
    if (found < 0 || offset == lineStart)
        return;
    const qsizetype wordStart = lineStart + found;
    const qsizetype wordEnd = lineStart + wordEndFrom(text, found);
    if (wordEnd == wordStart)
        return;
    // A word that runs over a row's end is not grown to.
    const Row row = rowOf({wordStart, Affinity::Downstream});
    if (rowOf({wordEnd, Affinity::Upstream}).span.start != row.span.start)
        return;
    const qreal startX = m_geometry->xOf(row.span, wordStart);
    const qreal endX = m_geometry->xOf(row.span, wordEnd);
    if (x < startX || x > endX)
        return;
    const qsizetype anchor = offset < m_unitStart ? m_unitEnd : m_unitStart;
    place({anchor, Affinity::Downstream}, false);
    place({x - startX < endX - x ? wordStart : wordEnd, Affinity::Downstream}, true);
}

void CaretNavigator::extendByLines(qsizetype offset)
{
    if (offset >= m_unitStart && offset <= m_unitEnd) {
        place({m_unitStart, Affinity::Downstream}, false);
        place({m_unitEnd, Affinity::Downstream}, true);
        return;
    }
    const qsizetype line = m_lines->lineOf(offset);
    if (offset < m_unitStart) {
        place({m_unitEnd, Affinity::Downstream}, false);
        place({m_lines->lineStart(line), Affinity::Downstream}, true);
    } else {
        place({m_unitStart, Affinity::Downstream}, false);
        place({m_lines->nextLineStart(line), Affinity::Downstream}, true);
    }
}
