#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// Big5 with the Hong Kong additions: a lead byte and a trail byte.
struct Big5
{
    static bool isLead(int byte) { return inRange(byte, 0x81, 0xFE); }

    // A lead and the byte after it: the code point (or two), or 0 (null).
    static char32_t codePointOfPair(int lead, int byte)
    {
        int pointer = -1;
        const int offset = byte < 0x7F ? 0x40 : 0x62;
        if (inRange(byte, 0x40, 0x7E) || inRange(byte, 0xA1, 0xFE))
            pointer = (lead - 0x81) * 157 + (byte - offset);
        // A letter with a combining mark that Unicode has no single character for.
        switch (pointer) {
        case 1133:
            return twoCodePoints(0x00CA, 0x0304);
        case 1135:
            return twoCodePoints(0x00CA, 0x030C);
        case 1164:
            return twoCodePoints(0x00EA, 0x0304);
        case 1166:
            return twoCodePoints(0x00EA, 0x030C);
        }
        return indexCodePoint(Index::big5, pointer);
    }

    static char32_t singleByte(int) { return 0; }
};

} // namespace

std::unique_ptr<Decoder> makeBig5Decoder()
{
    return std::make_unique<HandlerDecoder<LeadAndTrailHandler<Big5>>>();
}

} // namespace Encoding
