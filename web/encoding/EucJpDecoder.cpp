#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// EUC-JP: pairs index JIS X 0208, 8E brings a half-width katakana, 8F a JIS X 0212 pair.
class EucJp
{
public:
    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_lead == 0x00)
            copyAscii(ioQueue, output);
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
            char32_t codePoint = 0;
            if (inRange(lead, 0xA1, 0xFE) && inRange(byte, 0xA1, 0xFE)) {
                const int pointer = (lead - 0xA1) * 94 + byte - 0xA1;
                codePoint = m_jis0212 ? indexCodePoint(Index::jis0212, pointer) : indexCodePoint(Index::jis0208, pointer);
            }
            m_jis0212 = false;
            if (codePoint != 0)
                return codePoint;
            if (isAscii(byte))
                ioQueue.restore(byte);
            return error;
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
    int m_lead = 0x00;
    bool m_jis0212 = false;
};

} // namespace

std::unique_ptr<Decoder> makeEucJpDecoder()
{
    return std::make_unique<HandlerDecoder<EucJp>>();
}

} // namespace Encoding
