#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// EUC-JP: pairs index JIS X 0208, 8E brings a half-width katakana, 8F a JIS X 0212 pair.
class EucJp
{
public:
    // The JIS X 0208 pairs, for the fast path; 8E and 8F go through handle().
    static bool isLead(int byte) { return inRange(byte, 0xA1, 0xFE); }
    static char32_t codePointOfPair(int lead, int byte) { return codePointIn(Index::jis0208, lead, byte); }

    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_lead == 0x00)
            decodeAsciiAndPairs<EucJp>(ioQueue, output);
    }

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        if (byte == endOfQueue && m_lead != 0x00) {
            m_lead = 0x00;
            return error;
        }
        if (byte == endOfQueue)
            return finished;
        if (m_lead == 0x8E && inRange(byte, 0xA1, 0xDF)) {
            m_lead = 0x00;
            return 0xFF61 - 0xA1 + byte;
        }
        if (m_lead == 0x8F && inRange(byte, 0xA1, 0xFE)) {
            m_jis0212 = true;
            m_lead = byte;
            return continueDecoding;
        }
        if (m_lead != 0x00) {
            const int lead = m_lead;
            m_lead = 0x00;
            const char32_t codePoint = m_jis0212 ? codePointIn(Index::jis0212, lead, byte) : codePointIn(Index::jis0208, lead, byte);
            m_jis0212 = false;
            return pairOrError(codePoint, byte, ioQueue);
        }
        if (isAscii(byte))
            return char32_t(byte);
        if (byte == 0x8E || byte == 0x8F || inRange(byte, 0xA1, 0xFE)) {
            m_lead = byte;
            return continueDecoding;
        }
        return error;
    }

private:
    template <std::size_t size>
    static char32_t codePointIn(const char16_t (&index)[size], int lead, int byte)
    {
        if (inRange(lead, 0xA1, 0xFE) && inRange(byte, 0xA1, 0xFE))
            return indexCodePoint(index, (lead - 0xA1) * 94 + byte - 0xA1);
        return 0;
    }

    int m_lead = 0x00;
    bool m_jis0212 = false;
};

} // namespace

std::unique_ptr<Decoder> makeEucJpDecoder()
{
    return std::make_unique<HandlerDecoder<EucJp>>();
}

} // namespace Encoding
