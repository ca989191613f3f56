// The stylesheet tokenizer: any text, read whole and resumed from a token boundary.

#include "CssTokenStream.h"
#include "FuzzCheck.h"

#include <QList>
#include <QString>

namespace {

bool sameToken(const Css::Token &a, const Css::Token &b)
{
    return a.start == b.start && a.length == b.length && a.type == b.type && a.role == b.role && a.flags == b.flags
        && a.numberLength == b.numberLength && a.codePoint == b.codePoint && a.last == b.last && a.value == b.value;
}

// A value is text a person will read or resolve: surrogates only in pairs.
bool wellFormed(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return false;
    }
    return true;
}

} // namespace

// The first byte: bit 0 reads a style attribute, bit 1 takes the rest as UTF-16 (lone
// surrogates and all) rather than UTF-8, the other bits pick the checkpoint to resume from.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const Css::State start = data[0] & 1 ? Css::State::declarationList() : Css::State();
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const QString text = data[0] & 2 ? QString(reinterpret_cast<const QChar *>(bytes), qsizetype((size - 1) / 2))
                                     : QString::fromUtf8(bytes, qsizetype(size - 1));

    // The tokens cover the text exactly, none empty.
    QList<Css::Token> tokens;
    QList<std::pair<qsizetype, Css::State>> checkpoints{{0, start}};
    Css::TokenStream stream(text, 0, start);
    Css::Token token;
    qsizetype at = 0;
    while (stream.next(token)) {
        FUZZ_CHECK(token.start == at && token.length > 0);
        FUZZ_CHECK(stream.position() == token.end());
        FUZZ_CHECK(wellFormed(token.value));
        FUZZ_CHECK(!(token.flags & Css::Link) || token.type == Css::TokenType::Url || token.type == Css::TokenType::String);
        FUZZ_CHECK(token.type != Css::TokenType::Dimension || (token.numberLength > 0 && token.numberLength < token.length));
        at = token.end();
        tokens.append(token);
        checkpoints.append({stream.position(), stream.state()});
    }
    FUZZ_CHECK(at == text.size());

    // Resumed from one checkpoint, the same tokens follow.
    const qsizetype from = (data[0] >> 2) % checkpoints.size();
    Css::TokenStream resumed(text, checkpoints[from].first, checkpoints[from].second);
    for (qsizetype i = from; i < tokens.size(); ++i) {
        FUZZ_CHECK(resumed.next(token));
        FUZZ_CHECK(sameToken(token, tokens[i]));
        FUZZ_CHECK(resumed.state() == checkpoints[i + 1].second);
    }
    FUZZ_CHECK(!resumed.next(token));
    return 0;
}
