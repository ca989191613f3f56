#include "Decoders.h"

#include "DecoderLoop.h"

namespace Encoding {

namespace {

// For encodings that are too dangerous to read (ISO-2022-KR, HZ and their kin): the
// whole stream becomes one U+FFFD, and an empty stream nothing.
class Replacement
{
public:
    void fastPath(IoQueue &, Output &) {}

    char32_t handle(int byte, IoQueue &)
    {
        if (byte == endOfQueue)
            return finished;
        if (!m_errorReturned) {
            m_errorReturned = true;
            return error;
        }
        return finished;
    }

private:
    bool m_errorReturned = false;
};

} // namespace

std::unique_ptr<Decoder> makeReplacementDecoder()
{
    return std::make_unique<HandlerDecoder<Replacement>>();
}

} // namespace Encoding
