#include "DocumentDecoder.h"

#include "Decoder.h"
#include "EncodingChange.h"

#include <QStringDecoder>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace Encoding {

namespace {

// Browsers look for the document's own declaration in its first 1024 bytes.
constexpr qsizetype sniffLength = 1024;

// Room for a big text, which is then written once, front to back. On Linux the room is
// asked for in huge pages where the system has them: the first touch of each small
// page, not the decoding, is what costs most on a page of a hundred megabytes.
void reserveText(QString &text, qsizetype characters)
{
    text.reserve(characters);
#ifdef Q_OS_LINUX
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const auto start = reinterpret_cast<quintptr>(text.constData());
    const quintptr end = start + quintptr(text.capacity()) * sizeof(QChar);
    const quintptr first = (start + hugePage - 1) & ~(hugePage - 1);
    if (end > first + hugePage)
        madvise(reinterpret_cast<void *>(first), (end - first) & ~(hugePage - 1), MADV_HUGEPAGE);
#endif
}

struct TextCounts
{
    qint64 lineBreaks = 0;
    qint64 lowSurrogates = 0;
};

// Line breaks (LF, CR LF counted once, a lone CR) and low surrogates in text[from, to);
// text[to] must be readable. Eight characters at a time where the processor can: the
// count runs over every character of every page, while it arrives.
TextCounts countText(const char16_t *text, qsizetype from, qsizetype to)
{
    qint64 lf = 0;
    qint64 cr = 0;
    qint64 crlf = 0;
    qint64 low = 0;
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i lfs = _mm_set1_epi16(u'\n');
    const __m128i crs = _mm_set1_epi16(u'\r');
    const __m128i surrogateMask = _mm_set1_epi16(short(0xFC00));
    const __m128i lows = _mm_set1_epi16(short(0xDC00));
    // A match is -1 in its 16-bit lane: subtracting counts it. The lanes are added up
    // before they can overflow.
    const auto sum = [](__m128i counts) {
        alignas(16) quint16 lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i *>(lanes), counts);
        qint64 total = 0;
        for (quint16 lane : lanes)
            total += lane;
        return total;
    };
    while (i + 8 <= to) {
        __m128i lfCounts = _mm_setzero_si128();
        __m128i crCounts = _mm_setzero_si128();
        __m128i crlfCounts = _mm_setzero_si128();
        __m128i lowCounts = _mm_setzero_si128();
        const qsizetype stop = std::min(to, i + 8 * 65535);
        for (; i + 8 <= stop; i += 8) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + 1));
            const __m128i isCr = _mm_cmpeq_epi16(here, crs);
            lfCounts = _mm_sub_epi16(lfCounts, _mm_cmpeq_epi16(here, lfs));
            crCounts = _mm_sub_epi16(crCounts, isCr);
            crlfCounts = _mm_sub_epi16(crlfCounts, _mm_and_si128(isCr, _mm_cmpeq_epi16(next, lfs)));
            lowCounts = _mm_sub_epi16(lowCounts, _mm_cmpeq_epi16(_mm_and_si128(here, surrogateMask), lows));
        }
        lf += sum(lfCounts);
        cr += sum(crCounts);
        crlf += sum(crlfCounts);
        low += sum(lowCounts);
    }
#endif
    for (; i < to; ++i) {
        const char16_t c = text[i];
        lf += c == u'\n';
        cr += c == u'\r';
        crlf += c == u'\r' && text[i + 1] == u'\n';
        low += (c & 0xFC00) == 0xDC00;
    }
    return {lf + cr - crlf, low};
}

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

// The bytes of a text decoded as windows-1252, which gives each of the 256 bytes a
// character of its own: a body that fell back to it need not be kept as bytes too.
QByteArray windows1252Bytes(QStringView text)
{
    // Bytes 80 to 9F are the only ones that are not their own code point.
    static const QString high = [] {
        QByteArray bytes;
        for (int b = 0x80; b < 0xA0; ++b)
            bytes.append(char(b));
        QString decoded;
        makeDecoder("windows-1252")->decode(bytes, true, decoded);
        return decoded;
    }();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const qsizetype at = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? -1 : high.indexOf(QChar(c));
        bytes[i] = char(at < 0 ? c : 0x80 + at);
    }
    return bytes;
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
        reserveText(m_text, qsizetype(bytes));
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
    if (m_metaInHead && !textGivesBytesBack())
        m_headBytes.append(bytes);
    if (m_decoder)
        m_decoder->decode(bytes, false, m_text);
    else
        decodeUndeclared(bytes, false);
    readHead(false);
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
    // Each character is read with the one after it, which is there: the text always
    // ends with its terminating null.
    if (end > m_counted) {
        const TextCounts counts = countText(text, m_counted, end);
        m_lineBreaks += counts.lineBreaks;
        m_lowSurrogates += counts.lowSurrogates;
        m_counted = end;
    }
}

QString DocumentDecoder::finish()
{
    if (!m_decided) {
        decide(true);
    } else {
        if (m_decoder)
            m_decoder->decode({}, true, m_text);
        else
            decodeUndeclared({}, true);
        readHead(true);
    }
    stopReadingHead();
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
    QByteArray head = std::exchange(m_head, {});
    const QByteArrayView body = QByteArrayView(head).sliced(sniffed.bomLength);
    if (m_decoder) {
        m_encoding = sniffed.encoding;
        m_source = sniffed.source;
    } else {
        m_encoding = "UTF-8";
        m_source = EncodingSource::ValidUtf8;
    }
    // The byte-order mark and the Content-Type are certain; the prescan, the XML
    // declaration and the guesses are tentative, and the parser's <meta> in the head can
    // still overrule them in an HTML page. A page read as UTF-16 keeps it whatever a
    // <meta> says.
    const bool certain = m_source == EncodingSource::ByteOrderMark || m_source == EncodingSource::ContentType;
    if (!certain && isHtml(m_contentType) && m_encoding != "UTF-16LE" && m_encoding != "UTF-16BE")
        m_metaInHead = std::make_unique<MetaInHead>();
    if (m_decoder) {
        m_decoder->decode(body, last, m_text);
        if (m_metaInHead && !textGivesBytesBack())
            m_headBytes = std::move(head);
    } else {
        decodeUndeclared(body, last);
    }
    readHead(last);
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
    reserveText(m_text, std::max<qsizetype>(bytes.size(), qsizetype(m_expected)));
    m_decoder->decode(bytes, last, m_text);
    // The head is read again in the new text.
    if (m_metaInHead)
        m_metaInHead->restart();
}

bool DocumentDecoder::textGivesBytesBack() const
{
    return !m_decoder || m_source == EncodingSource::Fallback;
}

void DocumentDecoder::readHead(bool last)
{
    if (!m_metaInHead)
        return;
    const QByteArray declared = m_metaInHead->read(m_text, last);
    if (!declared.isEmpty())
        changeTheEncoding(declared, last);
    else if (!m_metaInHead->beforeBody())
        stopReadingHead();
}

void DocumentDecoder::changeTheEncoding(const QByteArray &declared, bool last)
{
    // Whatever the change, the encoding is certain from here on.
    QByteArray bytes = std::exchange(m_headBytes, {});
    stopReadingHead();
    const EncodingChange change = Encoding::changeTheEncoding(m_encoding, declared);
    if (change.action == EncodingChange::Action::KeepCertain) {
        if (m_source == EncodingSource::ValidUtf8 || m_source == EncodingSource::Fallback)
            m_source = EncodingSource::MetaWhileParsing;
        // A body read as UTF-8 because it was valid so far now reads as UTF-8 to its end:
        // a bad byte later is an error, no longer a reason to fall back.
        if (!m_decoder) {
            m_decoder = makeDecoder(m_encoding);
            m_decoder->decode(std::exchange(m_carry, {}), last, m_text);
        }
        return;
    }
    if (!m_decoder) {
        // Everything decoded so far was valid UTF-8: the text gives its bytes back.
        bytes = m_text.toUtf8();
        bytes.append(std::exchange(m_carry, {}));
    } else if (m_source == EncodingSource::Fallback) {
        bytes = windows1252Bytes(m_text);
    }
    m_text = QString();
    m_counted = 0;
    m_lineBreaks = m_lowSurrogates = 0;
    m_encoding = change.encoding;
    m_source = EncodingSource::MetaWhileParsing;
    m_decoder = makeDecoder(m_encoding);
    reserveText(m_text, std::max<qsizetype>(bytes.size(), qsizetype(m_expected)));
    m_decoder->decode(bytes, last, m_text);
}

void DocumentDecoder::stopReadingHead()
{
    m_metaInHead.reset();
    m_headBytes = QByteArray();
}

QString decode(QByteArrayView body, QByteArrayView contentType)
{
    DocumentDecoder decoder(contentType);
    decoder.feed(body);
    return decoder.finish();
}

} // namespace Encoding
