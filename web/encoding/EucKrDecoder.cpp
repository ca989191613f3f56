#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

namespace Encoding {

namespace {

// EUC-KR as the web reads it, which is Windows' extended Korean: a lead byte and a
// trail byte.
struct EucKr
{
    static bool isLead(int byte) { return inRange(byte, 0x81, 0xFE); }

    // A lead and the byte after it: the code point, or 0 (null).
    static char32_t codePointOfPair(int lead, int byte)
    {
        int pointer = -1;
        if (inRange(byte, 0x41, 0xFE))
            pointer = (lead - 0x81) * 190 + (byte - 0x41);
        return indexCodePoint(Index::eucKr, pointer);
    }

    static char32_t singleByte(int) { return 0; }
};

} // namespace

std::unique_ptr<Decoder> makeEucKrDecoder()
{
    return std::make_unique<HandlerDecoder<LeadAndTrailHandler<EucKr>>>();
}

} // namespace Encoding
