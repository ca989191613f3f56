#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// Shift_JIS as Windows extends it: single bytes, half-width katakana, and pairs that
// index JIS X 0208 (with the NEC and IBM rows) or the user-defined area.
struct ShiftJis
{
    static bool isLead(int byte) { return inRange(byte, 0x81, 0x9F) || inRange(byte, 0xE0, 0xFC); }

    // A lead and the byte after it: the code point, or 0 (null).
    static char32_t codePointOfPair(int lead, int byte)
    {
        int pointer = -1;
        const int offset = byte < 0x7F ? 0x40 : 0x41;
        const int leadOffset = lead < 0xA0 ? 0x81 : 0xC1;
        // 0x40 to 0x7E or 0x80 to 0xFC, as one test: trails on both sides of 0x7F are
        // equally common, and two tests cost a mispredicted branch per character.
        if (inRange(byte, 0x40, 0xFC) && byte != 0x7F)
            pointer = (lead - leadOffset) * 188 + byte - offset;
        if (inRange(pointer, 8836, 10715))
            return 0xE000 - 8836 + pointer;
        return indexCodePoint(Index::jis0208, pointer);
    }

    // 0x80 stands for itself; 0xA1 to 0xDF are the half-width katakana.
    static char32_t singleByte(int byte)
    {
        if (byte == 0x80)
            return 0x80;
        if (inRange(byte, 0xA1, 0xDF))
            return 0xFF61 - 0xA1 + byte;
        return 0;
    }
};

} // namespace

std::unique_ptr<Decoder> makeShiftJisDecoder()
{
    return std::make_unique<HandlerDecoder<LeadAndTrailHandler<ShiftJis>>>();
}

} // namespace Encoding
