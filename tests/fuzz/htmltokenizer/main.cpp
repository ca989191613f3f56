// HTML's tokenizer: any text, read whole with and without building tokens, by a sink
// that wants only errors, and in pieces from checkpoints as the view reads it.

#include "FuzzCheck.h"
#include "Tokenizer.h"

#include <QList>
#include <QString>

#include <utility>

namespace {

using Errors = QList<std::pair<html::ParseError, qsizetype>>;

// What a colouring sink sees of tags: where each starts and ends, and its errors.
class Sink : public html::TokenSink
{
public:
    void token(const html::Token &token) override
    {
        if (token.kind == html::TokenKind::StartTag || token.kind == html::TokenKind::EndTag)
            tags.append({token.start, token.end});
    }
    void parseError(html::ParseError error, qsizetype position) override { errors.append({error, position}); }
    Errors errors;
    QList<std::pair<qsizetype, qsizetype>> tags;
};

class ErrorsOnly : public html::TokenSink
{
public:
    bool wantsTokens() const override { return false; }
    void token(const html::Token &) override { FUZZ_CHECK(false); }
    void parseError(html::ParseError error, qsizetype position) override { errors.append({error, position}); }
    void attributeReference(qsizetype, qsizetype) override { FUZZ_CHECK(false); }
    Errors errors;
};

} // namespace

// The first byte picks the piece length for the pieced reading; the rest is the text,
// as UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] % 64;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Sink built;
    html::Checkpoint builtEnd;
    html::Tokenizer(built, true).run(text, builtEnd, text.size());
    FUZZ_CHECK(builtEnd.position() == text.size());

    Sink offsets;
    html::Checkpoint offsetsEnd;
    html::Tokenizer(offsets, false).run(text, offsetsEnd, text.size());
    FUZZ_CHECK(offsets.errors == built.errors);
    FUZZ_CHECK(offsets.tags == built.tags);
    FUZZ_CHECK(offsetsEnd == builtEnd);

    ErrorsOnly counted;
    html::Checkpoint countedEnd;
    html::Tokenizer(counted, false).run(text, countedEnd, text.size());
    FUZZ_CHECK(counted.errors == built.errors);
    FUZZ_CHECK(countedEnd == builtEnd);

    // From checkpoints a piece apart, each run a tokenizer of its own, as the view's
    // scan reads its blocks: the same errors in the same order, the same end.
    ErrorsOnly pieced;
    html::Checkpoint checkpoint;
    for (qsizetype stop = piece; stop < text.size(); stop += piece) {
        html::Tokenizer(pieced, false).run(text, checkpoint, stop);
        FUZZ_CHECK(checkpoint.position() >= stop);
    }
    html::Tokenizer(pieced, false).run(text, checkpoint, text.size());
    FUZZ_CHECK(pieced.errors == built.errors);
    FUZZ_CHECK(checkpoint == builtEnd);
    return 0;
}
