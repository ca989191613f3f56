#include "CssTokenizer.h"

namespace Css {

namespace {

constexpr char32_t EndOfFile = 0xFFFFFFFF;
constexpr char32_t ReplacementCharacter = 0xFFFD;
constexpr char32_t MaximumAllowedCodePoint = 0x10FFFF;

// One code point of the preprocessed input and how many UTF-16 units it takes.
struct CodePoint
{
    char32_t c;
    qsizetype length;
};

constexpr bool isDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isHexDigit(char32_t c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr int hexValue(char32_t c)
{
    return isDigit(c) ? int(c - '0') : int((c | 0x20) - 'a' + 10);
}

constexpr bool isLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Every non-ASCII code point starts a name, as browsers read names; U+FFFD (what NUL
// and lone surrogates read as) among them. EndOfFile is not a code point.
constexpr bool isIdentStart(char32_t c)
{
    return isLetter(c) || (c >= 0x80 && c != EndOfFile) || c == '_';
}

constexpr bool isIdent(char32_t c)
{
    return isIdentStart(c) || isDigit(c) || c == '-';
}

// After preprocessing, every newline is U+000A.
constexpr bool isNewline(char32_t c)
{
    return c == '\n';
}

constexpr bool isWhitespace(char32_t c)
{
    return c == '\n' || c == '\t' || c == ' ';
}

constexpr bool isNonPrintable(char32_t c)
{
    return c <= 0x08 || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F;
}

// The standard's algorithms over one text; position is always at a code point boundary.
class Consumer
{
public:
    Consumer(QStringView text, qsizetype position) : input(text), position(position) {}

    void consumeToken(Token &token, bool unicodeRangesAllowed);
    void consumeIdentSequence(QString *result);

    QStringView input;
    qsizetype position;

private:
    // The code point at offset at, preprocessed.
    CodePoint peekAt(qsizetype at) const
    {
        if (at >= input.size())
            return {EndOfFile, 0};
        const char16_t u = input[at].unicode();
        if (u >= 0x20 && u < 0x80)
            return {u, 1};
        if (u == '\r')
            return {'\n', (at + 1 < input.size() && input[at + 1] == u'\n') ? 2 : 1};
        if (u == '\f')
            return {'\n', 1};
        if (u == 0)
            return {ReplacementCharacter, 1};
        if (QChar::isHighSurrogate(u) && at + 1 < input.size() && QChar::isLowSurrogate(input[at + 1].unicode()))
            return {QChar::surrogateToUcs4(u, input[at + 1].unicode()), 2};
        if (QChar::isSurrogate(u))
            return {ReplacementCharacter, 1};
        return {u, 1};
    }
    // The next input code points, without consuming them.
    char32_t next(int n = 1) const
    {
        qsizetype at = position;
        CodePoint cp{EndOfFile, 0};
        for (int i = 0; i < n; ++i) {
            cp = peekAt(at);
            at += cp.length;
        }
        return cp.c;
    }
    char32_t consume()
    {
        const CodePoint cp = peekAt(position);
        position += cp.length;
        return cp.c;
    }

    static bool isValidEscape(char32_t first, char32_t second) { return first == '\\' && !isNewline(second); }
    static bool wouldStartIdentSequence(char32_t first, char32_t second, char32_t third);
    static bool wouldStartNumber(char32_t first, char32_t second, char32_t third);
    static bool wouldStartUnicodeRange(char32_t first, char32_t second, char32_t third)
    {
        return (first == 'U' || first == 'u') && second == '+' && (third == '?' || isHexDigit(third));
    }

    void consumeComment(Token &token);
    void consumeWhitespace();
    void consumeDigits()
    {
        while (position < input.size() && isDigit(input[position].unicode()))
            ++position;
    }
    void consumeNumericToken(Token &token);
    std::pair<bool, qsizetype> consumeNumber();
    void consumeIdentLikeToken(Token &token);
    void consumeStringToken(Token &token, char32_t endingCodePoint);
    void consumeUrlToken(Token &token);
    void consumeRemnantsOfBadUrl();
    void consumeUnicodeRangeToken(Token &token);
    char32_t consumeEscapedCodePoint();
};

// "Check if three code points would start an ident sequence".
bool Consumer::wouldStartIdentSequence(char32_t first, char32_t second, char32_t third)
{
    if (first == '-')
        return isIdentStart(second) || second == '-' || isValidEscape(second, third);
    if (isIdentStart(first))
        return true;
    if (first == '\\')
        return isValidEscape(first, second);
    return false;
}

// "Check if three code points would start a number".
bool Consumer::wouldStartNumber(char32_t first, char32_t second, char32_t third)
{
    if (first == '+' || first == '-') {
        if (isDigit(second))
            return true;
        return second == '.' && isDigit(third);
    }
    if (first == '.')
        return isDigit(second);
    return isDigit(first);
}

// "Consume comments", one at a time: the view colours each.
void Consumer::consumeComment(Token &token)
{
    const qsizetype close = input.indexOf(u"*/", position + 2);
    if (close < 0) {
        // Unterminated: the comment runs to the end (a parse error).
        position = input.size();
        token.flags |= Unterminated;
    } else {
        position = close + 2;
    }
    token.type = TokenType::Comment;
}

void Consumer::consumeWhitespace()
{
    while (position < input.size()) {
        const char16_t u = input[position].unicode();
        if (u != ' ' && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            return;
        ++position;
    }
}

void Consumer::consumeToken(Token &token, bool unicodeRangesAllowed)
{
    if (input.sliced(position).startsWith(u"/*")) {
        consumeComment(token);
        return;
    }
    const qsizetype start = position;
    const char32_t c = consume();
    switch (c) {
    case '\n':
    case '\t':
    case ' ':
        consumeWhitespace();
        token.type = TokenType::Whitespace;
        return;
    case '"':
        consumeStringToken(token, c);
        return;
    case '#':
        if (isIdent(next()) || isValidEscape(next(), next(2))) {
            token.type = TokenType::Hash;
            if (wouldStartIdentSequence(next(), next(2), next(3)))
                token.flags |= HashId;
            consumeIdentSequence(nullptr);
            return;
        }
        break;
    case '\'':
        consumeStringToken(token, c);
        return;
    case '(':
        token.type = TokenType::OpenParen;
        return;
    case ')':
        token.type = TokenType::CloseParen;
        return;
    case '+':
        if (wouldStartNumber(c, next(), next(2))) {
            position = start;
            consumeNumericToken(token);
            return;
        }
        break;
    case ',':
        token.type = TokenType::Comma;
        return;
    case '-':
        if (wouldStartNumber(c, next(), next(2))) {
            position = start;
            consumeNumericToken(token);
            return;
        }
        if (next() == '-' && next(2) == '>') {
            consume();
            consume();
            token.type = TokenType::Cdc;
            return;
        }
        if (wouldStartIdentSequence(c, next(), next(2))) {
            position = start;
            consumeIdentLikeToken(token);
            return;
        }
        break;
    case '.':
        if (wouldStartNumber(c, next(), next(2))) {
            position = start;
            consumeNumericToken(token);
            return;
        }
        break;
    case ':':
        token.type = TokenType::Colon;
        return;
    case ';':
        token.type = TokenType::Semicolon;
        return;
    case '<':
        if (next() == '!' && next(2) == '-' && next(3) == '-') {
            consume();
            consume();
            consume();
            token.type = TokenType::Cdo;
            return;
        }
        break;
    case '@':
        if (wouldStartIdentSequence(next(), next(2), next(3))) {
            consumeIdentSequence(nullptr);
            token.type = TokenType::AtKeyword;
            return;
        }
        break;
    case '[':
        token.type = TokenType::OpenSquare;
        return;
    case '\\':
        if (isValidEscape(c, next())) {
            position = start;
            consumeIdentLikeToken(token);
            return;
        }
        // A parse error: a lone backslash is a delim.
        break;
    case ']':
        token.type = TokenType::CloseSquare;
        return;
    case '{':
        token.type = TokenType::OpenCurly;
        return;
    case '}':
        token.type = TokenType::CloseCurly;
        return;
    default:
        if (isDigit(c)) {
            position = start;
            consumeNumericToken(token);
            return;
        }
        if (isIdentStart(c)) {
            const bool unicodeRange = unicodeRangesAllowed && wouldStartUnicodeRange(c, next(), next(2));
            position = start;
            if (unicodeRange)
                consumeUnicodeRangeToken(token);
            else
                consumeIdentLikeToken(token);
            return;
        }
        break;
    }
    // Anything else is a delim token with the code point as its value.
    token.type = TokenType::Delim;
    token.codePoint = c;
}

// "Consume a numeric token".
void Consumer::consumeNumericToken(Token &token)
{
    const qsizetype start = position;
    const auto [integer, end] = consumeNumber();
    if (integer)
        token.flags |= Integer;
    if (wouldStartIdentSequence(next(), next(2), next(3))) {
        token.type = TokenType::Dimension;
        token.numberLength = quint32(end - start);
        consumeIdentSequence(nullptr);
        return;
    }
    if (next() == '%') {
        consume();
        token.type = TokenType::Percentage;
        return;
    }
    token.type = TokenType::Number;
}

// "Consume a number": whether its type is integer, and where it ends. The view takes
// its value from the text when it needs it.
std::pair<bool, qsizetype> Consumer::consumeNumber()
{
    bool integer = true;
    if (next() == '+' || next() == '-')
        consume();
    consumeDigits();
    if (next() == '.' && isDigit(next(2))) {
        consume();
        consume();
        integer = false;
        consumeDigits();
    }
    if ((next() == 'E' || next() == 'e')
        && (isDigit(next(2)) || ((next(2) == '+' || next(2) == '-') && isDigit(next(3))))) {
        consume();
        if (!isDigit(next()))
            consume();
        consume();
        integer = false;
        consumeDigits();
    }
    return {integer, position};
}

// "Consume an ident-like token".
void Consumer::consumeIdentLikeToken(Token &token)
{
    const qsizetype start = position;
    consumeIdentSequence(nullptr);
    if (next() == '(' && nameMatches(input.sliced(start, position - start), QLatin1StringView("url"))) {
        consume();
        // While the next two are whitespace, consume the next: one stays before a quote.
        while (isWhitespace(next()) && isWhitespace(next(2)))
            consume();
        const char32_t first = next();
        const char32_t second = next(2);
        if (first == '"' || first == '\'' || (isWhitespace(first) && (second == '"' || second == '\''))) {
            token.type = TokenType::Function;
            return;
        }
        consumeUrlToken(token);
        return;
    }
    if (next() == '(') {
        consume();
        token.type = TokenType::Function;
        return;
    }
    token.type = TokenType::Ident;
}

// "Consume a string token".
void Consumer::consumeStringToken(Token &token, char32_t endingCodePoint)
{
    token.type = TokenType::String;
    QString &value = token.value;
    while (true) {
        // Plain stretches are copied whole.
        qsizetype run = position;
        while (run < input.size()) {
            const char16_t u = input[run].unicode();
            if (u == endingCodePoint || u == '\\' || u == '\n' || u == '\r' || u == '\f' || u == 0 || QChar::isSurrogate(u))
                break;
            ++run;
        }
        value.append(input.sliced(position, run - position));
        position = run;

        const qsizetype before = position;
        const char32_t c = consume();
        if (c == endingCodePoint)
            return;
        if (c == EndOfFile) {
            // A parse error; the string is what was read.
            token.flags |= Unterminated;
            return;
        }
        if (isNewline(c)) {
            // A parse error: reconsume the newline, and the string is bad.
            position = before;
            token.type = TokenType::BadString;
            token.value.clear();
            return;
        }
        if (c == '\\') {
            if (next() == EndOfFile)
                continue;
            if (isNewline(next())) {
                consume();
                continue;
            }
            value.append(QChar::fromUcs4(consumeEscapedCodePoint()));
            continue;
        }
        value.append(QChar::fromUcs4(c));
    }
}

// "Consume a url token", after "url(".
void Consumer::consumeUrlToken(Token &token)
{
    token.type = TokenType::Url;
    QString &value = token.value;
    consumeWhitespace();
    while (true) {
        // Plain stretches (a long data: address is mostly one) are copied whole.
        qsizetype run = position;
        while (run < input.size()) {
            const char16_t u = input[run].unicode();
            if (u <= 0x20 || u == ')' || u == '"' || u == '\'' || u == '(' || u == '\\' || u == 0x7F || QChar::isSurrogate(u))
                break;
            ++run;
        }
        value.append(input.sliced(position, run - position));
        position = run;

        const char32_t c = consume();
        if (c == ')')
            return;
        if (c == EndOfFile) {
            token.flags |= Unterminated;
            return;
        }
        if (isWhitespace(c)) {
            consumeWhitespace();
            if (next() == ')') {
                consume();
                return;
            }
            if (next() == EndOfFile) {
                token.flags |= Unterminated;
                return;
            }
            consumeRemnantsOfBadUrl();
            token.type = TokenType::BadUrl;
            value.clear();
            return;
        }
        if (c == '"' || c == '\'' || c == '(' || isNonPrintable(c)) {
            consumeRemnantsOfBadUrl();
            token.type = TokenType::BadUrl;
            value.clear();
            return;
        }
        if (c == '\\') {
            if (isValidEscape(c, next())) {
                value.append(QChar::fromUcs4(consumeEscapedCodePoint()));
                continue;
            }
            consumeRemnantsOfBadUrl();
            token.type = TokenType::BadUrl;
            value.clear();
            return;
        }
        value.append(QChar::fromUcs4(c));
    }
}

// "Consume the remnants of a bad url": up to the ')' that ends it, escapes and all.
void Consumer::consumeRemnantsOfBadUrl()
{
    while (true) {
        const char32_t c = next();
        if (c == EndOfFile)
            return;
        if (isValidEscape(c, next(2))) {
            consume();
            consumeEscapedCodePoint();
            continue;
        }
        consume();
        if (c == ')')
            return;
    }
}

// "Consume a unicode-range token".
void Consumer::consumeUnicodeRangeToken(Token &token)
{
    consume();
    consume();
    char32_t first = 0;
    char32_t last = 0;
    int digits = 0;
    while (digits < 6 && isHexDigit(next())) {
        first = first * 16 + char32_t(hexValue(consume()));
        ++digits;
    }
    int questionMarks = 0;
    while (digits + questionMarks < 6 && next() == '?') {
        consume();
        ++questionMarks;
    }
    if (questionMarks > 0) {
        last = first;
        for (int i = 0; i < questionMarks; ++i) {
            first = first * 16;
            last = last * 16 + 0xF;
        }
    } else if (next() == '-' && isHexDigit(next(2))) {
        consume();
        digits = 0;
        while (digits < 6 && isHexDigit(next())) {
            last = last * 16 + char32_t(hexValue(consume()));
            ++digits;
        }
    } else {
        last = first;
    }
    token.type = TokenType::UnicodeRange;
    token.codePoint = first;
    token.last = last;
}

// "Consume an escaped code point", after the backslash.
char32_t Consumer::consumeEscapedCodePoint()
{
    const char32_t c = consume();
    if (isHexDigit(c)) {
        char32_t number = char32_t(hexValue(c));
        for (int i = 0; i < 5 && isHexDigit(next()); ++i)
            number = number * 16 + char32_t(hexValue(consume()));
        if (isWhitespace(next()))
            consume();
        if (number == 0 || (number >= 0xD800 && number <= 0xDFFF) || number > MaximumAllowedCodePoint)
            return ReplacementCharacter;
        return number;
    }
    if (c == EndOfFile)
        return ReplacementCharacter;
    return c;
}

// "Consume an ident sequence"; result may be null when only the span is wanted.
void Consumer::consumeIdentSequence(QString *result)
{
    while (true) {
        // Most names are plain ASCII: those stretches need no preprocessing.
        if (!result) {
            while (position < input.size()) {
                const char16_t u = input[position].unicode();
                if (!(u < 0x80 && u != 0 && isIdent(u)))
                    break;
                ++position;
            }
        }
        const char32_t c = next();
        if (isIdent(c)) {
            consume();
            if (result)
                result->append(QChar::fromUcs4(c));
        } else if (isValidEscape(c, next(2))) {
            consume();
            const char32_t escaped = consumeEscapedCodePoint();
            if (result)
                result->append(QChar::fromUcs4(escaped));
        } else {
            return;
        }
    }
}

} // namespace

bool consumeToken(QStringView text, qsizetype &position, Token &token, bool unicodeRangesAllowed)
{
    token.type = TokenType::Whitespace;
    token.role = Role::Other;
    token.flags = 0;
    token.numberLength = 0;
    token.codePoint = 0;
    token.last = 0;
    token.value.clear();
    if (position >= text.size())
        return false;
    Consumer consumer(text, position);
    consumer.consumeToken(token, unicodeRangesAllowed);
    token.start = position;
    token.length = consumer.position - position;
    position = consumer.position;
    return true;
}

bool nameMatches(QStringView raw, QLatin1StringView name)
{
    // Without escapes the text is the name, but for NUL and surrogates, which match no
    // ASCII letter either way.
    QString decoded;
    if (raw.contains(u'\\')) {
        Consumer consumer(raw, 0);
        consumer.consumeIdentSequence(&decoded);
        raw = decoded;
    }
    if (raw.size() != name.size())
        return false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i].unicode();
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (c != char16_t(name[i].unicode()))
            return false;
    }
    return true;
}

} // namespace Css
