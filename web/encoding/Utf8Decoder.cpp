#include "Decoders.h"

#include "DecoderLoop.h"

namespace Encoding {

namespace {

constexpr bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// UTF-8: one U+FFFD for each maximal piece of a sequence that cannot go on.
class Utf8
{
public:
    // While no sequence is open, well-formed sequences are decoded here in bulk; the
    // first byte that is not one of them goes to handle().
    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_bytesNeeded != 0)
            return;
        const unsigned char *&p = ioQueue.next();
        const unsigned char *const end = ioQueue.end();
        char16_t *&o = output.next();
        while (true) {
            copyAscii(ioQueue, output);
            if (p == end)
                return;
            const unsigned char lead = p[0];
            const qsizetype left = end - p;
            if (inRange(lead, 0xC2, 0xDF) && left >= 2 && isContinuation(p[1])) {
                *o++ = char16_t(((lead & 0x1F) << 6) | (p[1] & 0x3F));
                p += 2;
            } else if (inRange(lead, 0xE0, 0xEF) && left >= 3
                       && inRange(p[1], lead == 0xE0 ? 0xA0 : 0x80, lead == 0xED ? 0x9F : 0xBF)
                       && isContinuation(p[2])) {
                *o++ = char16_t(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
                p += 3;
            } else if (inRange(lead, 0xF0, 0xF4) && left >= 4
                       && inRange(p[1], lead == 0xF0 ? 0x90 : 0x80, lead == 0xF4 ? 0x8F : 0xBF)
                       && isContinuation(p[2]) && isContinuation(p[3])) {
                const char32_t codePoint = ((lead & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
                *o++ = QChar::highSurrogate(codePoint);
                *o++ = QChar::lowSurrogate(codePoint);
                p += 4;
            } else {
                return;
            }
        }
    }

    char32_t handle(int byte, IoQueue &ioQueue)
    {
        if (byte == endOfQueue && m_bytesNeeded != 0) {
            m_bytesNeeded = 0;
            return error;
        }
        if (byte == endOfQueue)
            return finished;
        if (m_bytesNeeded == 0) {
            if (isAscii(byte))
                return char32_t(byte);
            if (inRange(byte, 0xC2, 0xDF)) {
                m_bytesNeeded = 1;
                m_codePoint = byte & 0x1F;
            } else if (inRange(byte, 0xE0, 0xEF)) {
                if (byte == 0xE0)
                    m_lowerBoundary = 0xA0;
                if (byte == 0xED)
                    m_upperBoundary = 0x9F;
                m_bytesNeeded = 2;
                m_codePoint = byte & 0xF;
            } else if (inRange(byte, 0xF0, 0xF4)) {
                if (byte == 0xF0)
                    m_lowerBoundary = 0x90;
                if (byte == 0xF4)
                    m_upperBoundary = 0x8F;
                m_bytesNeeded = 3;
                m_codePoint = byte & 0x7;
            } else {
                return error;
            }
            return continueDecoding;
        }
        if (!inRange(byte, m_lowerBoundary, m_upperBoundary)) {
            m_codePoint = m_bytesNeeded = m_bytesSeen = 0;
            m_lowerBoundary = 0x80;
            m_upperBoundary = 0xBF;
            ioQueue.restore(byte);
            return error;
        }
        m_lowerBoundary = 0x80;
        m_upperBoundary = 0xBF;
        m_codePoint = (m_codePoint << 6) | (byte & 0x3F);
        if (++m_bytesSeen != m_bytesNeeded)
            return continueDecoding;
        const char32_t codePoint = m_codePoint;
        m_codePoint = m_bytesNeeded = m_bytesSeen = 0;
        return codePoint;
    }

private:
    char32_t m_codePoint = 0;
    int m_bytesSeen = 0;
    int m_bytesNeeded = 0;
    int m_lowerBoundary = 0x80;
    int m_upperBoundary = 0xBF;
};

} // namespace

std::unique_ptr<Decoder> makeUtf8Decoder()
{
    return std::make_unique<HandlerDecoder<Utf8>>();
}

} // namespace Encoding
