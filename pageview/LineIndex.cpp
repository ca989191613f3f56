#include "LineIndex.h"

#include <algorithm>

void LineIndex::reset(QStringView document)
{
    m_document = document;
    m_starts.clear();
    m_scanned = 0;
    m_nextLf = m_nextCr = -1;
    m_longestLine = 0;
    m_complete = false;
    m_starts.push_back(0);
}

qsizetype LineIndex::nextLineStart(qsizetype line) const
{
    return line + 1 < qsizetype(m_starts.size()) ? m_starts[size_t(line + 1)] : m_document.size();
}

qsizetype LineIndex::lineEnd(qsizetype line) const
{
    const qsizetype start = lineStart(line);
    qsizetype end = nextLineStart(line);
    if (end > start && m_document[end - 1] == u'\n')
        --end;
    if (end > start && m_document[end - 1] == u'\r')
        --end;
    return end;
}

qsizetype LineIndex::lineOf(qsizetype offset) const
{
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    return std::clamp<qsizetype>(qsizetype(it - m_starts.begin()) - 1, 0, std::max<qsizetype>(lineCount() - 1, 0));
}

bool LineIndex::extend(qsizetype budget)
{
    const qsizetype size = m_document.size();
    const qsizetype stop = std::min(size, m_scanned + std::max<qsizetype>(budget, 1));
    while (!m_complete && m_scanned <= stop) {
        const qsizetype start = m_scanned;
        // One search for each kind of line break, kept until it is passed.
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
        m_longestLine = std::max(m_longestLine, end - start);
        if (end == size) {
            m_scanned = size;
            m_complete = true;
            break;
        }
        const bool crlf = m_document[end] == u'\r' && end + 1 < size && m_document[end + 1] == u'\n';
        m_scanned = end + (crlf ? 2 : 1);
        // The next line starts here, even an empty last one after a final line break.
        m_starts.push_back(m_scanned);
    }
    return m_complete;
}

void LineIndex::extendTo(qsizetype offset)
{
    while (!m_complete && m_scanned <= offset)
        extend(offset - m_scanned + 1);
}
