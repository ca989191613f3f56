#include "DisplayRows.h"

#include "LineIndex.h"

#include <algorithm>
#include <bit>

namespace {

// Row starts kept for the lines used lately, in offsets: a few screens of a huge
// wrapped line, or many short ones.
constexpr qsizetype startsHeldLimit = 1 << 20;

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

QList<qsizetype> DisplayRows::rowStarts(qsizetype line)
{
    const qsizetype lineStart = m_lines->lineStart(line);
    if (m_uniform || (rowsIn(line) == 1 && isMeasured(line)))
        return {lineStart};
    if (const auto found = m_starts.constFind(line); found != m_starts.cend())
        return *found;

    const QStringView text = m_lines->lineText(line);
    QList<qsizetype> starts{lineStart};
    for (qsizetype start = m_rule.breaker(text, 0); start < text.size(); start = m_rule.breaker(text, start))
        starts.append(lineStart + start);
    if (!isMeasured(line))
        setRows(line, starts.size(), true);
    if (m_startsHeld + starts.size() > startsHeldLimit) {
        m_starts.clear();
        m_startsHeld = 0;
    }
    m_starts.insert(line, starts);
    m_startsHeld += starts.size();
    return starts;
}

qsizetype DisplayRows::rowOf(qsizetype offset)
{
    const qsizetype line = m_lines->lineOf(offset);
    const QList<qsizetype> starts = rowStarts(line);
    const qsizetype within = qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
    return firstRowOf(line) + std::max<qsizetype>(within, 0);
}

bool DisplayRows::measure(qsizetype budget)
{
    qsizetype spent = 0;
    while (m_unmeasured > 0 && m_measureFrom < m_lineCount && spent < budget) {
        const qsizetype line = m_measureFrom++;
        if (isMeasured(line))
            continue;
        const QStringView text = m_lines->lineText(line);
        setRows(line, countRows(text), true);
        spent += text.size();
    }
    return m_unmeasured == 0;
}
