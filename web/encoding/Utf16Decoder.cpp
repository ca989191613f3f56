#include "Decoders.h"

#include "DecoderLoop.h"

namespace Encoding {

namespace {

constexpr bool isLeadSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

constexpr bool isTrailSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16BE and UTF-16LE: a surrogate without its partner and an odd byte at the end are
// errors, so the text never holds half a character.
class Utf16
{
public:
    explicit Utf16(bool isBigEndian) : m_isBigEndian(isBigEndian) {}

    // Between characters, whole code units that are no surrogate go straight across.
    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_leadByte >= 0 || m_leadSurrogate != 0)
            return;
        const unsigned char *&p = ioQueue.next();
        char16_t *&o = output.next();
        for (const unsigned char *const end = ioQueue.end(); end - p >= 2; p += 2) {
            const char16_t unit = m_isBigEndian ? char16_t((p[0] << 8) | p[1]) : char16_t((p[1] << 8) | p[0]);
            if (QChar::isSurrogate(unit))
                return;
            *o++ = unit;
        }
    }

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        if (byte == endOfQueue && (m_leadByte >= 0 || m_leadSurrogate != 0)) {
            m_leadByte = -1;
            m_leadSurrogate = 0;
            return error;
        }
        if (byte == endOfQueue)
            return finished;
        if (m_leadByte < 0) {
            m_leadByte = byte;
            return continueDecoding;
        }
        const char32_t codeUnit = m_isBigEndian ? (m_leadByte << 8) + byte : (byte << 8) + m_leadByte;
        m_leadByte = -1;
        if (m_leadSurrogate != 0) {
            const char32_t leadSurrogate = m_leadSurrogate;
            m_leadSurrogate = 0;
            if (isTrailSurrogate(codeUnit))
                return 0x10000 + ((leadSurrogate - 0xD800) << 10) + (codeUnit - 0xDC00);
            const int byte1 = codeUnit >> 8;
            const int byte2 = codeUnit & 0x00FF;
            if (m_isBigEndian)
                ioQueue.prepend({byte1, byte2});
            else
                ioQueue.prepend({byte2, byte1});
            return error;
        }
        if (isLeadSurrogate(codeUnit)) {
            m_leadSurrogate = codeUnit;
            return continueDecoding;
        }
        if (isTrailSurrogate(codeUnit))
            return error;
        return codeUnit;
    }

private:
    bool m_isBigEndian;
    int m_leadByte = -1; // null
    char32_t m_leadSurrogate = 0; // null
};

} // namespace

std::unique_ptr<Decoder> makeUtf16Decoder(bool bigEndian)
{
    return std::make_unique<HandlerDecoder<Utf16>>(bigEndian);
}

} // namespace Encoding
