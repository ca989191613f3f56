#pragma once

// What every decoder shares: the queue of bytes its handler reads, the text it writes,
// and the loop that feeds one to the other. Each encoding's handler is its algorithm
// from the Encoding Standard, one byte at a time, with the standard's names.

#include "Decoder.h"

#include <QChar>
#include <QString>

#include <cstddef>
#include <cstring>
#include <memory>
#include <initializer_list>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Encoding {

// What a handler returns for a byte: a code point, or one of these. Errors become
// U+FFFD: a page is always shown, never refused.
constexpr char32_t error = 0xFFFD;
constexpr char32_t continueDecoding = 0xFFFFFFFF;
constexpr char32_t finished = 0xFFFFFFFE;

// Two code points that both lie in the BMP, returned as one result (Big5 has four such
// pointers).
constexpr char32_t twoCodePoints(char16_t first, char16_t second)
{
    return 0x80000000u | (char32_t(first) << 16) | second;
}

// The byte a handler sees once the queue is empty and the stream has ended.
constexpr int endOfQueue = -1;

constexpr bool isAscii(int byte)
{
    return byte >= 0x00 && byte <= 0x7F;
}

constexpr bool inRange(int byte, int low, int high)
{
    return byte >= low && byte <= high;
}

// The index code point for pointer, or 0 (null) where the index has none; a null
// pointer is -1.
template <typename CodeUnit, std::size_t size>
constexpr char32_t indexCodePoint(const CodeUnit (&index)[size], int pointer)
{
    return static_cast<unsigned>(pointer) < size ? char32_t(index[pointer]) : 0;
}

// The bytes a handler reads: the piece that arrived, behind the few bytes the algorithm
// put back in front of it. Put-back bytes are always read before the piece ends, so
// nothing but the handler's own state crosses from one piece to the next.
class IoQueue
{
public:
    explicit IoQueue(QByteArrayView piece)
        : m_next(reinterpret_cast<const unsigned char *>(piece.data())), m_end(m_next + piece.size())
    {
    }

    bool isEmpty() const { return m_prependedCount == 0 && m_next == m_end; }
    int read() { return m_prependedCount != 0 ? m_prepended[--m_prependedCount] : *m_next++; }

    // "Prepend to ioQueue": these bytes are read next, in this order.
    void prepend(std::initializer_list<int> bytes)
    {
        Q_ASSERT(m_prependedCount + bytes.size() <= sizeof m_prepended);
        for (auto byte = bytes.end(); byte != bytes.begin();)
            m_prepended[m_prependedCount++] = static_cast<unsigned char>(*--byte);
    }
    void restore(int byte) { prepend({byte}); }

    // The fast paths read the piece itself, and only while nothing is put back.
    bool hasPrepended() const { return m_prependedCount != 0; }
    const unsigned char *&next() { return m_next; }
    const unsigned char *end() const { return m_end; }

private:
    const unsigned char *m_next;
    const unsigned char *m_end;
    unsigned char m_prepended[4];
    unsigned m_prependedCount = 0;
};

// The text of one piece, written straight into the caller's string: grown once by the
// most the piece can give, cut back to what it gave when done.
class Output
{
public:
    Output(QString &out, qsizetype most) : m_out(out)
    {
        const qsizetype start = out.size();
        out.resize(start + most);
        m_begin = reinterpret_cast<char16_t *>(out.data());
        m_next = m_begin + start;
        m_limit = m_next + most;
    }
    ~Output() { m_out.truncate(m_next - m_begin); }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    void put(char32_t result)
    {
        if (result < 0x10000) {
            *m_next++ = char16_t(result);
        } else if (result <= 0x10FFFF) {
            *m_next++ = QChar::highSurrogate(result);
            *m_next++ = QChar::lowSurrogate(result);
        } else {
            *m_next++ = char16_t((result >> 16) & 0x7FFF);
            *m_next++ = char16_t(result);
        }
        Q_ASSERT(m_next <= m_limit);
    }

    char16_t *&next() { return m_next; }

private:
    QString &m_out;
    char16_t *m_begin;
    char16_t *m_next;
    char16_t *m_limit;
};

// Widens the run of ASCII bytes at the queue's front, many at a time where it can: the
// markup that makes up most of any page.
inline void copyAscii(IoQueue &ioQueue, Output &output)
{
    const unsigned char *&p = ioQueue.next();
    const unsigned char *const end = ioQueue.end();
    char16_t *&o = output.next();
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        if (_mm_movemask_epi8(bytes) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 8), _mm_unpackhi_epi8(bytes, zero));
        p += 16;
        o += 16;
    }
#else
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        if (word & 0x8080808080808080ull)
            break;
        for (int i = 0; i < 8; ++i)
            o[i] = p[i];
        p += 8;
        o += 8;
    }
#endif
    while (p != end && *p < 0x80)
        *o++ = *p++;
}

// Every pair's character at once, worked out from the encoding's own codePointOfPair()
// the first time it is needed: the fast path then reads one entry where the algorithm
// does its pointer arithmetic and two index lookups. Pairs beyond the basic plane, or
// that give two code points, or none, are 0 here and go the algorithm's way.
template <typename Pair>
const char16_t *pairTable()
{
    static const std::unique_ptr<char16_t[]> table = [] {
        auto t = std::make_unique<char16_t[]>(128 * 192);
        for (int lead = 0x80; lead <= 0xFF; ++lead) {
            if (!Pair::isLead(lead))
                continue;
            for (int trail = 0x40; trail <= 0xFF; ++trail) {
                const char32_t codePoint = Pair::codePointOfPair(lead, trail);
                if (codePoint < 0xD800 || (codePoint >= 0xE000 && codePoint < 0x10000))
                    t[(lead - 0x80) * 192 + (trail - 0x40)] = char16_t(codePoint);
            }
        }
        return t;
    }();
    return table.get();
}

// The double-byte encodings' fast path: ASCII runs, and pairs that lie whole in the
// piece and give a code point, by the handler's own isLead() and codePointOfPair().
// Anything else (an error, a pair cut by the end of the piece) is left to handle().
template <typename Handler>
void decodeAsciiAndPairs(IoQueue &ioQueue, Output &output)
{
    const char16_t *const table = pairTable<Handler>();
    const unsigned char *&p = ioQueue.next();
    const unsigned char *const end = ioQueue.end();
    char16_t *&o = output.next();
    while (true) {
        copyAscii(ioQueue, output);
        // A run of pairs, as text in these scripts mostly is.
        while (end - p >= 2 && Handler::isLead(p[0])) {
            const char16_t c = p[1] >= 0x40 ? table[(p[0] - 0x80) * 192 + (p[1] - 0x40)] : 0;
            if (c != 0) {
                *o++ = c;
            } else {
                const char32_t codePoint = Handler::codePointOfPair(p[0], p[1]);
                if (codePoint == 0)
                    return;
                output.put(codePoint);
            }
            p += 2;
        }
        if (p == end || *p >= 0x80)
            return;
    }
}

// What a lead byte and its trail decode to: the pair's code point (0 when the pair is
// no pointer into the index), or an error. An ASCII byte that ends a broken pair is
// read again, not swallowed.
inline char32_t pairOrError(char32_t codePoint, int trail, IoQueue &ioQueue)
{
    if (codePoint != 0)
        return codePoint;
    if (isAscii(trail))
        ioQueue.restore(trail);
    return error;
}

// The shape that Big5, EUC-KR and Shift_JIS share: ASCII bytes, and a lead byte whose
// pair with the next byte is a pointer into the encoding's index. Pair is the
// encoding: isLead(), codePointOfPair(), and singleByte() for what a byte that is
// neither ASCII nor a lead decodes to on its own (0: an error).
template <typename Pair>
class LeadAndTrailHandler
{
public:
    void fastPath(IoQueue &ioQueue, Output &output)
    {
        if (m_lead == 0x00)
            decodeAsciiAndPairs<Pair>(ioQueue, output);
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
            return pairOrError(Pair::codePointOfPair(lead, byte), byte, ioQueue);
        }
        if (isAscii(byte))
            return char32_t(byte);
        if (Pair::isLead(byte)) {
            m_lead = byte;
            return continueDecoding;
        }
        const char32_t single = Pair::singleByte(byte);
        return single != 0 ? single : error;
    }

private:
    int m_lead = 0x00;
};

// A decoder made of a handler: the standard's "process a queue", one piece at a time.
// The handler has handle(byte, ioQueue) and fastPath(ioQueue, output), which may take
// whatever run it can decode at once while its state is clear.
template <typename Handler>
class HandlerDecoder final : public Decoder
{
public:
    template <typename... Args>
    explicit HandlerDecoder(Args &&...args) : m_handler(std::forward<Args>(args)...)
    {
    }

    void decode(QByteArrayView bytes, bool last, QString &out) override
    {
        // A byte gives at most one code unit; the slack is for what the state carried
        // over from the last piece, and for the error at the end.
        Output output(out, bytes.size() + 8);
        IoQueue ioQueue(bytes);
        while (true) {
            if (!ioQueue.hasPrepended())
                m_handler.fastPath(ioQueue, output);
            int byte = endOfQueue;
            if (!ioQueue.isEmpty())
                byte = ioQueue.read();
            else if (!last)
                return;
            const char32_t result = m_handler.handle(byte, ioQueue);
            if (result == finished)
                return;
            if (result != continueDecoding)
                output.put(result);
        }
    }

private:
    Handler m_handler;
};

} // namespace Encoding
