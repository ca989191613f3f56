#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// Shift_JIS as Windows extends it: single bytes, half-width katakana, and pairs that
// index JIS X 0208 (with the NEC and IBM rows) or the user-defined area.
class ShiftJis
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
        if (m_lead != 0x00) {
            const int lead = m_lead;
            int pointer = -1;
            m_lead = 0x00;
            const int offset = byte < 0x7F ? 0x40 : 0x41;
            const int leadOffset = lead < 0xA0 ? 0x81 : 0xC1;
            if (inRange(byte, 0x40, 0x7E) || inRange(byte, 0x80, 0xFC))
                pointer = (lead - leadOffset) * 188 + byte - offset;
            if (inRange(pointer, 8836, 10715))
                return 0xE000 - 8836 + pointer;
            const char32_t codePoint = indexCodePoint(Index::jis0208, pointer);
            if (codePoint != 0)
                return codePoint;
            if (isAscii(byte))
                ioQueue.restore(byte);
            return error;
        }
        if (isAscii(byte) || byte == 0x80)
            return char32_t(byte);
        if (inRange(byte, 0xA1, 0xDF))
            return 0xFF61 - 0xA1 + byte;
        if (inRange(byte, 0x81, 0x9F) || inRange(byte, 0xE0, 0xFC)) {
            m_lead = byte;
            return continueDecoding;
        }
        return error;
    }

private:
    int m_lead = 0x00;
};

} // namespace

std::unique_ptr<Decoder> makeShiftJisDecoder()
{
    return std::make_unique<HandlerDecoder<ShiftJis>>();
}

} // namespace Encoding
