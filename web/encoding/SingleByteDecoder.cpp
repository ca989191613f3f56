#include "Decoders.h"

#include "DecoderLoop.h"
#include "EncodingIndexes.h"

#include <array>

namespace Encoding {

namespace {

// A single-byte encoding: ASCII, then a table for the upper half. Every byte stands
// alone, so the whole piece goes through one table of all 256 bytes.
class SingleByte
{
public:
    explicit SingleByte(const std::array<char16_t, 256> &table) : m_table(table) {}

    void fastPath(IoQueue &ioQueue, Output &output)
    {
        const unsigned char *&p = ioQueue.next();
        char16_t *&o = output.next();
        for (const unsigned char *const end = ioQueue.end(); p != end; ++p)
            *o++ = m_table[*p];
    }

    char32_t handle(int byte, IoQueue &)
    {
        if (byte == endOfQueue)
            return finished;
        return m_table[byte];
    }

private:
    std::array<char16_t, 256> m_table;
};

// The table for an encoding whose bytes 0x80 to 0xFF map as upperHalf says; a byte the
// index has no code point for is an error.
template <typename UpperHalf>
std::array<char16_t, 256> tableOf(UpperHalf upperHalf)
{
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 0x80; ++byte)
        table[byte] = char16_t(byte);
    for (int byte = 0x80; byte < 0x100; ++byte) {
        const char16_t codePoint = upperHalf(byte - 0x80);
        table[byte] = codePoint != 0 ? codePoint : char16_t(error);
    }
    return table;
}

} // namespace

std::unique_ptr<Decoder> makeSingleByteDecoder(QByteArrayView indexName)
{
    for (const Index::SingleByte &index : Index::singleByte) {
        if (indexName.compare(QByteArrayView(index.name), Qt::CaseInsensitive) == 0) {
            const auto table = tableOf([&index](int pointer) { return index.codePoints[pointer]; });
            return std::make_unique<HandlerDecoder<SingleByte>>(table);
        }
    }
    return nullptr;
}

// x-user-defined keeps each upper byte recoverable from the text: 0x80 to 0xFF become
// U+F780 to U+F7FF.
std::unique_ptr<Decoder> makeUserDefinedDecoder()
{
    static const auto table = tableOf([](int pointer) { return char16_t(0xF780 + pointer); });
    return std::make_unique<HandlerDecoder<SingleByte>>(table);
}

} // namespace Encoding
