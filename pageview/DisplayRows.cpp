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
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_tree.clear();
    m_tree.shrink_to_fit();
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
    for (qsizetype line = first; line < count; ++line) {
        const qsizetype length = m_lines->lineLength(line);
        qsizetype rows = 1;
        bool measured = true;
        if (length > m_rule.singleRowLength) {
            if (m_rule.measureAtOnce) {
                rows = countRows(m_lines->lineText(line));
            } else {
                rows = std::max<qsizetype>(1, m_rule.estimate(length));
                measured = false;
            }
        }
        if (m_uniform && (rows != 1 || !measured))
            becomeVaried();
        ++m_lineCount;
        m_totalRows += rows;
        if (!measured)
            ++m_unmeasured;
        if (!m_uniform) {
            m_rows.push_back(quint32(std::min<qsizetype>(rows, measuredBit - 1)) | (measured ? measuredBit : 0));
            if (!many)
                treeAppend(rows);
        }
    }
    if (many && !m_uniform)
        buildTree();
}

void DisplayRows::buildTree()
{
    // Each node adds itself to the next node that covers it.
    const qsizetype size = qsizetype(m_rows.size());
    m_tree.assign(size_t(size) + 1, 0);
    for (qsizetype i = 1; i <= size; ++i) {
        m_tree[size_t(i)] += qint64(m_rows[size_t(i - 1)] & ~measuredBit);
        const qsizetype parent = i + (i & -i);
        if (parent <= size)
            m_tree[size_t(parent)] += m_tree[size_t(i)];
    }
}

void DisplayRows::becomeVaried()
{
    // From here on each line's rows are counted: every line so far is one row.
    m_uniform = false;
    m_rows.assign(size_t(m_lineCount), 1u | measuredBit);
    m_rows.reserve(size_t(m_lines->lineCount()));
    buildTree();
}

void DisplayRows::treeAppend(qint64 value)
{
    // The new node covers the lines (i - lowbit(i), i]: its value plus what the
    // nodes before it within that range hold.
    const qsizetype i = qsizetype(m_tree.size());
    m_tree.push_back(value + treePrefix(i - 1) - treePrefix(i - (i & -i)));
}

void DisplayRows::treeAdd(qsizetype line, qint64 delta)
{
    for (qsizetype i = line + 1; i < qsizetype(m_tree.size()); i += i & -i)
        m_tree[size_t(i)] += delta;
}

qint64 DisplayRows::treePrefix(qsizetype lines) const
{
    qint64 sum = 0;
    for (qsizetype i = lines; i > 0; i -= i & -i)
        sum += m_tree[size_t(i)];
    return sum;
}

qsizetype DisplayRows::firstRowOf(qsizetype line) const
{
    return m_uniform ? line : qsizetype(treePrefix(line));
}

qsizetype DisplayRows::rowsIn(qsizetype line) const
{
    return m_uniform ? 1 : qsizetype(m_rows[size_t(line)] & ~measuredBit);
}

bool DisplayRows::isMeasured(qsizetype line) const
{
    return m_uniform || (m_rows[size_t(line)] & measuredBit);
}

DisplayRows::Place DisplayRows::placeOfRow(qsizetype row) const
{
    row = std::clamp<qsizetype>(row, 0, std::max<qsizetype>(m_totalRows - 1, 0));
    if (m_uniform)
        return {std::min(row, std::max<qsizetype>(m_lineCount - 1, 0)), 0};
    // The last line whose first row is at or before row: down the tree, taking every
    // node that still fits.
    const qsizetype size = qsizetype(m_tree.size()) - 1;
    qsizetype line = 0;
    qint64 before = 0;
    for (qsizetype step = std::bit_floor(size_t(std::max<qsizetype>(size, 1))); step > 0; step >>= 1) {
        const qsizetype next = line + step;
        if (next <= size && before + m_tree[size_t(next)] <= row) {
            line = next;
            before += m_tree[size_t(next)];
        }
    }
    line = std::min(line, size - 1);
    return {line, row - qsizetype(treePrefix(line))};
}

void DisplayRows::setRows(qsizetype line, qsizetype rows, bool measured)
{
    const quint32 old = m_rows[size_t(line)];
    const qsizetype oldRows = qsizetype(old & ~measuredBit);
    if (measured && !(old & measuredBit))
        --m_unmeasured;
    m_rows[size_t(line)] = quint32(rows) | (measured ? measuredBit : 0);
    if (rows != oldRows) {
        treeAdd(line, rows - oldRows);
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
