#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// EUC-KR as the web reads it, which is Windows' extended Korean: a lead byte and a
// trail byte.
class EucKr
{
public:
    static bool isLead(int byte) { return inRange(byte, 0x81, 0xFE); }

    // A lead and the byte after it: the code point, or 0 (null).
    static char32_t codePointOfPair(int lead, int byte)
    {
        int pointer = -1;
        if (inRange(byte, 0x41, 0xFE))
            pointer = (lead - 0x81) * 190 + (byte - 0x41);
        return indexCodePoint(Index::eucKr, pointer);
    }

    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_lead == 0x00)
            decodeAsciiAndPairs<EucKr>(ioQueue, output);
    }

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        if (byte == endOfQueue && m_lead != 0x00) {
            m_lead = 0x00;
            return error;
        }
        if (byte == endOfQueue)
            return finished;
        if (m_lead != 0x00) {
            const int lead = m_lead;
            m_lead = 0x00;
            if (const char32_t codePoint = codePointOfPair(lead, byte))
                return codePoint;
            if (isAscii(byte))
                ioQueue.restore(byte);
            return error;
        }
        if (isAscii(byte))
            return char32_t(byte);
        if (isLead(byte)) {
            m_lead = byte;
            return continueDecoding;
        }
        return error;
    }

private:
    int m_lead = 0x00;
};

} // namespace

std::unique_ptr<Decoder> makeEucKrDecoder()
{
    return std::make_unique<HandlerDecoder<EucKr>>();
}

} // namespace Encoding
