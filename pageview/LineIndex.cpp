#include "LineIndex.h"

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Where the next line break (LF or CR) is at or after from, or text's end: one pass
// over the text for both, eight characters at a time where the processor can, since
// a huge page is read whole once.
qsizetype nextLineBreak(QStringView text, qsizetype from)
{
    const char16_t *data = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype size = text.size();
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i cr = _mm_set1_epi16(u'\r');
    for (; i + 8 <= size; i += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(chars, lf), _mm_cmpeq_epi16(chars, cr)));
        if (found)
            return i + std::countr_zero(unsigned(found)) / 2;
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == u'\n' || data[i] == u'\r')
            return i;
    }
    return size;
}

} // namespace

void LineIndex::reset(QStringView document)
{
    m_document = document;
    m_starts.clear();
    m_scanned = 0;
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
        const qsizetype end = nextLineBreak(m_document, start);
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
