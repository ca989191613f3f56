#include "RowIndex.h"

#include <algorithm>

void RowIndex::reset(QStringView document)
{
    m_document = document;
    m_rowStarts.clear();
    m_continuations.clear();
    m_scanned = 0;
    m_nextLf = m_nextCr = -1;
    m_longestRow = 0;
    m_complete = false;
    m_rowStarts.push_back(0);
}

qsizetype RowIndex::rowLength(qsizetype row) const
{
    const qsizetype start = rowStart(row);
    qsizetype end = row + 1 < qsizetype(m_rowStarts.size()) ? m_rowStarts[size_t(row + 1)] : m_document.size();
    // The last row of a line ends before its line break.
    if (end > start && m_document[end - 1] == u'\n')
        --end;
    if (end > start && m_document[end - 1] == u'\r')
        --end;
    return end - start;
}

qsizetype RowIndex::rowOf(qsizetype offset) const
{
    const auto it = std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), offset);
    return std::clamp<qsizetype>(qsizetype(it - m_rowStarts.begin()) - 1, 0, std::max<qsizetype>(rowCount() - 1, 0));
}

void RowIndex::addLine(qsizetype start, qsizetype end)
{
    // The line's first row was pushed when its start became known.
    m_longestRow = std::max(m_longestRow, std::min(end - start, maxRowLength));
    while (end - start > maxRowLength) {
        qsizetype stop = start + maxRowLength;
        if (m_document[stop - 1].isHighSurrogate())
            --stop;
        m_continuations.push_back(rowCount());
        m_rowStarts.push_back(stop);
        start = stop;
    }
}

bool RowIndex::extend(qsizetype budget)
{
    const qsizetype size = m_document.size();
    const qsizetype stop = std::min(size, m_scanned + std::max<qsizetype>(budget, 1));
    while (!m_complete && m_scanned <= stop) {
        const qsizetype start = m_scanned;
        if (m_nextLf < start) {
            m_nextLf = m_document.indexOf(u'\n', start);
            if (m_nextLf < 0)
                m_nextLf = size;
        }
        if (m_nextCr < start) {
            m_nextCr = m_document.indexOf(u'\r', start);
            if (m_nextCr < 0)
                m_nextCr = size;
        }
        const qsizetype end = std::min(m_nextLf, m_nextCr);
        addLine(start, end);
        if (end == size) {
            m_scanned = size;
            m_complete = true;
            break;
        }
        const bool crlf = m_document[end] == u'\r' && end + 1 < size && m_document[end + 1] == u'\n';
        m_scanned = end + (crlf ? 2 : 1);
        // The next line starts here, even an empty last one after a final line break.
        m_rowStarts.push_back(m_scanned);
    }
    return m_complete;
}

void RowIndex::extendTo(qsizetype offset)
{
    while (!m_complete && m_scanned <= offset)
        extend(offset - m_scanned + 1);
}

qsizetype RowIndex::continuationsUpTo(qsizetype row) const
{
    return qsizetype(std::upper_bound(m_continuations.begin(), m_continuations.end(), row) - m_continuations.begin());
}

bool RowIndex::startsLine(qsizetype row) const
{
    return !std::binary_search(m_continuations.begin(), m_continuations.end(), row);
}

qsizetype RowIndex::lineOfRow(qsizetype row) const
{
    return row - continuationsUpTo(row);
}

qsizetype RowIndex::rowOfLine(qsizetype line) const
{
    // The line's row is the line's number plus the continuation rows before it.
    qsizetype row = line;
    for (qsizetype before = continuationsUpTo(row); line + before != row; before = continuationsUpTo(row))
        row = line + before;
    return std::min(row, rowCount() - 1);
}
