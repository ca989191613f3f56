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
    // An empty line is told by its first character: on a page of nothing but line
    // breaks, a search eight characters at a time would cost more than the line.
    if (i < size && (data[i] == u'\n' || data[i] == u'\r'))
        return i;
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

// Where the line after the line break at end starts: CR LF is one break.
qsizetype afterBreak(QStringView text, qsizetype end)
{
    const bool crlf = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
    return end + (crlf ? 2 : 1);
}

// What a vector reserved for growth and did not use goes back, when that is much.
// Giving it back copies what is kept: for a moment more memory than keeping it, on a
// huge page the most the index ever takes.
template<typename T>
void giveBackUnused(std::vector<T> &v)
{
    if (v.capacity() - v.size() > v.capacity() / 4)
        v.shrink_to_fit();
}

} // namespace

void LineIndex::reset(QStringView document)
{
    Q_ASSERT(document.size() < qsizetype(wideBit));
    m_document = document;
    // The storage of a huge document before goes back at once.
    m_blockStarts = {};
    m_blockSlots = {};
    m_narrow = {};
    m_wide = {};
    m_pending[0] = 0;
    m_pendingCount = 1;
    m_readBlock = -1;
    m_scanned = 0;
    m_longestLine = 0;
    m_complete = false;
}

void LineIndex::addStart(qsizetype start)
{
    if (m_pendingCount == blockLines) {
        finishBlock(start);
        m_pendingCount = 0;
    }
    m_pending[size_t(m_pendingCount++)] = start;
}

void LineIndex::finishBlock(qsizetype next)
{
    const qsizetype base = m_pending[0];
    m_blockStarts.push_back(quint32(base));
    if (next - base <= readBlockLength) {
        m_blockSlots.push_back(readBlock);
    } else if (m_pending[blockLines - 1] - base <= 0xFFFF) {
        m_blockSlots.push_back(quint32(m_narrow.size() / (blockLines - 1)));
        for (qsizetype i = 1; i < blockLines; ++i)
            m_narrow.push_back(quint16(m_pending[size_t(i)] - base));
    } else {
        m_blockSlots.push_back(quint32(m_wide.size() / (blockLines - 1)) | wideBit);
        for (qsizetype i = 1; i < blockLines; ++i)
            m_wide.push_back(quint32(m_pending[size_t(i)] - base));
    }
}

qsizetype LineIndex::readStart(qsizetype block, qsizetype index) const
{
    // Read on from the last place found in this block, if it is not past the line.
    if (m_readBlock != block || m_readIndex > index) {
        m_readBlock = block;
        m_readIndex = 0;
        m_readOffset = qsizetype(m_blockStarts[size_t(block)]);
    }
    for (; m_readIndex < index; ++m_readIndex)
        m_readOffset = afterBreak(m_document, nextLineBreak(m_document, m_readOffset));
    return m_readOffset;
}

qsizetype LineIndex::startInBlock(qsizetype block, qsizetype index) const
{
    if (block == qsizetype(m_blockStarts.size()))
        return m_pending[size_t(index)];
    const qsizetype base = qsizetype(m_blockStarts[size_t(block)]);
    if (index == 0)
        return base;
    const quint32 slot = m_blockSlots[size_t(block)];
    if (slot == readBlock)
        return readStart(block, index);
    const size_t at = size_t(slot & ~wideBit) * (blockLines - 1) + size_t(index - 1);
    return base + qsizetype(slot & wideBit ? m_wide[at] : m_narrow[at]);
}

qsizetype LineIndex::lineStart(qsizetype line) const
{
    return startInBlock(line / blockLines, line % blockLines);
}

qsizetype LineIndex::nextLineStart(qsizetype line) const
{
    return line + 1 < knownStarts() ? lineStart(line + 1) : m_document.size();
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
    // The block, then the line within it.
    const auto blockAfter = std::upper_bound(m_blockStarts.begin(), m_blockStarts.end(), offset);
    qsizetype block = qsizetype(blockAfter - m_blockStarts.begin()) - 1;
    if (offset >= m_pending[0])
        block = qsizetype(m_blockStarts.size());
    qsizetype line = 0;
    if (block >= 0) {
        const qsizetype lines = block == qsizetype(m_blockStarts.size()) ? m_pendingCount : blockLines;
        qsizetype index = 0;
        while (index + 1 < lines && startInBlock(block, index + 1) <= offset)
            ++index;
        line = block * blockLines + index;
    }
    return std::clamp<qsizetype>(line, 0, std::max<qsizetype>(lineCount() - 1, 0));
}

qsizetype LineIndex::firstLineLongerThan(qsizetype length, qsizetype from, qsizetype end) const
{
    end = std::min(end, lineCount());
    qsizetype line = from;
    while (line < end) {
        const qsizetype block = line / blockLines;
        if (line % blockLines == 0 && block < qsizetype(m_blockStarts.size()) && line + blockLines <= end) {
            // No line is longer than its block.
            const qsizetype next = block + 1 < qsizetype(m_blockStarts.size()) ? qsizetype(m_blockStarts[size_t(block + 1)]) : m_pending[0];
            if (next - qsizetype(m_blockStarts[size_t(block)]) <= length) {
                line += blockLines;
                continue;
            }
        }
        const qsizetype start = lineStart(line);
        if (nextLineStart(line) - start > length && lineEnd(line) - start > length)
            return line;
        ++line;
    }
    return end;
}

qsizetype LineIndex::storageBytes() const
{
    return qsizetype(sizeof(*this) + m_blockStarts.capacity() * sizeof(quint32) + m_blockSlots.capacity() * sizeof(quint32)
                     + m_narrow.capacity() * sizeof(quint16) + m_wide.capacity() * sizeof(quint32));
}

bool LineIndex::extend(qsizetype budget, qsizetype lineBudget)
{
    const qsizetype size = m_document.size();
    const qsizetype stop = std::min(size, m_scanned + std::max<qsizetype>(budget, 1));
    for (qsizetype lines = std::max<qsizetype>(lineBudget, 1); !m_complete && m_scanned <= stop && lines > 0; --lines) {
        const qsizetype start = m_scanned;
        const qsizetype end = nextLineBreak(m_document, start);
        m_longestLine = std::max(m_longestLine, end - start);
        if (end == size) {
            m_scanned = size;
            m_complete = true;
            giveBackUnused(m_blockStarts);
            giveBackUnused(m_blockSlots);
            giveBackUnused(m_narrow);
            giveBackUnused(m_wide);
            break;
        }
        m_scanned = afterBreak(m_document, end);
        // The next line starts here, even an empty last one after a final line break.
        addStart(m_scanned);
    }
    return m_complete;
}

void LineIndex::extendTo(qsizetype offset)
{
    while (!m_complete && m_scanned <= offset)
        extend(offset - m_scanned + 1);
}
