#include "CssTokenStream.h"

#include "CssTokenizer.h"

#include <QLatin1StringView>

#include <algorithm>
#include <array>

namespace Css {

namespace {

// Where the reading is in the item (rule or declaration) that it is in.
enum Place : quint8 {
    ItemStart, // before a rule or a declaration
    SelectorPlace, // in a style rule's prelude
    AtRulePrelude,
    AfterPropertyName, // a declaration's name read, its colon not yet
    ValuePlace,
};

enum Flag : quint8 {
    TopDeclarations = 0x01, // the text is a declaration list (a style attribute)
    BlockOfDeclarations = 0x02, // the at-rule whose prelude this is has declarations in its block
    ImportPrelude = 0x04, // right after @import: its first string is a link
    AfterUrlFunction = 0x08, // right after url( with a quote ahead: the string is a link
    UnicodeRangeValue = 0x10, // the value of unicode-range: U+0-7F is one token
    CustomProperty = 0x20, // the declaration's name starts with "--": its value may hold {}
};

constexpr int TrackedBlocks = 64;
constexpr int TrackedNestings = 32;
constexpr quint16 MaximumNesting = 0xFFFF;

// At-rules whose block holds declarations wherever they stand.
constexpr std::array declarationAtRules{
    QLatin1StringView("font-face"), QLatin1StringView("page"), QLatin1StringView("counter-style"),
    QLatin1StringView("property"), QLatin1StringView("font-palette-values"), QLatin1StringView("viewport"),
    QLatin1StringView("-ms-viewport"), QLatin1StringView("position-try"), QLatin1StringView("view-transition"),
    // In @font-feature-values:
    QLatin1StringView("swash"), QLatin1StringView("annotation"), QLatin1StringView("ornaments"),
    QLatin1StringView("stylistic"), QLatin1StringView("styleset"), QLatin1StringView("character-variant"),
    QLatin1StringView("historical-forms"),
    // In @page:
    QLatin1StringView("top-left-corner"), QLatin1StringView("top-left"), QLatin1StringView("top-center"),
    QLatin1StringView("top-right"), QLatin1StringView("top-right-corner"), QLatin1StringView("bottom-left-corner"),
    QLatin1StringView("bottom-left"), QLatin1StringView("bottom-center"), QLatin1StringView("bottom-right"),
    QLatin1StringView("bottom-right-corner"), QLatin1StringView("left-top"), QLatin1StringView("left-middle"),
    QLatin1StringView("left-bottom"), QLatin1StringView("right-top"), QLatin1StringView("right-middle"),
    QLatin1StringView("right-bottom"),
};

bool isTrivia(TokenType type)
{
    return type == TokenType::Whitespace || type == TokenType::Comment;
}

// What closes an opener, as two bits.
quint64 closerOf(TokenType opener)
{
    return opener == TokenType::OpenSquare ? 1 : opener == TokenType::OpenCurly ? 2 : 0;
}

quint64 closerCode(TokenType closer)
{
    return closer == TokenType::CloseSquare ? 1 : closer == TokenType::CloseCurly ? 2 : 0;
}

} // namespace

State State::declarationList()
{
    State state;
    state.m_flags = TopDeclarations;
    return state;
}

TokenStream::TokenStream(QStringView text, qsizetype position, State state)
    : m_text(text), m_position(position), m_state(state)
{
}

bool TokenStream::blockHoldsDeclarations() const
{
    if (m_state.m_depth == 0)
        return m_state.m_flags & TopDeclarations;
    const int bit = int(std::min<quint32>(m_state.m_depth, TrackedBlocks)) - 1;
    return (m_state.m_blocks >> bit) & 1;
}

// Past the deepest tracked level a block counts as the same kind as that level's.
void TokenStream::openBlock(bool declarations)
{
    if (m_state.m_depth < TrackedBlocks) {
        const quint64 bit = quint64(1) << m_state.m_depth;
        m_state.m_blocks = declarations ? (m_state.m_blocks | bit) : (m_state.m_blocks & ~bit);
    }
    if (m_state.m_depth < 0xFFFFFFFF)
        ++m_state.m_depth;
    m_state.m_place = ItemStart;
    m_state.m_flags &= TopDeclarations;
    m_state.m_nesting = 0;
}

void TokenStream::closeBlock()
{
    if (m_state.m_depth > 0)
        --m_state.m_depth;
    m_state.m_place = ItemStart;
    m_state.m_flags &= TopDeclarations;
    m_state.m_nesting = 0;
}

// Whether a declaration's colon follows, past whitespace and comments: an ident at the
// start of a declaration block's item is a property name, or starts a nested rule.
bool TokenStream::colonFollows(qsizetype from) const
{
    while (from < m_text.size()) {
        const QChar c = m_text[from];
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            ++from;
        } else if (c == u'/' && from + 1 < m_text.size() && m_text[from + 1] == u'*') {
            const qsizetype close = m_text.indexOf(u"*/", from + 2);
            if (close < 0)
                return false;
            from = close + 2;
        } else {
            return c == u':';
        }
    }
    return false;
}

// Blocks and functions in a prelude or a value nest as the standard's component values
// do: only their own closer ends them.
void TokenStream::nest(TokenType opener)
{
    if (m_state.m_nesting == MaximumNesting)
        return;
    if (m_state.m_nesting < TrackedNestings) {
        const int shift = 2 * m_state.m_nesting;
        m_state.m_closers = (m_state.m_closers & ~(quint64(3) << shift)) | (closerOf(opener) << shift);
    }
    ++m_state.m_nesting;
}

bool TokenStream::unnest(TokenType closer)
{
    if (m_state.m_nesting == 0)
        return false;
    const int level = m_state.m_nesting - 1;
    if (level < TrackedNestings && ((m_state.m_closers >> (2 * level)) & 3) != closerCode(closer))
        return false;
    --m_state.m_nesting;
    return true;
}

bool TokenStream::next(Token &token)
{
    State &s = m_state;
    const bool unicodeRanges = s.m_place == ValuePlace && (s.m_flags & UnicodeRangeValue);
    if (!consumeToken(m_text, m_position, token, unicodeRanges))
        return false;
    const TokenType type = token.type;
    const bool trivia = isTrivia(type);

    if (type == TokenType::Url)
        token.flags |= Link;
    if (type == TokenType::String && (s.m_flags & (ImportPrelude | AfterUrlFunction)))
        token.flags |= Link;
    if (!trivia) {
        s.m_flags &= ~(ImportPrelude | AfterUrlFunction);
        if (type == TokenType::Function) {
            // "url(" may have taken whitespace after its parenthesis.
            const QStringView function = m_text.sliced(token.start, token.length);
            if (nameMatches(function.first(function.lastIndexOf(u'(')), QLatin1StringView("url")))
                s.m_flags |= AfterUrlFunction;
        }
    }

    switch (s.m_place) {
    case ItemStart:
        if (trivia || type == TokenType::Semicolon) {
            token.role = Role::Other;
            return true;
        }
        if ((type == TokenType::Cdo || type == TokenType::Cdc) && s.m_depth == 0 && !blockHoldsDeclarations()) {
            token.role = Role::Other;
            return true;
        }
        if (type == TokenType::CloseCurly && s.m_depth > 0) {
            closeBlock();
            token.role = Role::Other;
            return true;
        }
        if (type == TokenType::AtKeyword) {
            const QStringView name = m_text.sliced(token.start + 1, token.length - 1);
            const bool declarations = blockHoldsDeclarations()
                || std::any_of(declarationAtRules.begin(), declarationAtRules.end(),
                               [name](QLatin1StringView rule) { return nameMatches(name, rule); });
            s.m_place = AtRulePrelude;
            if (declarations)
                s.m_flags |= BlockOfDeclarations;
            if (nameMatches(name, QLatin1StringView("import")))
                s.m_flags |= ImportPrelude;
            token.role = Role::AtRule;
            return true;
        }
        if (type == TokenType::Ident && blockHoldsDeclarations() && colonFollows(m_position)) {
            s.m_place = AfterPropertyName;
            const QStringView name = m_text.sliced(token.start, token.length);
            if (nameMatches(name, QLatin1StringView("unicode-range")))
                s.m_flags |= UnicodeRangeValue;
            if (name.startsWith(u"--"))
                s.m_flags |= CustomProperty;
            token.role = Role::Property;
            return true;
        }
        s.m_place = SelectorPlace;
        [[fallthrough]];
    case SelectorPlace:
        token.role = Role::Selector;
        if (s.m_nesting == 0 && type == TokenType::OpenCurly) {
            openBlock(true);
            token.role = Role::Other;
        } else if (s.m_nesting == 0 && s.m_depth > 0 && (type == TokenType::CloseCurly || type == TokenType::Semicolon)) {
            // Inside a block, a rule without a block ends where the declarations do.
            if (type == TokenType::CloseCurly)
                closeBlock();
            s.m_place = ItemStart;
            token.role = Role::Other;
        } else {
            followNesting(type);
        }
        return true;
    case AtRulePrelude:
        token.role = Role::AtRule;
        if (s.m_nesting == 0 && type == TokenType::Semicolon) {
            s.m_place = ItemStart;
            s.m_flags &= TopDeclarations;
            token.role = Role::Other;
        } else if (s.m_nesting == 0 && type == TokenType::OpenCurly) {
            openBlock(s.m_flags & BlockOfDeclarations);
            token.role = Role::Other;
        } else if (s.m_nesting == 0 && type == TokenType::CloseCurly && s.m_depth > 0) {
            closeBlock();
            token.role = Role::Other;
        } else {
            followNesting(type);
        }
        return true;
    case AfterPropertyName:
        if (trivia) {
            token.role = Role::Other;
            return true;
        }
        s.m_place = ValuePlace;
        if (type == TokenType::Colon) {
            token.role = Role::Other;
            return true;
        }
        [[fallthrough]];
    case ValuePlace:
    default:
        token.role = Role::Value;
        if (s.m_nesting == 0 && (type == TokenType::Semicolon || type == TokenType::CloseCurly)) {
            if (type == TokenType::CloseCurly)
                closeBlock();
            s.m_place = ItemStart;
            s.m_flags &= TopDeclarations;
            token.role = Role::Other;
        } else if (s.m_nesting == 0 && type == TokenType::OpenCurly && !(s.m_flags & CustomProperty)) {
            // Only a custom property's value holds a block: "a:hover{...}" was a nested
            // rule all along, and what is inside its block reads as declarations.
            openBlock(true);
            token.role = Role::Other;
        } else {
            followNesting(type);
        }
        return true;
    }
}

void TokenStream::followNesting(TokenType type)
{
    switch (type) {
    case TokenType::Function:
    case TokenType::OpenParen:
    case TokenType::OpenSquare:
    case TokenType::OpenCurly:
        nest(type);
        break;
    case TokenType::CloseParen:
    case TokenType::CloseSquare:
    case TokenType::CloseCurly:
        unnest(type);
        break;
    default:
        break;
    }
}

} // namespace Css
