#include "DocumentDecoder.h"

#include "Decoder.h"

#include <QStringDecoder>

namespace Encoding {

namespace {

// Browsers look for the document's own declaration in its first 1024 bytes.
constexpr qsizetype sniffLength = 1024;

// How much of bytes ends on a whole UTF-8 sequence: a lead byte near the end whose
// sequence goes on in the next piece is left out.
qsizetype wholeUtf8Prefix(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return size - i < length ? i : size;
    }
    return size;
}

// Appends bytes, which end on a whole sequence, as UTF-8; false, and nothing appended,
// when they are not valid UTF-8.
bool appendValidUtf8(QByteArrayView bytes, QString &out)
{
    // Stateless: each piece stands alone. A U+FEFF at the start of a piece is text.
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const qsizetype at = out.size();
    out.resize(at + bytes.size()); // UTF-8 never gives more UTF-16 units than bytes
    QChar *end = utf8.appendToBuffer(out.data() + at, bytes);
    out.resize(utf8.hasError() ? at : end - out.constData());
    return !utf8.hasError();
}

} // namespace

DocumentDecoder::DocumentDecoder(QByteArrayView contentType)
    : m_contentType(contentType.toByteArray())
{
}

DocumentDecoder::~DocumentDecoder() = default;

void DocumentDecoder::expect(qint64 bytes)
{
    m_expected = bytes;
    // Most pages give at most one character per byte.
    if (bytes > 0)
        m_text.reserve(qsizetype(bytes));
}

void DocumentDecoder::feed(QByteArrayView bytes)
{
    m_bytes += bytes.size();
    if (!m_decided) {
        m_head.append(bytes);
        if (m_head.size() >= sniffLength)
            decide(false);
        return;
    }
    if (m_decoder)
        m_decoder->decode(bytes, false, m_text);
    else
        decodeUndeclared(bytes, false);
    count();
}

void DocumentDecoder::count()
{
    // The new text is counted while it is still in the cache. A CR at the very end
    // waits: an LF may follow in the next piece.
    const char16_t *text = reinterpret_cast<const char16_t *>(m_text.constData());
    qsizetype end = m_text.size();
    if (end > m_counted && text[end - 1] == u'\r')
        --end;
    qint64 breaks = 0;
    qint64 lows = 0;
    for (qsizetype i = m_counted; i < end; ++i) {
        const char16_t c = text[i];
        breaks += c == u'\n' || (c == u'\r' && text[i + 1] != u'\n');
        lows += (c & 0xFC00) == 0xDC00;
    }
    m_lineBreaks += breaks;
    m_lowSurrogates += lows;
    m_counted = std::max(m_counted, end);
}

QString DocumentDecoder::finish()
{
    if (!m_decided)
        decide(true);
    else if (m_decoder)
        m_decoder->decode({}, true, m_text);
    else
        decodeUndeclared({}, true);
    count();
    // A CR that ended the text is a line break too.
    if (m_counted < m_text.size()) {
        ++m_lineBreaks;
        m_counted = m_text.size();
    }
    m_characters = m_text.size() - m_lowSurrogates;
    // Room reserved for more characters than came (a page of multi-byte text) goes back.
    if (m_text.capacity() > m_text.size() + m_text.size() / 4 + 4096)
        m_text.squeeze();
    return std::move(m_text);
}

void DocumentDecoder::decide(bool last)
{
    m_decided = true;
    const Sniffed sniffed = sniff(m_head, m_contentType);
    if (!sniffed.encoding.isEmpty())
        m_decoder = makeDecoder(sniffed.encoding);
    const QByteArray head = std::exchange(m_head, {});
    const QByteArrayView body = QByteArrayView(head).sliced(sniffed.bomLength);
    if (m_decoder) {
        m_encoding = sniffed.encoding;
        m_source = sniffed.source;
        m_decoder->decode(body, last, m_text);
        return;
    }
    m_encoding = "UTF-8";
    m_source = EncodingSource::ValidUtf8;
    decodeUndeclared(body, last);
}

void DocumentDecoder::decodeUndeclared(QByteArrayView bytes, bool last)
{
    QByteArray joined;
    if (!m_carry.isEmpty()) {
        joined = std::exchange(m_carry, {});
        joined.append(bytes);
        bytes = joined;
    }
    const qsizetype whole = last ? bytes.size() : wholeUtf8Prefix(bytes);
    // An undeclared body that ends inside a sequence is not UTF-8 either.
    if (!appendValidUtf8(bytes.first(whole), m_text) || (last && whole < bytes.size())) {
        fallBackToWindows1252(bytes, last);
        return;
    }
    m_carry = bytes.sliced(whole).toByteArray();
}

void DocumentDecoder::fallBackToWindows1252(QByteArrayView undecoded, bool last)
{
    // Everything decoded so far was valid UTF-8, so the text gives its bytes back
    // exactly; nothing had to be kept twice to be able to start over.
    QByteArray bytes = std::exchange(m_text, {}).toUtf8();
    bytes.append(undecoded);
    m_counted = 0;
    m_lineBreaks = m_lowSurrogates = 0;
    m_encoding = "windows-1252";
    m_source = EncodingSource::Fallback;
    m_decoder = makeDecoder(m_encoding);
    m_text.reserve(std::max<qsizetype>(bytes.size(), qsizetype(m_expected)));
    m_decoder->decode(bytes, last, m_text);
}

QString decode(QByteArrayView body, QByteArrayView contentType)
{
    DocumentDecoder decoder(contentType);
    decoder.feed(body);
    return decoder.finish();
}

} // namespace Encoding
