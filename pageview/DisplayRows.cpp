#include "DisplayRows.h"

#include "LineIndex.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

// Row starts kept for the lines used lately, in offsets: a few screens of a huge
// wrapped line, or many short ones.
constexpr qsizetype startsHeldLimit = 1 << 20;
// A longer line is measured this much at a time, only as far as it is needed: the
// rows on screen of a line of megabytes are there at once.
constexpr qsizetype measurePart = 64 * 1024;

} // namespace

void DisplayRows::reset(const LineIndex *lines)
{
    m_lines = lines;
    m_lineCount = 0;
    m_totalRows = 0;
    m_unmeasured = 0;
    m_measureFrom = 0;
    m_uniform = true;
    // The storage of a huge document before goes back at once.
    m_rows = {};
    m_manyRows.clear();
    m_tree = {};
    m_treeLines = 0;
    m_starts.clear();
    m_startsHeld = 0;
}

void DisplayRows::setRule(Rule rule)
{
    m_rule = std::move(rule);
    const LineIndex *lines = m_lines;
    reset(lines);
    if (lines)
        linesAdded();
}

qsizetype DisplayRows::countRows(QStringView line) const
{
    qsizetype rows = 1;
    for (qsizetype start = m_rule.breaker(line, 0); start < line.size(); start = m_rule.breaker(line, start))
        ++rows;
    return rows;
}

void DisplayRows::linesAdded()
{
    const qsizetype count = m_lines->lineCount();
    const qsizetype first = m_lineCount;
    // Many lines at once (a new rule over a whole document): counted first, and the
    // tree built over them in one go.
    const bool many = count - first > std::max<qsizetype>(1024, first / 4);
    qsizetype line = first;
    while (line < count) {
        // Lines of one row each, taken in as a run: a page of short lines costs
        // nothing per line while every line is one row.
        const qsizetype longer = m_lines->firstLineLongerThan(m_rule.singleRowLength, line, count);
        if (!m_uniform)
            m_rows.insert(m_rows.end(), size_t(longer - line), quint16(1 | measuredBit));
        m_lineCount += longer - line;
        m_totalRows += longer - line;
        line = longer;
        if (line == count)
            break;
        qsizetype rows = 1;
        bool measured = true;
        if (m_rule.measureAtOnce) {
            rows = countRows(m_lines->lineText(line));
        } else {
            rows = std::max<qsizetype>(1, m_rule.estimate(m_lines->lineLength(line)));
            measured = false;
        }
        if (m_uniform && (rows != 1 || !measured))
            becomeVaried();
        if (!m_uniform)
            appendRows(rows, measured);
        ++m_lineCount;
        m_totalRows += rows;
        if (!measured)
            ++m_unmeasured;
        ++line;
    }
    if (m_uniform)
        return;
    if (many)
        buildTree();
    else
        treeTakeIn(m_treeLines);
    if (m_lines->complete()) {
        m_rows.shrink_to_fit();
        m_tree.shrink_to_fit();
    }
}

void DisplayRows::appendRows(qsizetype rows, bool measured)
{
    if (rows >= manyRows)
        m_manyRows.insert(qsizetype(m_rows.size()), rows);
    m_rows.push_back(quint16(std::min<qsizetype>(rows, manyRows)) | (measured ? measuredBit : 0));
}

void DisplayRows::buildTree()
{
    // Each block's rows, then each node adds itself to the next node that covers it.
    const qsizetype lines = qsizetype(m_rows.size());
    const qsizetype blocks = (lines + blockLines - 1) / blockLines;
    m_tree.assign(size_t(blocks) + 1, 0);
    for (qsizetype line = 0; line < lines; ++line)
        m_tree[size_t(line / blockLines + 1)] += rowsIn(line);
    for (qsizetype i = 1; i <= blocks; ++i) {
        const qsizetype parent = i + (i & -i);
        if (parent <= blocks)
            m_tree[size_t(parent)] += m_tree[size_t(i)];
    }
    m_treeLines = lines;
}

void DisplayRows::treeTakeIn(qsizetype fromLine)
{
    for (qsizetype line = fromLine; line < qsizetype(m_rows.size()); ++line) {
        const qsizetype block = line / blockLines;
        if (block + 1 < qsizetype(m_tree.size())) {
            treeAdd(block, rowsIn(line));
        } else {
            // A new node covers the blocks (i - lowbit(i), i]: its value plus what the
            // nodes before it within that range hold.
            const qsizetype i = qsizetype(m_tree.size());
            m_tree.push_back(rowsIn(line) + treePrefix(i - 1) - treePrefix(i - (i & -i)));
        }
    }
    m_treeLines = qsizetype(m_rows.size());
}

void DisplayRows::becomeVaried()
{
    // From here on each line's rows are counted: every line so far is one row.
    m_uniform = false;
    m_rows.assign(size_t(m_lineCount), quint16(1 | measuredBit));
    m_rows.reserve(size_t(m_lines->lineCount()));
    buildTree();
}

void DisplayRows::treeAdd(qsizetype block, qint64 delta)
{
    for (qsizetype i = block + 1; i < qsizetype(m_tree.size()); i += i & -i)
        m_tree[size_t(i)] += delta;
}

qint64 DisplayRows::treePrefix(qsizetype blocks) const
{
    qint64 sum = 0;
    for (qsizetype i = blocks; i > 0; i -= i & -i)
        sum += m_tree[size_t(i)];
    return sum;
}

qsizetype DisplayRows::firstRowOf(qsizetype line) const
{
    if (m_uniform)
        return line;
    const qsizetype block = line / blockLines;
    qsizetype row = qsizetype(treePrefix(block));
    for (qsizetype before = block * blockLines; before < line; ++before)
        row += rowsIn(before);
    return row;
}

qsizetype DisplayRows::rowsIn(qsizetype line) const
{
    if (m_uniform)
        return 1;
    const qsizetype rows = m_rows[size_t(line)] & manyRows;
    return rows == manyRows ? m_manyRows.value(line) : rows;
}

bool DisplayRows::isMeasured(qsizetype line) const
{
    return m_uniform || (m_rows[size_t(line)] & measuredBit);
}

qsizetype DisplayRows::storageBytes() const
{
    return qsizetype(sizeof(*this) + m_rows.capacity() * sizeof(quint16) + m_tree.capacity() * sizeof(qint64)
                     + m_manyRows.capacity() * 2 * sizeof(qsizetype));
}

DisplayRows::Place DisplayRows::placeOfRow(qsizetype row) const
{
    row = std::clamp<qsizetype>(row, 0, std::max<qsizetype>(m_totalRows - 1, 0));
    if (m_uniform)
        return {std::min(row, std::max<qsizetype>(m_lineCount - 1, 0)), 0};
    // The last block whose first row is at or before row: down the tree, taking every
    // node that still fits; then the line within it.
    const qsizetype size = qsizetype(m_tree.size()) - 1;
    qsizetype block = 0;
    qint64 before = 0;
    for (qsizetype step = std::bit_floor(size_t(std::max<qsizetype>(size, 1))); step > 0; step >>= 1) {
        const qsizetype next = block + step;
        if (next <= size && before + m_tree[size_t(next)] <= row) {
            block = next;
            before += m_tree[size_t(next)];
        }
    }
    const qsizetype last = std::max<qsizetype>(m_lineCount - 1, 0);
    for (qsizetype line = block * blockLines; line < last; ++line) {
        const qsizetype rows = rowsIn(line);
        if (before + rows > row)
            return {line, row - qsizetype(before)};
        before += rows;
    }
    return {last, std::clamp<qsizetype>(row - qsizetype(before), 0, std::max<qsizetype>(rowsIn(last) - 1, 0))};
}

void DisplayRows::setRows(qsizetype line, qsizetype rows, bool measured)
{
    const qsizetype oldRows = rowsIn(line);
    if (measured && !isMeasured(line))
        --m_unmeasured;
    if (oldRows >= manyRows)
        m_manyRows.remove(line);
    if (rows >= manyRows)
        m_manyRows.insert(line, rows);
    m_rows[size_t(line)] = quint16(std::min<qsizetype>(rows, manyRows)) | (measured ? measuredBit : 0);
    if (rows != oldRows) {
        treeAdd(line / blockLines, rows - oldRows);
        m_totalRows += rows - oldRows;
    }
}

bool DisplayRows::isSingleRow(qsizetype line) const
{
    return m_uniform || (rowsIn(line) == 1 && isMeasured(line));
}

const DisplayRows::Measured &DisplayRows::measureLine(qsizetype line, qsizetype wantRows, qsizetype wantOffset)
{
    auto found = m_starts.find(line);
    if (found == m_starts.end()) {
        if (m_startsHeld > startsHeldLimit) {
            m_starts.clear();
            m_startsHeld = 0;
        }
        found = m_starts.insert(line, Measured{{m_lines->lineStart(line)}, false});
        ++m_startsHeld;
    }
    Measured &measured = *found;
    if (measured.complete)
        return measured;
    const qsizetype lineStart = m_lines->lineStart(line);
    const QStringView text = m_lines->lineText(line);
    // The last row found: where measuring goes on.
    qsizetype rowStart = measured.starts.last() - lineStart;
    const qsizetype before = measured.starts.size();
    while (measured.starts.size() < wantRows || lineStart + rowStart <= wantOffset) {
        const qsizetype stop = rowStart + measurePart;
        while (rowStart < stop) {
            const qsizetype next = m_rule.breaker(text, rowStart);
            if (next >= text.size()) {
                measured.complete = true;
                break;
            }
            measured.starts.append(lineStart + next);
            rowStart = next;
        }
        if (measured.complete)
            break;
    }
    m_startsHeld += measured.starts.size() - before;
    // The rows found, and an estimate for the rest of the line.
    const qsizetype rows = measured.complete ? measured.starts.size()
                                             : measured.starts.size() - 1 + std::max<qsizetype>(1, m_rule.estimate(text.size() - rowStart));
    if (!isMeasured(line) || rows != rowsIn(line))
        setRows(line, rows, measured.complete);
    return measured;
}

DisplayRows::Span DisplayRows::rowSpan(qsizetype line, qsizetype indexInLine)
{
    if (isSingleRow(line))
        return {0, m_lines->lineStart(line), m_lines->lineEnd(line), m_lines->nextLineStart(line), true};
    const Measured &measured = measureLine(line, indexInLine + 2, -1);
    const qsizetype index = std::clamp<qsizetype>(indexInLine, 0, measured.starts.size() - 1);
    const qsizetype start = measured.starts[index];
    if (index + 1 < measured.starts.size())
        return {index, start, measured.starts[index + 1], measured.starts[index + 1], false};
    return {index, start, m_lines->lineEnd(line), m_lines->nextLineStart(line), true};
}

QList<qsizetype> DisplayRows::rowStarts(qsizetype line)
{
    if (isSingleRow(line))
        return {m_lines->lineStart(line)};
    return measureLine(line, std::numeric_limits<qsizetype>::max(), std::numeric_limits<qsizetype>::max()).starts;
}

qsizetype DisplayRows::rowOf(qsizetype offset)
{
    const qsizetype line = m_lines->lineOf(offset);
    if (isSingleRow(line))
        return firstRowOf(line);
    const QList<qsizetype> &starts = measureLine(line, 0, offset).starts;
    const qsizetype within = qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
    return firstRowOf(line) + std::max<qsizetype>(within, 0);
}

bool DisplayRows::measure(qsizetype budget)
{
    qsizetype spent = 0;
    while (m_unmeasured > 0 && m_measureFrom < m_lineCount && spent < budget) {
        const qsizetype line = m_measureFrom;
        if (isMeasured(line)) {
            ++m_measureFrom;
            continue;
        }
        const QStringView text = m_lines->lineText(line);
        if (text.size() <= measurePart) {
            setRows(line, countRows(text), true);
            spent += text.size();
            ++m_measureFrom;
            continue;
        }
        // A very long line, a part at a time, its rows kept for when it comes into view.
        const Measured &measured = measureLine(line, m_starts.contains(line) ? m_starts.value(line).starts.size() + 1 : 2, -1);
        spent += measurePart;
        if (measured.complete)
            ++m_measureFrom;
    }
    return m_unmeasured == 0;
}
