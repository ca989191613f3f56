// A page's body and its Content-Type, decoded as the transfer decodes them. The input
// is the Content-Type, a line feed, and the body.

#include "Decoder.h"
#include "DocumentDecoder.h"
#include "FuzzCheck.h"
#include "TextChecks.h"

#include <algorithm>
#include <initializer_list>

namespace {

struct Decoded
{
    QString text;
    QByteArray encoding;
    Encoding::EncodingSource source;
    qint64 characters;
    qint64 lines;
};

// The body fed in pieces of the given sizes, in turn; 0 feeds it whole.
Decoded decodeInPieces(QByteArrayView body, QByteArrayView contentType, std::initializer_list<qsizetype> sizes)
{
    Encoding::DocumentDecoder decoder(contentType);
    qsizetype at = 0;
    while (at < body.size()) {
        for (qsizetype size : sizes) {
            if (at == body.size())
                break;
            const qsizetype piece = size == 0 ? body.size() : std::min(size, body.size() - at);
            decoder.feed(body.sliced(at, piece));
            at += piece;
        }
    }
    QString text = decoder.finish();
    FUZZ_CHECK(decoder.bytes() == body.size());
    // Whatever path led to the encoding (a guess given up, a <meta> that had the body
    // decoded again), the text is the body read from its start in that encoding.
    const qsizetype bom = decoder.source() != Encoding::EncodingSource::ByteOrderMark ? 0
        : decoder.encoding() == "UTF-8"                                              ? 3
                                                                                     : 2;
    QString again;
    Encoding::makeDecoder(decoder.encoding())->decode(body.sliced(bom), true, again);
    FUZZ_CHECK(text == again);
    return {text, decoder.encoding(), decoder.source(), decoder.characters(), decoder.lines()};
}

// The body decoded whole and in pieces, and what the decoder counts of it.
void checkBody(QByteArrayView body, QByteArrayView contentType)
{
    const Decoded whole = decodeInPieces(body, contentType, {0});
    FUZZ_CHECK(whole.text == Encoding::decode(body, contentType));
    FUZZ_CHECK(TextChecks::wellFormed(whole.text));
    FUZZ_CHECK(whole.characters == TextChecks::codePoints(whole.text));
    FUZZ_CHECK(whole.lines == (body.isEmpty() ? 0 : TextChecks::lineBreaks(whole.text) + 1));

    // However the body is cut, it decodes as it does whole: a byte at a time, and in
    // pieces whose ends fall everywhere in a sequence.
    for (std::initializer_list<qsizetype> sizes : {std::initializer_list<qsizetype>{1}, {3, 1, 7, 2, 64, 5}}) {
        const Decoded pieces = decodeInPieces(body, contentType, sizes);
        FUZZ_CHECK(pieces.text == whole.text);
        FUZZ_CHECK(pieces.encoding == whole.encoding);
        FUZZ_CHECK(pieces.source == whole.source);
        FUZZ_CHECK(pieces.characters == whole.characters);
        FUZZ_CHECK(pieces.lines == whole.lines);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    const QByteArrayView contentType = lineEnd < 0 ? QByteArrayView() : input.first(lineEnd);
    const QByteArrayView body = lineEnd < 0 ? input : input.sliced(lineEnd + 1);

    checkBody(body, contentType);
    // The first kilobyte is held until the encoding is known; after it, the body is
    // decoded piece by piece as it arrives. The same bytes after a kilobyte of spaces
    // go that way.
    checkBody(QByteArray(1024, ' ').append(body), contentType);
    // And in a head past the first kilobyte, where only the parser meets a <meta>.
    checkBody(QByteArray("<head><!--").append(QByteArray(1024, '-')).append("-->").append(body), contentType);

    // Valid UTF-8 labelled utf-8 comes back exactly, less its byte-order mark.
    if (body.isValidUtf8()) {
        const QByteArrayView text = body.startsWith("\xEF\xBB\xBF") ? body.sliced(3) : body;
        FUZZ_CHECK(Encoding::decode(body, "text/html; charset=utf-8") == TextChecks::fromUtf8(text));
    }
    return 0;
}
