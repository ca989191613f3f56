#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

#include <optional>

namespace Encoding {

namespace {

// ISO-2022-JP: escape sequences switch between ASCII, JIS X 0201 Roman, half-width
// katakana and JIS X 0208 pairs. An escape that switches and is followed straight away
// by another one is an error: the empty run could hide text.
class Iso2022Jp
{
public:
    void fastPath(IoQueue &, Output &) {}

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        switch (m_decoderState) {
        case State::Ascii:
            if (byte == 0x1B) {
                m_decoderState = State::EscapeStart;
                return continueDecoding;
            }
            if (inRange(byte, 0x00, 0x7F) && byte != 0x0E && byte != 0x0F) {
                m_output = false;
                return char32_t(byte);
            }
            if (byte == endOfQueue)
                return finished;
            m_output = false;
            return error;
        case State::Roman:
            if (byte == 0x1B) {
                m_decoderState = State::EscapeStart;
                return continueDecoding;
            }
            if (byte == 0x5C) {
                m_output = false;
                return 0x00A5;
            }
            if (byte == 0x7E) {
                m_output = false;
                return 0x203E;
            }
            if (inRange(byte, 0x00, 0x7F) && byte != 0x0E && byte != 0x0F) {
                m_output = false;
                return char32_t(byte);
            }
            if (byte == endOfQueue)
                return finished;
            m_output = false;
            return error;
        case State::Katakana:
            if (byte == 0x1B) {
                m_decoderState = State::EscapeStart;
                return continueDecoding;
            }
            if (inRange(byte, 0x21, 0x5F)) {
                m_output = false;
                return 0xFF61 - 0x21 + byte;
            }
            if (byte == endOfQueue)
                return finished;
            m_output = false;
            return error;
        case State::LeadByte:
            if (byte == 0x1B) {
                m_decoderState = State::EscapeStart;
                return continueDecoding;
            }
            if (inRange(byte, 0x21, 0x7E)) {
                m_output = false;
                m_lead = byte;
                m_decoderState = State::TrailByte;
                return continueDecoding;
            }
            if (byte == endOfQueue)
                return finished;
            m_output = false;
            return error;
        case State::TrailByte:
            if (byte == 0x1B) {
                m_decoderState = State::EscapeStart;
                return error;
            }
            m_decoderState = State::LeadByte;
            if (inRange(byte, 0x21, 0x7E)) {
                const char32_t codePoint = indexCodePoint(Index::jis0208, (m_lead - 0x21) * 94 + byte - 0x21);
                return codePoint != 0 ? codePoint : error;
            }
            return error;
        case State::EscapeStart:
            if (byte == 0x24 || byte == 0x28) {
                m_lead = byte;
                m_decoderState = State::Escape;
                return continueDecoding;
            }
            if (byte != endOfQueue)
                ioQueue.restore(byte);
            m_output = false;
            m_decoderState = m_outputState;
            return error;
        case State::Escape:
            return escape(byte, ioQueue);
        }
        Q_UNREACHABLE();
        return error;
    }

private:
    enum class State { Ascii, Roman, Katakana, LeadByte, TrailByte, EscapeStart, Escape };

    char32_t escape(int byte, IoQueue &ioQueue)
    {
        const int lead = m_lead;
        m_lead = 0x00;
        std::optional<State> state;
        if (lead == 0x28 && byte == 0x42)
            state = State::Ascii;
        else if (lead == 0x28 && byte == 0x4A)
            state = State::Roman;
        else if (lead == 0x28 && byte == 0x49)
            state = State::Katakana;
        else if (lead == 0x24 && (byte == 0x40 || byte == 0x42))
            state = State::LeadByte;
        if (state) {
            m_decoderState = m_outputState = *state;
            const bool output = m_output;
            m_output = true;
            return output ? error : continueDecoding;
        }
        if (byte == endOfQueue)
            ioQueue.prepend({lead});
        else
            ioQueue.prepend({lead, byte});
        m_output = false;
        m_decoderState = m_outputState;
        return error;
    }

    State m_decoderState = State::Ascii;
    State m_outputState = State::Ascii;
    int m_lead = 0x00;
    bool m_output = false;
};

} // namespace

std::unique_ptr<Decoder> makeIso2022JpDecoder()
{
    return std::make_unique<HandlerDecoder<Iso2022Jp>>();
}

} // namespace Encoding
