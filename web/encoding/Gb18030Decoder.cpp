#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

#include <algorithm>
#include <iterator>

namespace Encoding {

namespace {

// The four-byte area: 207 runs of consecutive code points instead of a million rows.
char32_t indexGb18030RangesCodePoint(int pointer)
{
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575)
        return 0;
    if (pointer == 7457)
        return 0xE7C7;
    const auto *last = std::upper_bound(std::begin(Index::gb18030RangePointers), std::end(Index::gb18030RangePointers),
                                        unsigned(pointer)) - 1;
    const unsigned offset = *last;
    const char32_t codePointOffset = Index::gb18030RangeCodePoints[last - Index::gb18030RangePointers];
    return codePointOffset + pointer - offset;
}

// gb18030, which also reads GBK: one, two or four bytes (lead, digit, lead, digit).
class Gb18030
{
public:
    static bool isLead(int byte) { return inRange(byte, 0x81, 0xFE); }

    // A first byte and a second that is no digit: the two-byte code point, or 0 (null).
    static char32_t codePointOfPair(int lead, int byte)
    {
        int pointer = -1;
        const int offset = byte < 0x7F ? 0x40 : 0x41;
        if (inRange(byte, 0x40, 0x7E) || inRange(byte, 0x80, 0xFE))
            pointer = (lead - 0x81) * 190 + (byte - offset);
        return indexCodePoint(Index::gb18030, pointer);
    }

    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_first == 0x00)
            decodeAsciiAndPairs<Gb18030>(ioQueue, output);
    }

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        if (byte == endOfQueue && m_first == 0x00 && m_second == 0x00 && m_third == 0x00)
            return finished;
        if (byte == endOfQueue) {
            m_first = m_second = m_third = 0x00;
            return error;
        }
        if (m_third != 0x00) {
            if (!inRange(byte, 0x30, 0x39)) {
                ioQueue.prepend({m_second, m_third, byte});
                m_first = m_second = m_third = 0x00;
                return error;
            }
            const char32_t codePoint = indexGb18030RangesCodePoint(((m_first - 0x81) * (10 * 126 * 10))
                                                                   + ((m_second - 0x30) * (10 * 126))
                                                                   + ((m_third - 0x81) * 10) + byte - 0x30);
            m_first = m_second = m_third = 0x00;
            if (codePoint == 0)
                return error;
            return codePoint;
        }
        if (m_second != 0x00) {
            if (inRange(byte, 0x81, 0xFE)) {
                m_third = byte;
                return continueDecoding;
            }
            ioQueue.prepend({m_second, byte});
            m_first = m_second = 0x00;
            return error;
        }
        if (m_first != 0x00) {
            if (inRange(byte, 0x30, 0x39)) {
                m_second = byte;
                return continueDecoding;
            }
            const int lead = m_first;
            m_first = 0x00;
            return pairOrError(codePointOfPair(lead, byte), byte, ioQueue);
        }
        if (isAscii(byte))
            return char32_t(byte);
        if (byte == 0x80)
            return 0x20AC;
        if (isLead(byte)) {
            m_first = byte;
            return continueDecoding;
        }
        return error;
    }

private:
    int m_first = 0x00;
    int m_second = 0x00;
    int m_third = 0x00;
};

} // namespace

std::unique_ptr<Decoder> makeGb18030Decoder()
{
    return std::make_unique<HandlerDecoder<Gb18030>>();
}

} // namespace Encoding
