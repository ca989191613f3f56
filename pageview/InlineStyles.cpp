#include "InlineStyles.h"

#include <algorithm>

namespace {

// How far past a token's end the CSS tokenizer may look to tell what the token is
// ("+.5" is a number, "+." a delim then a delim).
constexpr qsizetype tokenLookahead = 4;
// How much of a style element the reader looks through for its end at a time.
constexpr qsizetype lookStep = 4096;
// A string or url() longer than this (a page's inline image can be a few hundred
// kilobytes) ends here, as if the stylesheet did, and what follows is read as tokens:
// a row inside a longer one, and each checkpoint past it, would read it all again.
constexpr qsizetype longestToken = 1 << 20;
// Tokens this long are kept for the rows after.
constexpr qsizetype longTokenKept = 16 * 1024;

bool isAsciiWhitespace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiCaseInsensitive(QStringView text, qsizetype at, QLatin1StringView lowerCase)
{
    if (at < 0 || at + lowerCase.size() > text.size())
        return false;
    for (qsizetype i = 0; i < lowerCase.size(); ++i) {
        const char16_t c = text[at + i].unicode();
        if ((c >= u'A' && c <= u'Z' ? c + 0x20 : c) != char16_t(lowerCase[i].unicode()))
            return false;
    }
    return true;
}

// Whether HTML's tokenizer ends a style element's raw text at "<" here: an end tag
// named style, which its name's end shows.
bool isStyleEndTagAt(QStringView document, qsizetype at)
{
    if (at + 7 >= document.size() || document[at + 1] != u'/' || !isAsciiCaseInsensitive(document, at + 2, QLatin1StringView("style")))
        return false;
    const QChar after = document[at + 7];
    return isAsciiWhitespace(after) || after == u'/' || after == u'>';
}

// Whether what follows an ident, past whitespace and comments, is in text[.., limit)
// with room to read it: whether the ident is a property name is told by a colon there.
bool settledBefore(QStringView text, qsizetype from, qsizetype limit)
{
    for (qsizetype i = from; i < limit;) {
        if (isAsciiWhitespace(text[i])) {
            ++i;
        } else if (text[i] == u'/' && i + 1 < limit && text[i + 1] == u'*') {
            const qsizetype close = text.sliced(i + 2, limit - i - 2).indexOf(u"*/");
            if (close < 0)
                return false;
            i += 2 + close + 2;
        } else {
            return i + tokenLookahead < limit;
        }
    }
    return false;
}

} // namespace

// Whether HTML's tokenizer reads raw text after a tag that ends at end, read again from
// the run's start: HTML's "<style/>" has raw text after it, svg's nothing.
bool StyleTracker::rawTextAfter(QStringView document, qsizetype end)
{
    if (!m_runStart)
        return true;
    if (!m_probe || m_probe->position() > end)
        m_probe = *m_runStart;
    html::ErrorCounter sink;
    html::Tokenizer(sink, false).run(document, *m_probe, end);
    return m_probe->position() == end && m_probe->state() == html::State::Rawtext;
}

MarkupRole markupRole(StylesheetRole role)
{
    static_assert(int(MarkupRole::StyleUrl) - int(MarkupRole::StyleSelector) == int(StylesheetRole::Url) - int(StylesheetRole::Selector));
    if (role == StylesheetRole::Text)
        return MarkupRole::Text;
    return MarkupRole(int(MarkupRole::StyleSelector) + int(role) - int(StylesheetRole::Selector));
}

bool isStyleStartTag(const html::Token &token, QStringView document)
{
    if (token.kind != html::TokenKind::StartTag || !isAsciiCaseInsensitive(document, token.start + 1, QLatin1StringView("style")))
        return false;
    const qsizetype after = token.start + 6;
    return after < document.size() && (isAsciiWhitespace(document[after]) || document[after] == u'/' || document[after] == u'>');
}

bool isStyleAttribute(QStringView document, qsizetype nameStart)
{
    if (!isAsciiCaseInsensitive(document, nameStart, QLatin1StringView("style")))
        return false;
    const qsizetype after = nameStart + 5;
    return after == document.size() || isAsciiWhitespace(document[after]) || document[after] == u'/' || document[after] == u'>'
        || document[after] == u'=';
}

std::pair<qsizetype, qsizetype> attributeValueText(QStringView document, qsizetype valueStart, qsizetype valueEnd)
{
    constexpr qsizetype lookAhead = 64 * 1024;
    const QChar quote = document[valueStart];
    if (quote == u'"' || quote == u'\'') {
        const qsizetype start = valueStart + 1;
        if (valueEnd > start && document[valueEnd - 1] == quote)
            return {start, valueEnd - 1};
        // A run that stopped inside the value: its end is looked for from there, as far
        // as a row needs to tell a property from a selector, not across a value of
        // megabytes for each row of it.
        const QStringView after = document.sliced(valueEnd).first(std::min(document.size() - valueEnd, lookAhead));
        const qsizetype close = after.indexOf(quote);
        return {start, close < 0 ? valueEnd + after.size() : valueEnd + close};
    }
    if (valueEnd < document.size() && !isAsciiWhitespace(document[valueEnd]) && document[valueEnd] != u'>') {
        // The same for an unquoted value.
        qsizetype end = valueEnd;
        const qsizetype limit = std::min(document.size(), valueEnd + lookAhead);
        while (end < limit && !isAsciiWhitespace(document[end]) && document[end] != u'>')
            ++end;
        return {valueStart, end};
    }
    return {valueStart, valueEnd};
}

StylePlace StyleTracker::follow(const html::Token &token, QStringView document)
{
    const StylePlace closed = m_open;
    m_open = isStyleStartTag(token, document) && !(token.selfClosing && !rawTextAfter(document, token.end))
        ? StylePlace{token.end, Css::State()}
        : StylePlace();
    return closed;
}

StyleReader::StyleReader(QStringView document, StylePlace place, qsizetype end, LongTokens *longTokens)
    : m_document(document), m_position(place.position), m_state(place.state), m_end(end), m_clear(end >= 0 ? end : place.position),
      m_inComment(place.inComment), m_longTokens(longTokens)
{
}

void StyleReader::lookAhead(qsizetype upTo)
{
    upTo = std::min(upTo, m_document.size());
    for (qsizetype from = m_clear; from < upTo;) {
        const qsizetype found = m_document.sliced(from, upTo - from).indexOf(u'<');
        if (found < 0)
            break;
        if (isStyleEndTagAt(m_document, from + found)) {
            m_end = m_clear = from + found;
            return;
        }
        from += found + 1;
    }
    m_clear = std::max(m_clear, upTo);
}

bool StyleReader::next(Css::Token &token, qsizetype horizon)
{
    if (m_longTokens && !m_inComment) {
        if (const auto known = m_longTokens->find(m_position); known != m_longTokens->end() && known->second.before == m_state) {
            token = known->second.token;
            m_position = token.end();
            m_state = known->second.after;
            return true;
        }
    }
    for (;;) {
        const qsizetype cap = m_position + longestToken;
        const bool endKnown = m_end >= 0 || m_clear >= std::min(m_document.size(), cap);
        const qsizetype limit = std::min(m_end >= 0 ? m_end : m_clear, cap);
        if (!endKnown && m_position + tokenLookahead >= limit) {
            lookAhead(m_position + lookStep);
            continue;
        }
        if (m_position >= limit && m_end >= 0)
            return false;
        if (m_inComment || (m_position + 1 < limit && m_document[m_position] == u'/' && m_document[m_position + 1] == u'*'))
            return comment(token, horizon);
        Css::TokenStream stream(m_document.first(limit), m_position, m_state);
        if (!stream.next(token))
            return false;
        // A token that reaches the end of what is looked through may go on past it, or
        // be another token, and an ident may be a property name by a colon beyond it:
        // looked further, it is read again. Looking twice as far each time, a long
        // string costs its length a few times, not once per step.
        if (!endKnown
            && (token.end() + tokenLookahead >= limit
                || (token.type == Css::TokenType::Ident && !settledBefore(m_document, token.end(), limit)))) {
            lookAhead(limit + std::max(lookStep, limit - m_position));
            continue;
        }
        if (m_longTokens && token.length >= longTokenKept) {
            if (m_longTokens->size() >= 64)
                m_longTokens->clear();
            m_longTokens->insert_or_assign(token.start, LongToken{m_state, token, stream.state()});
        }
        m_position = stream.position();
        m_state = stream.state();
        return true;
    }
}

// Comments are read here, not by the tokenizer, which would read one whole: a row deep
// inside a long one looks for its end only as far as the row.
bool StyleReader::comment(Css::Token &token, qsizetype horizon)
{
    const qsizetype start = m_position;
    const qsizetype from = m_inComment ? m_position : m_position + 2;
    horizon = std::max(horizon, from + 1);
    const qsizetype searchEnd = std::min(m_document.size(), horizon + 2);
    if (m_end < 0 && m_clear < searchEnd)
        lookAhead(searchEnd);
    const qsizetype limit = m_end >= 0 ? m_end : m_clear;
    const qsizetype window = std::min(limit, searchEnd);
    const qsizetype found = m_document.sliced(from, window - from).indexOf(u"*/");
    // Its "*/", or the end of the stylesheet; or, not yet found, it goes on past the horizon.
    const bool goesOn = found < 0 && (window < limit || (m_end < 0 && limit < m_document.size()));
    const qsizetype end = found >= 0 ? from + found + 2 : goesOn ? horizon : window;
    m_inComment = goesOn;
    token = Css::Token();
    token.start = start;
    token.length = end - start;
    token.type = Css::TokenType::Comment;
    if (found < 0 && !goesOn)
        token.flags = Css::Unterminated;
    m_position = end;
    return true;
}

StylePlace styleBoundaryAt(QStringView document, StylePlace place, qsizetype offset, qsizetype end)
{
    StyleReader reader(document, place, end);
    Css::Token token;
    while (reader.place().position < offset) {
        const StylePlace before = reader.place();
        if (!reader.next(token, offset))
            break;
        if (reader.place().position > offset)
            return before;
    }
    return reader.place();
}
