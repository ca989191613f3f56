#include "Tokenizer.h"

#include "NamedCharacterReferences.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <array>
#include <bit>
#include <cstring>
#include <span>

namespace html {

namespace {

// How far back a run that starts inside a tag of many attributes reads it again.
constexpr qsizetype rereadLimit = 64 * 1024;

constexpr bool isAsciiWhitespace(char32_t c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == ' ';
}

constexpr bool isAsciiUpperAlpha(char32_t c)
{
    return c >= 'A' && c <= 'Z';
}

constexpr bool isAsciiAlpha(char32_t c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

constexpr bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isAsciiAlphanumeric(char32_t c)
{
    return isAsciiAlpha(c) || isAsciiDigit(c);
}

constexpr bool isAsciiHexDigit(char32_t c)
{
    return isAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

constexpr char32_t toAsciiLower(char32_t c)
{
    return isAsciiUpperAlpha(c) ? c + 0x20 : c;
}

constexpr bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

constexpr bool isNoncharacter(char32_t c)
{
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

constexpr bool isControl(char32_t c)
{
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

// A code unit that the input stream passes on as it is, with no parse error and no
// newline to normalise: most of any page, read in runs.
constexpr bool isPlain(char16_t u)
{
    if (u < 0x80)
        return u >= 0x20 ? u != 0x7F : (u == '\t' || u == '\n' || u == '\f');
    if (u < 0xA0)
        return false;
    if (u < 0xD800)
        return true;
    if (u < 0xE000)
        return false;
    return u < 0xFDD0 || (u > 0xFDEF && u < 0xFFFE);
}

// What each ASCII character does to a run of plain characters: the states that read
// runs stop at their own characters, and every state at one that is not plain.
enum RunStop : quint16 {
    LessThanSign = 1,
    Ampersand = 2,
    QuotationMark = 4,
    Apostrophe = 8,
    HyphenMinus = 16,
    RightSquareBracket = 32,
    NotPlain = 64,
    // Not part of a run in the tag name, attribute name and unquoted value states.
    NotInTagName = 128,
    NotInAttributeName = 256,
    NotInUnquotedValue = 512,
    Whitespace = 1024, // ASCII whitespace
};

constexpr std::array<quint16, 128> runStops = [] {
    std::array<quint16, 128> table{};
    for (char16_t u = 0; u < 128; ++u) {
        quint16 stops = 0;
        if (!isPlain(u))
            stops |= NotPlain | NotInTagName | NotInAttributeName | NotInUnquotedValue;
        if (u == '\t' || u == '\n' || u == '\f' || u == ' ' || u == '>')
            stops |= NotInTagName | NotInAttributeName | NotInUnquotedValue;
        if (u == '\t' || u == '\n' || u == '\f' || u == ' ')
            stops |= Whitespace;
        if (u == '/')
            stops |= NotInTagName | NotInAttributeName;
        if (u == '=' || u == '"' || u == '\'' || u == '<')
            stops |= NotInAttributeName | NotInUnquotedValue;
        if (u == '&' || u == '`')
            stops |= NotInUnquotedValue;
        switch (u) {
        case '<': stops |= LessThanSign; break;
        case '&': stops |= Ampersand; break;
        case '"': stops |= QuotationMark; break;
        case '\'': stops |= Apostrophe; break;
        case '-': stops |= HyphenMinus; break;
        case ']': stops |= RightSquareBracket; break;
        }
        table[u] = stops;
    }
    return table;
}();

// The characters of a run's own stops (LessThanSign to RightSquareBracket), two at
// most, one in each half; 0 for none, which no run passes over anyway.
constexpr std::array<quint32, 64> stopUnits = [] {
    std::array<quint32, 64> table{};
    constexpr char16_t units[] = {u'<', u'&', u'"', u'\'', u'-', u']'};
    for (quint32 stops = 0; stops < 64; ++stops) {
        int found = 0;
        for (int bit = 0; bit < 6; ++bit) {
            if ((stops & (1u << bit)) && found < 2)
                table[stops] |= quint32(units[bit]) << (16 * found++);
        }
    }
    return table;
}();

constexpr quint32 hashBasis = 2166136261u;

constexpr quint32 hashStep(quint32 hash, char32_t c)
{
    return (hash ^ quint32(c)) * 16777619u;
}

constexpr quint32 nameHash(std::string_view name)
{
    quint32 hash = hashBasis;
    for (char c : name)
        hash = hashStep(hash, char32_t(quint8(c)));
    return hash;
}

// What a numeric reference to one of the C1 controls stands for.
constexpr char16_t c1Replacements[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isAttributeValueState(State state)
{
    return state == State::AttributeValueDoubleQuoted || state == State::AttributeValueSingleQuoted
        || state == State::AttributeValueUnquoted;
}

// Whether characters emitted in this state are the contents of a text-only element,
// which leave the head where it was.
bool readsElementText(State state)
{
    return (state >= State::Rcdata && state <= State::Plaintext)
        || (state >= State::RcdataLessThanSign && state <= State::ScriptDataDoubleEscapeEnd);
}

void keepShortName(char *buffer, quint8 &length, char32_t c)
{
    if (length < 23 && c < 0x80) {
        buffer[length++] = char(c);
        buffer[length] = 0;
    } else {
        length = 0xFF;
    }
}

std::string_view shortName(const char *buffer, quint8 length)
{
    return length == 0xFF ? std::string_view() : std::string_view(buffer, length);
}

} // namespace

Checkpoint::Checkpoint(State state, QStringView lastStartTag)
    : m_state(state), m_followsTree(false)
{
    m_lastStartTagLength = 0xFF;
    if (!lastStartTag.isNull()) {
        m_lastStartTagLength = 0;
        for (QChar c : lastStartTag)
            keepShortName(m_lastStartTag, m_lastStartTagLength, c.unicode());
    }
}

Tokenizer::Tokenizer(TokenSink &sink, bool buildTokens)
    : m_sink(sink), m_build(buildTokens), m_tell(buildTokens || sink.wantsTokens())
{
    m_referenceCache.fill(0xFFFF);
    m_names.reserve(16);
}

void Tokenizer::run(QStringView text, Checkpoint &checkpoint, qsizetype stop)
{
    m_text = text.utf16();
    m_size = text.size();
    m_st = checkpoint;
    m_pos = m_st.m_position;
    m_names.clear();
    if (insideTagWithAttributes()) {
        if (m_st.m_earlierNameCount <= Checkpoint::earlierNameCapacity) {
            for (const Checkpoint::EarlierName &name : std::span(m_st.m_earlierNames.data(), m_st.m_earlierNameCount))
                m_names.push_back({m_st.m_tokenStart + name.offset, m_st.m_tokenStart + name.offset + name.length, name.hash,
                                   false, -1, -1});
        } else if (m_pos - m_st.m_tokenStart <= rereadLimit) {
            // The tag is read again from its '<', quietly up to here. Not a tag longer
            // than the limit (an inline image's data: address): each run inside it would
            // read it all again, and a duplicate name after such a value goes unreported
            // by runs that start past it.
            m_st.m_quietBefore = std::max(m_st.m_quietBefore, m_pos);
            m_st.m_state = m_st.m_tagTextState;
            m_pos = m_st.m_tokenStart;
        }
    }
    m_runStart = m_pos;
    m_charStart = m_pos;
    m_limit = std::min(stop, m_size);
    m_done = false;
    m_token.attributes.clear();
    m_token.nameStart = m_token.nameEnd = -1;
    m_textStart = m_textEnd = -1;
    const bool toEnd = stop >= m_size;
    steps(toEnd);
    flushCharacters();
    tellUnfinished();
    if (m_pos >= m_st.m_quietBefore)
        m_st.m_quietBefore = 0;
    keepEarlierNames();
    m_st.m_position = m_pos;
    checkpoint = m_st;
}

void Tokenizer::keepEarlierNames()
{
    m_st.m_earlierNames = {};
    m_st.m_earlierNameCount = 0;
    if (!insideTagWithAttributes())
        return;
    for (const AttributeSpan &name : m_names) {
        if (name.duplicate)
            continue;
        const qsizetype offset = name.nameStart - m_st.m_tokenStart;
        if (m_st.m_earlierNameCount == Checkpoint::earlierNameCapacity || offset < 0 || name.nameEnd - m_st.m_tokenStart > 0xFFFFFFFF) {
            m_st.m_earlierNames = {};
            m_st.m_earlierNameCount = 0xFF;
            return;
        }
        m_st.m_earlierNames[m_st.m_earlierNameCount++] = {quint32(offset), quint32(name.nameEnd - name.nameStart), name.hash};
    }
}

bool Tokenizer::insideTagWithAttributes() const
{
    State state = m_st.m_state;
    if (state >= State::CharacterReference)
        state = m_st.m_returnState;
    return m_st.m_hasAttributes && state >= State::BeforeAttributeName && state <= State::SelfClosingStartTag;
}

inline char32_t Tokenizer::consume()
{
    m_charStart = m_pos;
    if (m_pos >= m_size)
        return m_current = eof;
    const char16_t u = m_text[m_pos++];
    if (u >= 0x20 && u < 0x7F)
        return m_current = u;
    return m_current = consumeSlow(u);
}

char32_t Tokenizer::consumeSlow(char16_t unit)
{
    // The input stream's newlines are LF: CR LF and a lone CR become one.
    if (unit == '\r') {
        if (m_pos < m_size && m_text[m_pos] == '\n')
            ++m_pos;
        return '\n';
    }
    char32_t c = unit;
    if (QChar::isHighSurrogate(unit) && m_pos < m_size && QChar::isLowSurrogate(m_text[m_pos]))
        c = QChar::surrogateToUcs4(unit, m_text[m_pos++]);
    // A character read again after "reconsume" is reported once.
    if (m_charStart >= m_st.m_checkedUpTo && !isPlain(unit)) {
        m_st.m_checkedUpTo = m_pos;
        if (isSurrogate(c))
            error(ParseError::SurrogateInInputStream);
        else if (isNoncharacter(c))
            error(ParseError::NoncharacterInInputStream);
        else if (isControl(c) && !isAsciiWhitespace(c) && c != 0)
            error(ParseError::ControlCharacterInInputStream);
    }
    return c;
}

bool Tokenizer::nextCharactersAre(std::string_view word, bool caseInsensitive) const
{
    if (m_size - m_pos < qsizetype(word.size()))
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char16_t u = m_text[m_pos + qsizetype(i)];
        if ((caseInsensitive ? toAsciiLower(u) : u) != char32_t(word[i]))
            return false;
    }
    return true;
}

qsizetype Tokenizer::plainRunFrom(qsizetype from, quint16 stops) const
{
    qsizetype end = from;
#if defined(__SSE2__)
    // Eight code units at a time while they are printable ASCII other than the run's
    // own stops (of which each state has two at most); the rest one by one.
    const quint32 units = stopUnits[stops & 63];
    const __m128i firstStop = _mm_set1_epi16(qint16(units & 0xFFFF));
    const __m128i secondStop = _mm_set1_epi16(qint16(units >> 16));
    const __m128i bottom = _mm_set1_epi16(0x20);
    const __m128i sign = _mm_set1_epi16(qint16(0x8000));
    const __m128i top = _mm_set1_epi16(qint16(0x5E ^ 0x8000));
    while (end + 8 <= m_limit) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_text + end));
        // Printable ASCII, 0x20 to 0x7E, compared as signed after moving the range to the bottom.
        const __m128i shifted = _mm_xor_si128(_mm_sub_epi16(eight, bottom), sign);
        const __m128i bad = _mm_or_si128(_mm_cmpgt_epi16(shifted, top),
                                         _mm_or_si128(_mm_cmpeq_epi16(eight, firstStop), _mm_cmpeq_epi16(eight, secondStop)));
        const unsigned mask = unsigned(_mm_movemask_epi8(bad));
        if (mask != 0) {
            end += std::countr_zero(mask) / 2;
            break;
        }
        end += 8;
    }
#endif
    stops |= NotPlain;
    while (end < m_limit) {
        const char16_t u = m_text[end];
        if (u < 0x80 ? (runStops[u] & stops) != 0 : !isPlain(u))
            break;
        ++end;
    }
    return end;
}

qsizetype Tokenizer::asciiRun(quint16 stops) const
{
    qsizetype end = m_pos;
    while (end < m_limit && m_text[end] < 0x80 && !(runStops[m_text[end]] & stops))
        ++end;
    return end;
}

// Characters --------------------------------------------------------------------------

void Tokenizer::noteText(qsizetype from, qsizetype to)
{
    // Text that is more than whitespace starts the body.
    if (!m_st.m_followsTree || !m_st.m_tree.beforeBody())
        return;
    const State state = m_st.m_state >= State::CharacterReference ? m_st.m_returnState : m_st.m_state;
    if (readsElementText(state))
        return;
    for (qsizetype i = from; i < to; ++i) {
        if (!isAsciiWhitespace(m_text[i]) && m_text[i] != '\r') {
            m_st.m_tree.characters(false);
            return;
        }
    }
}

void Tokenizer::tellCharacters(qsizetype from, qsizetype to)
{
    if (from >= to)
        return;
    if (!m_tell) {
        noteText(from, to);
        return;
    }
    if (from != m_textEnd) {
        flushCharacters();
        m_textStart = from;
    }
    m_textEnd = to;
    noteText(from, to);
    if (m_build)
        m_textData.append(QStringView(m_text + from, to - from));
}

void Tokenizer::emitCharacter(char32_t c)
{
    if (!m_tell) {
        if (c != '\n')
            noteText(m_charStart, m_pos);
        return;
    }
    if (m_charStart != m_textEnd) {
        flushCharacters();
        m_textStart = m_charStart;
    }
    m_textEnd = m_pos;
    if (c != '\n')
        noteText(m_charStart, m_pos);
    if (m_build)
        m_textData.append(QChar::fromUcs4(c));
}

void Tokenizer::flushCharacters()
{
    if (m_textStart < 0)
        return;
    if (!m_tell) {
        m_textStart = m_textEnd = -1;
        return;
    }
    m_characters.start = m_textStart;
    m_characters.end = m_textEnd;
    m_characters.characterReference = false;
    m_characters.data.swap(m_textData);
    m_textStart = m_textEnd = -1;
    m_sink.token(m_characters);
    m_textData.clear();
}

void Tokenizer::emitEndOfFile()
{
    flushCharacters();
    m_token.kind = TokenKind::EndOfFile;
    m_token.start = m_token.end = m_size;
    if (m_tell)
        m_sink.token(m_token);
    m_done = true;
}

// Tags -----------------------------------------------------------------------------------

void Tokenizer::createTag(TokenKind kind, State textState)
{
    m_st.m_tokenKind = kind;
    m_st.m_tagTextState = textState;
    m_st.m_tagNameLength = 0;
    m_st.m_tagNameHash = hashBasis;
    m_st.m_selfClosing = false;
    m_st.m_hasAttributes = false;
    m_st.m_fontBreakout = false;
    m_st.m_htmlEncoding = false;
    m_token.nameStart = m_charStart;
    m_token.nameEnd = -1;
    m_names.clear();
    if (m_tell)
        m_token.attributes.clear();
    if (m_build)
        m_token.name.clear();
}

void Tokenizer::appendToTagName(char32_t c)
{
    keepShortName(m_st.m_tagName, m_st.m_tagNameLength, c);
    m_st.m_tagNameHash = hashStep(m_st.m_tagNameHash, c);
    if (m_build)
        m_token.name.append(QChar::fromUcs4(c));
}

void Tokenizer::endTagName()
{
    m_token.nameEnd = m_charStart;
}

Attribute &Tokenizer::currentAttribute()
{
    // A run that began inside this attribute has not seen it start.
    if (m_token.attributes.isEmpty() || m_token.attributes.last().nameStart != m_st.m_attributeNameStart)
        m_token.attributes.emplaceBack().nameStart = m_st.m_attributeNameStart;
    return m_token.attributes.last();
}

void Tokenizer::startAttribute()
{
    m_st.m_hasAttributes = true;
    m_st.m_attributeNameStart = m_charStart;
    m_st.m_attributeValueStart = -1;
    m_st.m_attributeNameHash = hashBasis;
    m_st.m_attributeValueLength = 0xFE;
    if (!m_tell)
        return;
    Attribute &attribute = currentAttribute();
    attribute.nameEnd = m_charStart;
    attribute.valueStart = attribute.valueEnd = -1;
    attribute.duplicate = false;
    attribute.name.clear();
    attribute.value.clear();
}

void Tokenizer::appendToAttributeName(char32_t c)
{
    m_st.m_attributeNameHash = hashStep(m_st.m_attributeNameHash, c);
    if (m_build)
        currentAttribute().name.append(QChar::fromUcs4(c));
}

// What HTML compares attribute names by: lower case, U+0000 read as U+FFFD.
static char16_t nameUnit(char16_t u)
{
    return u == 0 ? char16_t(0xFFFD) : char16_t(toAsciiLower(u));
}

bool Tokenizer::isDuplicateName(const AttributeSpan *names, size_t count, qsizetype start, qsizetype end,
                                quint32 hash) const
{
    // Names are compared by their text: no CR can be in one (it reads as a newline,
    // which ends a name), so the same name is the same length in the text.
    const qsizetype length = end - start;
    for (const AttributeSpan &other : std::span(names, count)) {
        if (other.duplicate || other.hash != hash || other.nameEnd - other.nameStart != length)
            continue;
        bool same = true;
        for (qsizetype k = 0; k < length && same; ++k)
            same = nameUnit(m_text[other.nameStart + k]) == nameUnit(m_text[start + k]);
        if (same)
            return true;
    }
    return false;
}

void Tokenizer::endAttributeName()
{
    const qsizetype start = m_st.m_attributeNameStart;
    const bool duplicate = isDuplicateName(m_names.data(), m_names.size(), start, m_charStart, m_st.m_attributeNameHash);
    if (duplicate)
        error(ParseError::DuplicateAttribute);
    m_names.push_back({start, m_charStart, m_st.m_attributeNameHash, duplicate, -1, -1});
    if (m_tell) {
        Attribute &attribute = currentAttribute();
        attribute.nameEnd = m_charStart;
        attribute.duplicate = duplicate;
    }
    // The names are told apart by their hashes: an attribute with another name of the
    // same hash is too unlikely to matter.
    static constexpr quint32 color = nameHash("color");
    static constexpr quint32 face = nameHash("face");
    static constexpr quint32 size = nameHash("size");
    static constexpr quint32 encoding = nameHash("encoding");
    const quint32 name = m_st.m_attributeNameHash;
    if (name == color || name == face || name == size)
        m_st.m_fontBreakout = true;
    // Only annotation-xml's encoding is looked at; the value is kept while it is short.
    m_st.m_attributeValueLength = (name == encoding && !duplicate) ? 0 : 0xFE;
}

void Tokenizer::startAttributeValue()
{
    m_st.m_attributeValueStart = m_charStart;
}

void Tokenizer::appendToAttributeValue(char32_t c)
{
    if (m_st.m_attributeValueLength != 0xFE)
        keepShortName(m_st.m_attributeValue, m_st.m_attributeValueLength, toAsciiLower(c));
    if (m_build)
        currentAttribute().value.append(QChar::fromUcs4(c));
}

void Tokenizer::appendRunToAttributeValue(qsizetype from, qsizetype to)
{
    if (m_st.m_attributeValueLength != 0xFE) {
        for (qsizetype i = from; i < to; ++i)
            keepShortName(m_st.m_attributeValue, m_st.m_attributeValueLength, toAsciiLower(m_text[i]));
    }
    if (m_build)
        currentAttribute().value.append(QStringView(m_text + from, to - from));
}

void Tokenizer::endAttributeValue(qsizetype end)
{
    if (m_tell) {
        Attribute &attribute = currentAttribute();
        attribute.valueStart = m_st.m_attributeValueStart;
        attribute.valueEnd = end;
    }
    if (m_st.m_attributeValueLength != 0xFE) {
        const std::string_view value = shortName(m_st.m_attributeValue, m_st.m_attributeValueLength);
        if (value == "text/html" || value == "application/xhtml+xml")
            m_st.m_htmlEncoding = true;
        m_st.m_attributeValueLength = 0xFE;
    }
}

// A tag of the common kind read in one go from its '<' at m_pos: printable ASCII, a
// start or end tag whose attributes are spaced, with no reference in a value and no
// fault but a duplicate name, ending before the run's limit. It changes what the
// states would, and tells the same. Anything else it leaves to the states, having
// changed nothing, and returns false.
bool Tokenizer::quickTag()
{
    const char16_t *const text = m_text;
    const qsizetype limit = m_limit;
    const auto isNameChar = [](char16_t u, quint16 stop) { return u < 0x80 && !(runStops[u] & stop); };
    const auto isSpace = [](char16_t u) { return u < 0x80 && (runStops[u] & Whitespace); };
    qsizetype p = m_pos + 1;
    TokenKind kind = TokenKind::StartTag;
    if (p < limit && text[p] == '/') {
        kind = TokenKind::EndTag;
        ++p;
    }
    if (p >= limit || !isAsciiAlpha(text[p]))
        return false;
    const qsizetype nameStart = p;
    quint32 hash = hashBasis;
    do {
        hash = hashStep(hash, toAsciiLower(text[p]));
        ++p;
    } while (p < limit && isNameChar(text[p], NotInTagName));
    const qsizetype nameEnd = p;

    static constexpr quint32 color = nameHash("color");
    static constexpr quint32 face = nameHash("face");
    static constexpr quint32 size = nameHash("size");
    static constexpr quint32 encoding = nameHash("encoding");
    // Its attributes: a tag with more is left to the states.
    AttributeSpan names[12];
    size_t nameCount = 0;
    std::array<qsizetype, 4> duplicates;
    int duplicateCount = 0;
    bool selfClosing = false;
    bool fontBreakout = false;
    bool spaced = false;
    for (;;) {
        // After the tag's name, an attribute's name or its value.
        while (p < limit && isSpace(text[p])) {
            ++p;
            spaced = true;
        }
        if (p >= limit)
            return false;
        char16_t u = text[p];
        if (u == '>')
            break;
        if (u == '/') {
            if (p + 1 < limit && text[p + 1] == '>') {
                selfClosing = true;
                ++p;
                break;
            }
            return false;
        }
        if (!spaced || !isNameChar(u, NotInAttributeName))
            return false;
        const qsizetype attributeStart = p;
        quint32 attributeHash = hashBasis;
        do {
            attributeHash = hashStep(attributeHash, toAsciiLower(u));
            ++p;
        } while (p < limit && isNameChar(u = text[p], NotInAttributeName));
        if (p >= limit || (u != '=' && u != '>' && u != '/' && !isSpace(u)) || attributeHash == encoding
            || nameCount == std::size(names))
            return false;
        const bool duplicate = nameCount > 0 && isDuplicateName(names, nameCount, attributeStart, p, attributeHash);
        if (duplicate) {
            if (duplicateCount == int(duplicates.size()))
                return false;
            duplicates[duplicateCount++] = p;
        }
        if (attributeHash == color || attributeHash == face || attributeHash == size)
            fontBreakout = true;
        names[nameCount++] = {attributeStart, p, attributeHash, duplicate, -1, -1};
        qsizetype q = p;
        while (q < limit && isSpace(text[q]))
            ++q;
        if (q >= limit)
            return false;
        if (text[q] != '=') {
            // No value: another attribute may follow with no space.
            p = q;
            spaced = true;
            continue;
        }
        ++q;
        while (q < limit && isSpace(text[q]))
            ++q;
        if (q >= limit)
            return false;
        u = text[q];
        AttributeSpan &attribute = names[nameCount - 1];
        attribute.valueStart = q;
        if (u == '"' || u == '\'') {
            const qsizetype end = plainRunFrom(q + 1, (u == '"' ? QuotationMark : Apostrophe) | Ampersand);
            if (end >= limit || text[end] != u)
                return false;
            p = end + 1;
        } else {
            while (q < limit && isNameChar(text[q], NotInUnquotedValue))
                ++q;
            if (q == attribute.valueStart || q >= limit || (text[q] != '>' && !isSpace(text[q])))
                return false;
            p = q;
        }
        attribute.valueEnd = p;
        spaced = false;
    }

    // p is at the '>'. The name is kept as the states keep it, a character at a time
    // with a null after it while it is short.
    const qsizetype kept = std::min<qsizetype>(nameEnd - nameStart, Checkpoint::shortNameCapacity);
    for (qsizetype i = 0; i < kept; ++i)
        m_st.m_tagName[i] = char(toAsciiLower(text[nameStart + i]));
    m_st.m_tagName[kept] = 0;
    m_st.m_tokenStart = m_pos;
    m_st.m_tokenKind = kind;
    m_st.m_tagTextState = State::Data;
    m_st.m_tagNameLength = nameEnd - nameStart > Checkpoint::shortNameCapacity ? 0xFF : quint8(kept);
    m_st.m_tagNameHash = hash;
    m_st.m_selfClosing = selfClosing;
    m_st.m_hasAttributes = nameCount > 0;
    m_st.m_fontBreakout = fontBreakout;
    m_st.m_htmlEncoding = false;
    if (nameCount > 0) {
        const AttributeSpan &last = names[nameCount - 1];
        m_st.m_attributeNameStart = last.nameStart;
        m_st.m_attributeValueStart = last.valueStart;
        m_st.m_attributeNameHash = last.hash;
        m_st.m_attributeValueLength = 0xFE;
    }
    if (m_tell) {
        m_token.nameStart = nameStart;
        m_token.nameEnd = nameEnd;
        m_token.attributes.clear();
        for (const AttributeSpan &span : std::span(names, nameCount)) {
            Attribute &attribute = m_token.attributes.emplaceBack();
            attribute.nameStart = span.nameStart;
            attribute.nameEnd = span.nameEnd;
            attribute.valueStart = span.valueStart;
            attribute.valueEnd = span.valueEnd;
            attribute.duplicate = span.duplicate;
        }
    }
    for (int i = 0; i < duplicateCount; ++i) {
        m_charStart = duplicates[i];
        error(ParseError::DuplicateAttribute);
    }
    m_charStart = p;
    m_pos = p + 1;
    m_st.m_state = State::Data;
    emitTag();
    return true;
}

void Tokenizer::emitTag()
{
    flushCharacters();
    if (m_st.m_tokenKind == TokenKind::EndTag) {
        if (m_st.m_hasAttributes)
            error(ParseError::EndTagWithAttributes);
        if (m_st.m_selfClosing)
            error(ParseError::EndTagWithTrailingSolidus);
    }
    const std::string_view name = shortName(m_st.m_tagName, m_st.m_tagNameLength);
    if (m_st.m_tokenKind == TokenKind::StartTag) {
        m_st.m_lastStartTagLength = m_st.m_tagNameLength;
        std::memcpy(m_st.m_lastStartTag, m_st.m_tagName, sizeof m_st.m_lastStartTag);
    }
    if (m_st.m_followsTree) {
        TagSummary tag;
        tag.name = name;
        tag.hash = m_st.m_tagNameHash;
        tag.selfClosing = m_st.m_selfClosing;
        tag.fontBreakout = m_st.m_fontBreakout;
        tag.htmlEncoding = m_st.m_htmlEncoding;
        if (m_st.m_tokenKind == TokenKind::StartTag) {
            switch (m_st.m_tree.startTag(tag)) {
            case TokenizerStateChange::None:
                break;
            case TokenizerStateChange::Rcdata:
                switchTo(State::Rcdata);
                break;
            case TokenizerStateChange::Rawtext:
                switchTo(State::Rawtext);
                break;
            case TokenizerStateChange::ScriptData:
                switchTo(State::ScriptData);
                break;
            case TokenizerStateChange::Plaintext:
                switchTo(State::Plaintext);
                break;
            }
        } else {
            m_st.m_tree.endTag(tag);
        }
    }
    if (m_tell) {
        m_token.kind = m_st.m_tokenKind;
        m_token.start = m_st.m_tokenStart;
        m_token.end = m_pos;
        m_token.characterReference = false;
        m_token.selfClosing = m_st.m_selfClosing;
        if (m_token.nameStart < m_runStart)
            m_token.nameStart = m_token.nameEnd = -1;
        m_sink.token(m_token);
        m_token.attributes.clear();
    }
}

// Comments and DOCTYPEs -------------------------------------------------------------------

void Tokenizer::createComment()
{
    if (m_build)
        m_token.data.clear();
}

void Tokenizer::appendToComment(char32_t c)
{
    if (m_build)
        m_token.data.append(QChar::fromUcs4(c));
}

void Tokenizer::appendToComment(QLatin1StringView s)
{
    if (m_build)
        m_token.data.append(s);
}

void Tokenizer::emitComment()
{
    flushCharacters();
    m_token.kind = TokenKind::Comment;
    m_token.start = m_st.m_tokenStart;
    m_token.end = m_pos;
    m_token.characterReference = false;
    if (m_tell)
        m_sink.token(m_token);
}

void Tokenizer::createDoctype()
{
    m_token.hasDoctypeName = false;
    m_token.forceQuirks = false;
    m_token.name.clear();
    m_token.publicIdentifier.reset();
    m_token.systemIdentifier.reset();
}

void Tokenizer::appendToDoctypeName(char32_t c)
{
    m_token.hasDoctypeName = true;
    if (m_build)
        m_token.name.append(QChar::fromUcs4(c));
}

void Tokenizer::appendToPublicIdentifier(char32_t c)
{
    if (m_build)
        m_token.publicIdentifier->append(QChar::fromUcs4(c));
}

void Tokenizer::appendToSystemIdentifier(char32_t c)
{
    if (m_build)
        m_token.systemIdentifier->append(QChar::fromUcs4(c));
}

void Tokenizer::emitDoctype()
{
    flushCharacters();
    m_token.kind = TokenKind::Doctype;
    m_token.start = m_st.m_tokenStart;
    m_token.end = m_pos;
    m_token.characterReference = false;
    if (m_tell)
        m_sink.token(m_token);
}

void Tokenizer::eofInDoctype()
{
    error(ParseError::EofInDoctype);
    m_token.forceQuirks = true;
    emitDoctype();
    emitEndOfFile();
}

void Tokenizer::tellUnfinished()
{
    if (!m_tell)
        return;
    State state = m_st.m_state;
    if (state >= State::CharacterReference)
        state = m_st.m_returnState;
    if (state >= State::TagName && state <= State::SelfClosingStartTag
        && !(state >= State::RcdataLessThanSign && state <= State::ScriptDataDoubleEscapeEnd)) {
        m_token.kind = m_st.m_tokenKind;
        if (state == State::AttributeName) {
            currentAttribute().nameEnd = m_pos;
        } else if (isAttributeValueState(state) && m_st.m_attributeValueStart >= 0) {
            Attribute &attribute = currentAttribute();
            attribute.valueStart = m_st.m_attributeValueStart;
            attribute.valueEnd = m_pos;
        }
    } else if (state == State::BogusComment || (state >= State::CommentStart && state <= State::CommentEndBang)) {
        m_token.kind = TokenKind::Comment;
    } else if (state >= State::Doctype && state <= State::BogusDoctype) {
        m_token.kind = TokenKind::Doctype;
    } else if (state >= State::CdataSection && state <= State::CdataSectionEnd) {
        m_token.kind = TokenKind::Characters;
    } else {
        return;
    }
    m_token.start = m_st.m_tokenStart;
    m_token.end = m_pos;
    m_sink.unfinished(m_token);
}

// The temporary buffer ---------------------------------------------------------------------

void Tokenizer::startBuffer()
{
    m_st.m_bufferLength = 0;
    m_st.m_bufferMatches = true;
}

void Tokenizer::appendToBuffer(char32_t lowerCase, std::string_view against)
{
    if (m_st.m_bufferLength >= against.size() || char32_t(against[m_st.m_bufferLength]) != lowerCase)
        m_st.m_bufferMatches = false;
    if (m_st.m_bufferLength < 0xFF)
        ++m_st.m_bufferLength;
    else
        m_st.m_bufferMatches = false;
}

bool Tokenizer::bufferIs(std::string_view word) const
{
    return m_st.m_bufferMatches && m_st.m_bufferLength == word.size();
}

std::string_view Tokenizer::lastStartTag() const
{
    // With none, or one longer than kept, no end tag is appropriate.
    if (m_st.m_lastStartTagLength == 0xFF)
        return "\x01";
    return std::string_view(m_st.m_lastStartTag, m_st.m_lastStartTagLength);
}

bool Tokenizer::isAppropriateEndTag() const
{
    return bufferIs(lastStartTag());
}

// The end tag name states of RCDATA, RAWTEXT and script data, which differ only in the
// state they go back to.
void Tokenizer::endTagNameState(State returnTo)
{
    const char32_t c = consume();
    if (isAsciiWhitespace(c) && isAppropriateEndTag()) {
        endTagName();
        switchTo(State::BeforeAttributeName);
    } else if (c == '/' && isAppropriateEndTag()) {
        endTagName();
        switchTo(State::SelfClosingStartTag);
    } else if (c == '>' && isAppropriateEndTag()) {
        endTagName();
        switchTo(State::Data);
        emitTag();
    } else if (isAsciiAlpha(c)) {
        appendToTagName(toAsciiLower(c));
        appendToBuffer(toAsciiLower(c), lastStartTag());
    } else {
        // "</" and the buffer are the document's own characters.
        emitCharacters(m_st.m_tokenStart, m_charStart);
        reconsumeIn(returnTo);
    }
}

void Tokenizer::endTagOpenState(State nameState, State returnTo)
{
    const char32_t c = consume();
    if (isAsciiAlpha(c)) {
        createTag(TokenKind::EndTag, returnTo);
        reconsumeIn(nameState);
    } else {
        emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 2);
        reconsumeIn(returnTo);
    }
}

// Character references -----------------------------------------------------------------

bool Tokenizer::charactersConsumedAsPartOfAnAttribute() const
{
    return isAttributeValueState(m_st.m_returnState);
}

void Tokenizer::flushLiterally(qsizetype to)
{
    if (charactersConsumedAsPartOfAnAttribute())
        appendRunToAttributeValue(m_st.m_bufferStart, to);
    else
        emitCharacters(m_st.m_bufferStart, to);
}

void Tokenizer::flushReference(char32_t first, char32_t second, qsizetype to)
{
    if (charactersConsumedAsPartOfAnAttribute()) {
        appendToAttributeValue(first);
        if (second)
            appendToAttributeValue(second);
        // Told once, as errors are, when the tag is read again.
        if (m_tell && m_charStart >= m_st.m_quietBefore)
            m_sink.attributeReference(m_st.m_bufferStart, to);
        return;
    }
    flushCharacters();
    if (m_st.m_followsTree && m_st.m_tree.beforeBody() && !readsElementText(m_st.m_returnState)
        && !isAsciiWhitespace(first))
        m_st.m_tree.characters(false);
    if (!m_tell)
        return;
    m_characters.start = m_st.m_bufferStart;
    m_characters.end = to;
    m_characters.characterReference = true;
    if (m_build) {
        m_characters.data.clear();
        m_characters.data.append(QChar::fromUcs4(first));
        if (second)
            m_characters.data.append(QChar::fromUcs4(second));
    }
    m_sink.token(m_characters);
}

void Tokenizer::namedCharacterReference()
{
    // Letters and digits and a ';' spell the longest match if the table has them, since
    // every name ends at its ';': the names found lately are looked for first, by a hash.
    qsizetype spelled = 0;
    quint32 spelledHash = hashBasis;
    while (spelled < 32 && m_pos + spelled < m_size && isAsciiAlphanumeric(m_text[m_pos + spelled]))
        spelledHash = hashStep(spelledHash, m_text[m_pos + spelled++]);
    const bool withSemicolon = m_pos + spelled < m_size && m_text[m_pos + spelled] == ';';
    quint16 &cached = m_referenceCache[spelledHash % m_referenceCache.size()];
    const NamedCharacterReference *match = nullptr;
    if (withSemicolon && cached < namedReferenceCount) {
        const NamedCharacterReference &candidate = namedReferences[cached];
        if (candidate.nameLength == spelled + 1
            && std::equal(m_text + m_pos, m_text + m_pos + spelled, namedReferenceNames + candidate.nameOffset))
            match = &candidate;
    }
    if (!match) {
        match = longestNamedReference();
        if (match && withSemicolon && match->nameLength == spelled + 1)
            cached = quint16(match - namedReferences);
    }
    namedCharacterReferenceFound(match);
}

// The longest name in the table that the next characters spell. The names are sorted,
// so those that begin with what is read so far are one range, the name itself first.
const NamedCharacterReference *Tokenizer::longestNamedReference() const
{
    // The names that begin with each ASCII character, found once.
    static const std::array<std::pair<quint16, quint16>, 128> byFirst = [] {
        std::array<std::pair<quint16, quint16>, 128> table{};
        for (quint16 i = namedReferenceCount; i-- > 0;) {
            auto &range = table[quint8(namedReferenceNames[namedReferences[i].nameOffset]) & 0x7F];
            range.first = i;
            if (range.second == 0)
                range.second = i + 1;
        }
        return table;
    }();
    const NamedCharacterReference *begin = namedReferences;
    const NamedCharacterReference *end = namedReferences + namedReferenceCount;
    if (m_pos < m_size && m_text[m_pos] < 0x80) {
        const auto [first, last] = byFirst[m_text[m_pos]];
        begin = namedReferences + first;
        end = namedReferences + last;
    }
    const NamedCharacterReference *match = nullptr;
    for (qsizetype k = 0; m_pos + k < m_size && begin != end; ++k) {
        const char16_t u = m_text[m_pos + k];
        if (u >= 0x80)
            break;
        const char c = char(u);
        begin = std::partition_point(begin, end, [k, c](const NamedCharacterReference &r) {
            return r.nameLength <= k || namedReferenceNames[r.nameOffset + k] < c;
        });
        end = std::partition_point(begin, end, [k, c](const NamedCharacterReference &r) {
            return namedReferenceNames[r.nameOffset + k] == c;
        });
        if (begin != end && begin->nameLength == k + 1)
            match = begin;
    }
    return match;
}

void Tokenizer::namedCharacterReferenceFound(const NamedCharacterReference *match)
{
    if (!match) {
        flushLiterally(m_pos);
        switchTo(State::AmbiguousAmpersand);
        return;
    }
    m_pos += match->nameLength;
    const bool endsWithSemicolon = namedReferenceNames[match->nameOffset + match->nameLength - 1] == ';';
    const char16_t next = m_pos < m_size ? m_text[m_pos] : 0;
    if (charactersConsumedAsPartOfAnAttribute() && !endsWithSemicolon
        && (next == '=' || isAsciiAlphanumeric(next))) {
        // For historical reasons: href="?a=1&copy=2" keeps its text.
        flushLiterally(m_pos);
        switchTo(m_st.m_returnState);
        return;
    }
    if (!endsWithSemicolon)
        errorAt(ParseError::MissingSemicolonAfterCharacterReference, m_pos);
    flushReference(match->first, match->second, m_pos);
    switchTo(m_st.m_returnState);
}

// After a '&' in text, "amp;", "lt;", "gt;", "quot;" or "nbsp;" read as the reference
// states would read it: each is the longest name its characters spell. Anything else
// it leaves to the states, having changed nothing.
bool Tokenizer::commonReference()
{
    // The next four code units at once, as they lie in memory, against the names'.
    if (m_size - m_pos < 4)
        return false;
    constexpr auto units = [](char16_t a, char16_t b, char16_t c, char16_t d) {
        return std::bit_cast<quint64>(std::array<char16_t, 4>{a, b, c, d});
    };
    constexpr quint64 amp = units('a', 'm', 'p', ';');
    constexpr quint64 lt = units('l', 't', ';', 0);
    constexpr quint64 gt = units('g', 't', ';', 0);
    constexpr quint64 quot = units('q', 'u', 'o', 't');
    constexpr quint64 nbsp = units('n', 'b', 's', 'p');
    const char16_t *const p = m_text + m_pos;
    quint64 four;
    std::memcpy(&four, p, sizeof four);
    const quint64 three = four & units(0xFFFF, 0xFFFF, 0xFFFF, 0);
    qsizetype length = 4;
    char16_t character;
    if (four == amp) {
        character = '&';
    } else if (three == lt) {
        character = '<';
        length = 3;
    } else if (three == gt) {
        character = '>';
        length = 3;
    } else if ((four == quot || four == nbsp) && m_size - m_pos > 4 && p[4] == ';') {
        character = four == quot ? char16_t('"') : char16_t(0xA0);
        length = 5;
    } else {
        return false;
    }
    // As the states leave it: the name's first letter read last, then the name taken whole.
    m_charStart = m_pos;
    m_current = p[0];
    m_pos += length;
    flushReference(character, 0, m_pos);
    return true;
}

void Tokenizer::numericCharacterReferenceEnd(qsizetype end)
{
    char32_t code = m_st.m_characterReferenceCode;
    if (code == 0) {
        errorAt(ParseError::NullCharacterReference, end);
        code = 0xFFFD;
    } else if (code > 0x10FFFF) {
        errorAt(ParseError::CharacterReferenceOutsideUnicodeRange, end);
        code = 0xFFFD;
    } else if (isSurrogate(code)) {
        errorAt(ParseError::SurrogateCharacterReference, end);
        code = 0xFFFD;
    } else if (isNoncharacter(code)) {
        errorAt(ParseError::NoncharacterCharacterReference, end);
    } else if (code == 0x0D || (isControl(code) && !isAsciiWhitespace(code))) {
        errorAt(ParseError::ControlCharacterReference, end);
        if (code >= 0x80 && code <= 0x9F)
            code = c1Replacements[code - 0x80];
    }
    flushReference(code, 0, end);
    switchTo(m_st.m_returnState);
}

// The states ----------------------------------------------------------------------------

void Tokenizer::steps(bool toEnd)
{
    while (!m_done && (m_pos < m_limit || (toEnd && m_pos >= m_size))) {
    switch (m_st.m_state) {
    case State::Data: {
        // Text and common tags one after another while they leave the tokenizer here,
        // then back to the loop at the run's limit or in another state.
        bool backToLoop = false;
        for (;;) {
            const qsizetype end = plainRun(LessThanSign | Ampersand);
            if (end > m_pos) {
                emitCharacters(m_pos, end);
                m_pos = end;
                if (m_pos >= m_limit) {
                    backToLoop = true;
                    break;
                }
            }
            if (m_build || m_pos >= m_limit || m_text[m_pos] != '<' || !quickTag())
                break;
            if (m_st.m_state != State::Data || m_pos >= m_limit) {
                backToLoop = true;
                break;
            }
        }
        if (backToLoop)
            continue;
        const char32_t c = consume();
        if (c == '&') {
            m_st.m_returnState = State::Data;
            m_st.m_bufferStart = m_charStart;
            if (m_pos < m_limit && commonReference())
                continue;
            switchTo(State::CharacterReference);
        } else if (c == '<') {
            m_st.m_tokenStart = m_charStart;
            switchTo(State::TagOpen);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            emitCurrentCharacter();
        } else if (c == eof) {
            emitEndOfFile();
        } else {
            emitCurrentCharacter();
        }
        continue;
    }
    case State::Rcdata: {
        const qsizetype end = plainRun(LessThanSign | Ampersand);
        if (end > m_pos) {
            emitCharacters(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == '&') {
            m_st.m_returnState = State::Rcdata;
            m_st.m_bufferStart = m_charStart;
            switchTo(State::CharacterReference);
        } else if (c == '<') {
            m_st.m_tokenStart = m_charStart;
            switchTo(State::RcdataLessThanSign);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            emitCharacter(0xFFFD);
        } else if (c == eof) {
            emitEndOfFile();
        } else {
            emitCurrentCharacter();
        }
        continue;
    }
    case State::Rawtext:
    case State::ScriptData:
    case State::Plaintext: {
        const qsizetype end = plainRun(m_st.m_state == State::Plaintext ? 0 : LessThanSign);
        if (end > m_pos) {
            emitCharacters(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == '<' && m_st.m_state != State::Plaintext) {
            m_st.m_tokenStart = m_charStart;
            switchTo(m_st.m_state == State::Rawtext ? State::RawtextLessThanSign : State::ScriptDataLessThanSign);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            emitCharacter(0xFFFD);
        } else if (c == eof) {
            emitEndOfFile();
        } else {
            emitCurrentCharacter();
        }
        continue;
    }
    case State::TagOpen: {
        const char32_t c = consume();
        if (c == '!') {
            switchTo(State::MarkupDeclarationOpen);
        } else if (c == '/') {
            switchTo(State::EndTagOpen);
        } else if (isAsciiAlpha(c)) {
            createTag(TokenKind::StartTag, State::Data);
            reconsumeIn(State::TagName);
        } else if (c == '?') {
            error(ParseError::UnexpectedQuestionMarkInsteadOfTagName);
            createComment();
            reconsumeIn(State::BogusComment);
        } else if (c == eof) {
            error(ParseError::EofBeforeTagName);
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            emitEndOfFile();
        } else {
            error(ParseError::InvalidFirstCharacterOfTagName);
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            reconsumeIn(State::Data);
        }
        continue;
    }
    case State::EndTagOpen: {
        const char32_t c = consume();
        if (isAsciiAlpha(c)) {
            createTag(TokenKind::EndTag, State::Data);
            reconsumeIn(State::TagName);
        } else if (c == '>') {
            error(ParseError::MissingEndTagName);
            switchTo(State::Data);
        } else if (c == eof) {
            error(ParseError::EofBeforeTagName);
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 2);
            emitEndOfFile();
        } else {
            error(ParseError::InvalidFirstCharacterOfTagName);
            createComment();
            reconsumeIn(State::BogusComment);
        }
        continue;
    }
    case State::TagName: {
        const qsizetype end = asciiRun(NotInTagName);
        if (end > m_pos) {
            for (qsizetype i = m_pos; i < end; ++i)
                appendToTagName(toAsciiLower(m_text[i]));
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            endTagName();
            switchTo(State::BeforeAttributeName);
        } else if (c == '/') {
            endTagName();
            switchTo(State::SelfClosingStartTag);
        } else if (c == '>') {
            endTagName();
            switchTo(State::Data);
            emitTag();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToTagName(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            appendToTagName(toAsciiLower(c));
        }
        continue;
    }
    case State::RcdataLessThanSign:
    case State::RawtextLessThanSign: {
        const State text = m_st.m_state == State::Rcdata || m_st.m_state == State::RcdataLessThanSign
            ? State::Rcdata : State::Rawtext;
        const char32_t c = consume();
        if (c == '/') {
            startBuffer();
            switchTo(text == State::Rcdata ? State::RcdataEndTagOpen : State::RawtextEndTagOpen);
        } else {
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            reconsumeIn(text);
        }
        continue;
    }
    case State::RcdataEndTagOpen:
        endTagOpenState(State::RcdataEndTagName, State::Rcdata);
        continue;
    case State::RcdataEndTagName:
        endTagNameState(State::Rcdata);
        continue;
    case State::RawtextEndTagOpen:
        endTagOpenState(State::RawtextEndTagName, State::Rawtext);
        continue;
    case State::RawtextEndTagName:
        endTagNameState(State::Rawtext);
        continue;
    case State::ScriptDataLessThanSign: {
        const char32_t c = consume();
        if (c == '/') {
            startBuffer();
            switchTo(State::ScriptDataEndTagOpen);
        } else if (c == '!') {
            switchTo(State::ScriptDataEscapeStart);
            emitCharacters(m_st.m_tokenStart, m_pos);
        } else {
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            reconsumeIn(State::ScriptData);
        }
        continue;
    }
    case State::ScriptDataEndTagOpen:
        endTagOpenState(State::ScriptDataEndTagName, State::ScriptData);
        continue;
    case State::ScriptDataEndTagName:
        endTagNameState(State::ScriptData);
        continue;
    case State::ScriptDataEscapeStart:
    case State::ScriptDataEscapeStartDash: {
        const char32_t c = consume();
        if (c == '-') {
            switchTo(m_st.m_state == State::ScriptDataEscapeStart ? State::ScriptDataEscapeStartDash
                                                                   : State::ScriptDataEscapedDashDash);
            emitCurrentCharacter();
        } else {
            reconsumeIn(State::ScriptData);
        }
        continue;
    }
    case State::ScriptDataEscaped:
    case State::ScriptDataDoubleEscaped: {
        const bool doubly = m_st.m_state == State::ScriptDataDoubleEscaped;
        const qsizetype end = plainRun(LessThanSign | HyphenMinus);
        if (end > m_pos) {
            emitCharacters(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == '-') {
            switchTo(doubly ? State::ScriptDataDoubleEscapedDash : State::ScriptDataEscapedDash);
            emitCurrentCharacter();
        } else if (c == '<') {
            m_st.m_tokenStart = m_charStart;
            if (doubly) {
                switchTo(State::ScriptDataDoubleEscapedLessThanSign);
                emitCurrentCharacter();
            } else {
                switchTo(State::ScriptDataEscapedLessThanSign);
            }
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            emitCharacter(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInScriptHtmlCommentLikeText);
            emitEndOfFile();
        } else {
            emitCurrentCharacter();
        }
        continue;
    }
    case State::ScriptDataEscapedDash:
    case State::ScriptDataEscapedDashDash:
    case State::ScriptDataDoubleEscapedDash:
    case State::ScriptDataDoubleEscapedDashDash: {
        const bool doubly = m_st.m_state == State::ScriptDataDoubleEscapedDash
            || m_st.m_state == State::ScriptDataDoubleEscapedDashDash;
        const bool dashDash = m_st.m_state == State::ScriptDataEscapedDashDash
            || m_st.m_state == State::ScriptDataDoubleEscapedDashDash;
        const State escaped = doubly ? State::ScriptDataDoubleEscaped : State::ScriptDataEscaped;
        const char32_t c = consume();
        if (c == '-') {
            switchTo(doubly ? State::ScriptDataDoubleEscapedDashDash : State::ScriptDataEscapedDashDash);
            emitCurrentCharacter();
        } else if (c == '<') {
            m_st.m_tokenStart = m_charStart;
            if (doubly) {
                switchTo(State::ScriptDataDoubleEscapedLessThanSign);
                emitCurrentCharacter();
            } else {
                switchTo(State::ScriptDataEscapedLessThanSign);
            }
        } else if (c == '>' && dashDash) {
            switchTo(State::ScriptData);
            emitCurrentCharacter();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            switchTo(escaped);
            emitCharacter(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInScriptHtmlCommentLikeText);
            emitEndOfFile();
        } else {
            switchTo(escaped);
            emitCurrentCharacter();
        }
        continue;
    }
    case State::ScriptDataEscapedLessThanSign: {
        const char32_t c = consume();
        if (c == '/') {
            startBuffer();
            switchTo(State::ScriptDataEscapedEndTagOpen);
        } else if (isAsciiAlpha(c)) {
            startBuffer();
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            reconsumeIn(State::ScriptDataDoubleEscapeStart);
        } else {
            emitCharacters(m_st.m_tokenStart, m_st.m_tokenStart + 1);
            reconsumeIn(State::ScriptDataEscaped);
        }
        continue;
    }
    case State::ScriptDataEscapedEndTagOpen:
        endTagOpenState(State::ScriptDataEscapedEndTagName, State::ScriptDataEscaped);
        continue;
    case State::ScriptDataEscapedEndTagName:
        endTagNameState(State::ScriptDataEscaped);
        continue;
    case State::ScriptDataDoubleEscapeStart:
    case State::ScriptDataDoubleEscapeEnd: {
        const bool start = m_st.m_state == State::ScriptDataDoubleEscapeStart;
        const char32_t c = consume();
        if (isAsciiWhitespace(c) || c == '/' || c == '>') {
            if (bufferIs("script"))
                switchTo(start ? State::ScriptDataDoubleEscaped : State::ScriptDataEscaped);
            else
                switchTo(start ? State::ScriptDataEscaped : State::ScriptDataDoubleEscaped);
            emitCurrentCharacter();
        } else if (isAsciiAlpha(c)) {
            appendToBuffer(toAsciiLower(c), "script");
            emitCurrentCharacter();
        } else {
            reconsumeIn(start ? State::ScriptDataEscaped : State::ScriptDataDoubleEscaped);
        }
        continue;
    }
    case State::ScriptDataDoubleEscapedLessThanSign: {
        const char32_t c = consume();
        if (c == '/') {
            startBuffer();
            switchTo(State::ScriptDataDoubleEscapeEnd);
            emitCurrentCharacter();
        } else {
            reconsumeIn(State::ScriptDataDoubleEscaped);
        }
        continue;
    }
    case State::BeforeAttributeName: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == '/' || c == '>' || c == eof) {
            reconsumeIn(State::AfterAttributeName);
        } else if (c == '=') {
            error(ParseError::UnexpectedEqualsSignBeforeAttributeName);
            startAttribute();
            appendToAttributeName(c);
            switchTo(State::AttributeName);
        } else {
            startAttribute();
            reconsumeIn(State::AttributeName);
        }
        continue;
    }
    case State::AttributeName: {
        const qsizetype end = asciiRun(NotInAttributeName);
        if (end > m_pos) {
            for (qsizetype i = m_pos; i < end; ++i)
                appendToAttributeName(toAsciiLower(m_text[i]));
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (isAsciiWhitespace(c) || c == '/' || c == '>' || c == eof) {
            endAttributeName();
            reconsumeIn(State::AfterAttributeName);
        } else if (c == '=') {
            endAttributeName();
            switchTo(State::BeforeAttributeValue);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToAttributeName(0xFFFD);
        } else {
            if (c == '"' || c == '\'' || c == '<')
                error(ParseError::UnexpectedCharacterInAttributeName);
            appendToAttributeName(toAsciiLower(c));
        }
        continue;
    }
    case State::AfterAttributeName: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == '/') {
            switchTo(State::SelfClosingStartTag);
        } else if (c == '=') {
            switchTo(State::BeforeAttributeValue);
        } else if (c == '>') {
            switchTo(State::Data);
            emitTag();
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            startAttribute();
            reconsumeIn(State::AttributeName);
        }
        continue;
    }
    case State::BeforeAttributeValue: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == '"') {
            startAttributeValue();
            switchTo(State::AttributeValueDoubleQuoted);
        } else if (c == '\'') {
            startAttributeValue();
            switchTo(State::AttributeValueSingleQuoted);
        } else if (c == '>') {
            error(ParseError::MissingAttributeValue);
            switchTo(State::Data);
            emitTag();
        } else {
            startAttributeValue();
            reconsumeIn(State::AttributeValueUnquoted);
        }
        continue;
    }
    case State::AttributeValueDoubleQuoted:
    case State::AttributeValueSingleQuoted: {
        const char16_t quote = m_st.m_state == State::AttributeValueDoubleQuoted ? '"' : '\'';
        const qsizetype end = plainRun((quote == '"' ? QuotationMark : Apostrophe) | Ampersand);
        if (end > m_pos) {
            appendRunToAttributeValue(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == quote) {
            endAttributeValue(m_pos);
            switchTo(State::AfterAttributeValueQuoted);
        } else if (c == '&') {
            m_st.m_returnState = m_st.m_state;
            m_st.m_bufferStart = m_charStart;
            switchTo(State::CharacterReference);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToAttributeValue(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            appendToAttributeValue(c);
        }
        continue;
    }
    case State::AttributeValueUnquoted: {
        const qsizetype end = asciiRun(NotInUnquotedValue);
        if (end > m_pos) {
            appendRunToAttributeValue(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            endAttributeValue(m_charStart);
            switchTo(State::BeforeAttributeName);
        } else if (c == '&') {
            m_st.m_returnState = State::AttributeValueUnquoted;
            m_st.m_bufferStart = m_charStart;
            switchTo(State::CharacterReference);
        } else if (c == '>') {
            endAttributeValue(m_charStart);
            switchTo(State::Data);
            emitTag();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToAttributeValue(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            if (c == '"' || c == '\'' || c == '<' || c == '=' || c == '`')
                error(ParseError::UnexpectedCharacterInUnquotedAttributeValue);
            appendToAttributeValue(c);
        }
        continue;
    }
    case State::AfterAttributeValueQuoted: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            switchTo(State::BeforeAttributeName);
        } else if (c == '/') {
            switchTo(State::SelfClosingStartTag);
        } else if (c == '>') {
            switchTo(State::Data);
            emitTag();
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            error(ParseError::MissingWhitespaceBetweenAttributes);
            reconsumeIn(State::BeforeAttributeName);
        }
        continue;
    }
    case State::SelfClosingStartTag: {
        const char32_t c = consume();
        if (c == '>') {
            m_st.m_selfClosing = true;
            switchTo(State::Data);
            emitTag();
        } else if (c == eof) {
            error(ParseError::EofInTag);
            emitEndOfFile();
        } else {
            error(ParseError::UnexpectedSolidusInTag);
            reconsumeIn(State::BeforeAttributeName);
        }
        continue;
    }
    case State::BogusComment: {
        const char32_t c = consume();
        if (c == '>') {
            switchTo(State::Data);
            emitComment();
        } else if (c == eof) {
            emitComment();
            emitEndOfFile();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToComment(0xFFFD);
        } else {
            appendToComment(c);
        }
        continue;
    }
    case State::MarkupDeclarationOpen: {
        m_charStart = m_pos;
        if (nextCharactersAre("--", false)) {
            m_pos += 2;
            createComment();
            switchTo(State::CommentStart);
        } else if (nextCharactersAre("doctype", true)) {
            m_pos += 7;
            createDoctype();
            switchTo(State::Doctype);
        } else if (nextCharactersAre("[CDATA[", false)) {
            m_pos += 7;
            if (m_st.m_followsTree && m_st.m_tree.inForeignContent()) {
                switchTo(State::CdataSection);
            } else {
                errorAt(ParseError::CdataInHtmlContent, m_pos - 1);
                createComment();
                appendToComment(QLatin1StringView("[CDATA["));
                switchTo(State::BogusComment);
            }
        } else {
            // The next character is read (and any fault of its own reported) first.
            consume();
            reconsume();
            error(ParseError::IncorrectlyOpenedComment);
            createComment();
            switchTo(State::BogusComment);
        }
        continue;
    }
    case State::CommentStart: {
        const char32_t c = consume();
        if (c == '-') {
            switchTo(State::CommentStartDash);
        } else if (c == '>') {
            error(ParseError::AbruptClosingOfEmptyComment);
            switchTo(State::Data);
            emitComment();
        } else {
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::CommentStartDash: {
        const char32_t c = consume();
        if (c == '-') {
            switchTo(State::CommentEnd);
        } else if (c == '>') {
            error(ParseError::AbruptClosingOfEmptyComment);
            switchTo(State::Data);
            emitComment();
        } else if (c == eof) {
            error(ParseError::EofInComment);
            emitComment();
            emitEndOfFile();
        } else {
            appendToComment('-');
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::Comment: {
        const qsizetype end = plainRun(LessThanSign | HyphenMinus);
        if (end > m_pos) {
            if (m_build)
                m_token.data.append(QStringView(m_text + m_pos, end - m_pos));
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == '<') {
            appendToComment(c);
            switchTo(State::CommentLessThanSign);
        } else if (c == '-') {
            switchTo(State::CommentEndDash);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToComment(0xFFFD);
        } else if (c == eof) {
            error(ParseError::EofInComment);
            emitComment();
            emitEndOfFile();
        } else {
            appendToComment(c);
        }
        continue;
    }
    case State::CommentLessThanSign: {
        const char32_t c = consume();
        if (c == '!') {
            appendToComment(c);
            switchTo(State::CommentLessThanSignBang);
        } else if (c == '<') {
            appendToComment(c);
        } else {
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::CommentLessThanSignBang: {
        const char32_t c = consume();
        if (c == '-')
            switchTo(State::CommentLessThanSignBangDash);
        else
            reconsumeIn(State::Comment);
        continue;
    }
    case State::CommentLessThanSignBangDash: {
        const char32_t c = consume();
        if (c == '-')
            switchTo(State::CommentLessThanSignBangDashDash);
        else
            reconsumeIn(State::CommentEndDash);
        continue;
    }
    case State::CommentLessThanSignBangDashDash: {
        const char32_t c = consume();
        if (c != '>' && c != eof)
            error(ParseError::NestedComment);
        reconsumeIn(State::CommentEnd);
        continue;
    }
    case State::CommentEndDash: {
        const char32_t c = consume();
        if (c == '-') {
            switchTo(State::CommentEnd);
        } else if (c == eof) {
            error(ParseError::EofInComment);
            emitComment();
            emitEndOfFile();
        } else {
            appendToComment('-');
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::CommentEnd: {
        const char32_t c = consume();
        if (c == '>') {
            switchTo(State::Data);
            emitComment();
        } else if (c == '!') {
            switchTo(State::CommentEndBang);
        } else if (c == '-') {
            appendToComment('-');
        } else if (c == eof) {
            error(ParseError::EofInComment);
            emitComment();
            emitEndOfFile();
        } else {
            appendToComment(QLatin1StringView("--"));
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::CommentEndBang: {
        const char32_t c = consume();
        if (c == '-') {
            appendToComment(QLatin1StringView("--!"));
            switchTo(State::CommentEndDash);
        } else if (c == '>') {
            error(ParseError::IncorrectlyClosedComment);
            switchTo(State::Data);
            emitComment();
        } else if (c == eof) {
            error(ParseError::EofInComment);
            emitComment();
            emitEndOfFile();
        } else {
            appendToComment(QLatin1StringView("--!"));
            reconsumeIn(State::Comment);
        }
        continue;
    }
    case State::Doctype: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            switchTo(State::BeforeDoctypeName);
        } else if (c == '>') {
            reconsumeIn(State::BeforeDoctypeName);
        } else if (c == eof) {
            eofInDoctype();
        } else {
            error(ParseError::MissingWhitespaceBeforeDoctypeName);
            reconsumeIn(State::BeforeDoctypeName);
        }
        continue;
    }
    case State::BeforeDoctypeName: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToDoctypeName(0xFFFD);
            switchTo(State::DoctypeName);
        } else if (c == '>') {
            error(ParseError::MissingDoctypeName);
            m_token.forceQuirks = true;
            switchTo(State::Data);
            emitDoctype();
        } else if (c == eof) {
            eofInDoctype();
        } else {
            appendToDoctypeName(toAsciiLower(c));
            switchTo(State::DoctypeName);
        }
        continue;
    }
    case State::DoctypeName: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            switchTo(State::AfterDoctypeName);
        } else if (c == '>') {
            switchTo(State::Data);
            emitDoctype();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            appendToDoctypeName(0xFFFD);
        } else if (c == eof) {
            eofInDoctype();
        } else {
            appendToDoctypeName(toAsciiLower(c));
        }
        continue;
    }
    case State::AfterDoctypeName: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == '>') {
            switchTo(State::Data);
            emitDoctype();
        } else if (c == eof) {
            eofInDoctype();
        } else {
            reconsume();
            if (nextCharactersAre("public", true)) {
                m_pos += 6;
                switchTo(State::AfterDoctypePublicKeyword);
            } else if (nextCharactersAre("system", true)) {
                m_pos += 6;
                switchTo(State::AfterDoctypeSystemKeyword);
            } else {
                error(ParseError::InvalidCharacterSequenceAfterDoctypeName);
                m_token.forceQuirks = true;
                switchTo(State::BogusDoctype);
            }
        }
        continue;
    }
    case State::AfterDoctypePublicKeyword:
    case State::BeforeDoctypePublicIdentifier:
    case State::AfterDoctypeSystemKeyword:
    case State::BeforeDoctypeSystemIdentifier: {
        const bool isPublic = m_st.m_state == State::AfterDoctypePublicKeyword
            || m_st.m_state == State::BeforeDoctypePublicIdentifier;
        const bool afterKeyword = m_st.m_state == State::AfterDoctypePublicKeyword
            || m_st.m_state == State::AfterDoctypeSystemKeyword;
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            if (afterKeyword)
                switchTo(isPublic ? State::BeforeDoctypePublicIdentifier : State::BeforeDoctypeSystemIdentifier);
        } else if (c == '"' || c == '\'') {
            if (afterKeyword)
                error(isPublic ? ParseError::MissingWhitespaceAfterDoctypePublicKeyword
                               : ParseError::MissingWhitespaceAfterDoctypeSystemKeyword);
            if (isPublic) {
                m_token.publicIdentifier = QString();
                switchTo(c == '"' ? State::DoctypePublicIdentifierDoubleQuoted
                                  : State::DoctypePublicIdentifierSingleQuoted);
            } else {
                m_token.systemIdentifier = QString();
                switchTo(c == '"' ? State::DoctypeSystemIdentifierDoubleQuoted
                                  : State::DoctypeSystemIdentifierSingleQuoted);
            }
        } else if (c == '>') {
            error(isPublic ? ParseError::MissingDoctypePublicIdentifier : ParseError::MissingDoctypeSystemIdentifier);
            m_token.forceQuirks = true;
            switchTo(State::Data);
            emitDoctype();
        } else if (c == eof) {
            eofInDoctype();
        } else {
            error(isPublic ? ParseError::MissingQuoteBeforeDoctypePublicIdentifier
                           : ParseError::MissingQuoteBeforeDoctypeSystemIdentifier);
            m_token.forceQuirks = true;
            reconsumeIn(State::BogusDoctype);
        }
        continue;
    }
    case State::DoctypePublicIdentifierDoubleQuoted:
    case State::DoctypePublicIdentifierSingleQuoted:
    case State::DoctypeSystemIdentifierDoubleQuoted:
    case State::DoctypeSystemIdentifierSingleQuoted: {
        const bool isPublic = m_st.m_state == State::DoctypePublicIdentifierDoubleQuoted
            || m_st.m_state == State::DoctypePublicIdentifierSingleQuoted;
        const char32_t quote = (m_st.m_state == State::DoctypePublicIdentifierDoubleQuoted
                                || m_st.m_state == State::DoctypeSystemIdentifierDoubleQuoted) ? '"' : '\'';
        const char32_t c = consume();
        if (c == quote) {
            switchTo(isPublic ? State::AfterDoctypePublicIdentifier : State::AfterDoctypeSystemIdentifier);
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
            isPublic ? appendToPublicIdentifier(0xFFFD) : appendToSystemIdentifier(0xFFFD);
        } else if (c == '>') {
            error(isPublic ? ParseError::AbruptDoctypePublicIdentifier : ParseError::AbruptDoctypeSystemIdentifier);
            m_token.forceQuirks = true;
            switchTo(State::Data);
            emitDoctype();
        } else if (c == eof) {
            eofInDoctype();
        } else {
            isPublic ? appendToPublicIdentifier(c) : appendToSystemIdentifier(c);
        }
        continue;
    }
    case State::AfterDoctypePublicIdentifier:
    case State::BetweenDoctypePublicAndSystemIdentifiers: {
        const bool after = m_st.m_state == State::AfterDoctypePublicIdentifier;
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            switchTo(State::BetweenDoctypePublicAndSystemIdentifiers);
        } else if (c == '>') {
            switchTo(State::Data);
            emitDoctype();
        } else if (c == '"' || c == '\'') {
            if (after)
                error(ParseError::MissingWhitespaceBetweenDoctypePublicAndSystemIdentifiers);
            m_token.systemIdentifier = QString();
            switchTo(c == '"' ? State::DoctypeSystemIdentifierDoubleQuoted : State::DoctypeSystemIdentifierSingleQuoted);
        } else if (c == eof) {
            eofInDoctype();
        } else {
            error(ParseError::MissingQuoteBeforeDoctypeSystemIdentifier);
            m_token.forceQuirks = true;
            reconsumeIn(State::BogusDoctype);
        }
        continue;
    }
    case State::AfterDoctypeSystemIdentifier: {
        const char32_t c = consume();
        if (isAsciiWhitespace(c)) {
            continue;
        } else if (c == '>') {
            switchTo(State::Data);
            emitDoctype();
        } else if (c == eof) {
            eofInDoctype();
        } else {
            error(ParseError::UnexpectedCharacterAfterDoctypeSystemIdentifier);
            reconsumeIn(State::BogusDoctype);
        }
        continue;
    }
    case State::BogusDoctype: {
        const char32_t c = consume();
        if (c == '>') {
            switchTo(State::Data);
            emitDoctype();
        } else if (c == 0) {
            error(ParseError::UnexpectedNullCharacter);
        } else if (c == eof) {
            emitDoctype();
            emitEndOfFile();
        }
        continue;
    }
    case State::CdataSection: {
        const qsizetype end = plainRun(RightSquareBracket);
        if (end > m_pos) {
            emitCharacters(m_pos, end);
            m_pos = end;
            continue;
        }
        const char32_t c = consume();
        if (c == ']') {
            switchTo(State::CdataSectionBracket);
        } else if (c == eof) {
            error(ParseError::EofInCdata);
            flushCharacters();
            if (m_tell)
                m_sink.cdataSection(m_st.m_tokenStart, m_pos);
            emitEndOfFile();
        } else {
            emitCurrentCharacter();
        }
        continue;
    }
    case State::CdataSectionBracket: {
        const char32_t c = consume();
        if (c == ']') {
            switchTo(State::CdataSectionEnd);
        } else {
            emitCharacters(m_charStart - 1, m_charStart);
            reconsumeIn(State::CdataSection);
        }
        continue;
    }
    case State::CdataSectionEnd: {
        const char32_t c = consume();
        if (c == ']') {
            emitCharacters(m_charStart - 2, m_charStart - 1);
        } else if (c == '>') {
            switchTo(State::Data);
            flushCharacters();
            if (m_tell)
                m_sink.cdataSection(m_st.m_tokenStart, m_pos);
        } else {
            emitCharacters(m_charStart - 2, m_charStart);
            reconsumeIn(State::CdataSection);
        }
        continue;
    }
    case State::CharacterReference: {
        const char32_t c = consume();
        if (isAsciiAlphanumeric(c)) {
            reconsumeIn(State::NamedCharacterReference);
        } else if (c == '#') {
            switchTo(State::NumericCharacterReference);
        } else {
            flushLiterally(m_charStart);
            reconsumeIn(m_st.m_returnState);
        }
        continue;
    }
    case State::NamedCharacterReference:
        namedCharacterReference();
        continue;
    case State::AmbiguousAmpersand: {
        const char32_t c = consume();
        if (isAsciiAlphanumeric(c)) {
            if (charactersConsumedAsPartOfAnAttribute())
                appendToAttributeValue(c);
            else
                emitCurrentCharacter();
        } else if (c == ';') {
            error(ParseError::UnknownNamedCharacterReference);
            reconsumeIn(m_st.m_returnState);
        } else {
            reconsumeIn(m_st.m_returnState);
        }
        continue;
    }
    case State::NumericCharacterReference: {
        m_st.m_characterReferenceCode = 0;
        const char32_t c = consume();
        if (c == 'x' || c == 'X')
            switchTo(State::HexadecimalCharacterReferenceStart);
        else
            reconsumeIn(State::DecimalCharacterReferenceStart);
        continue;
    }
    case State::HexadecimalCharacterReferenceStart:
    case State::DecimalCharacterReferenceStart: {
        const bool hex = m_st.m_state == State::HexadecimalCharacterReferenceStart;
        const char32_t c = consume();
        if (hex ? isAsciiHexDigit(c) : isAsciiDigit(c)) {
            reconsumeIn(hex ? State::HexadecimalCharacterReference : State::DecimalCharacterReference);
        } else {
            error(ParseError::AbsenceOfDigitsInNumericCharacterReference);
            flushLiterally(m_charStart);
            reconsumeIn(m_st.m_returnState);
        }
        continue;
    }
    case State::HexadecimalCharacterReference:
    case State::DecimalCharacterReference: {
        const bool hex = m_st.m_state == State::HexadecimalCharacterReference;
        const char32_t c = consume();
        quint32 &code = m_st.m_characterReferenceCode;
        if (hex ? isAsciiHexDigit(c) : isAsciiDigit(c)) {
            const quint32 digit = isAsciiDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
            // Past U+10FFFF the value only needs to stay past it.
            code = std::min<quint32>(code * (hex ? 16 : 10) + digit, 0x110000);
        } else if (c == ';') {
            switchTo(State::NumericCharacterReferenceEnd);
            numericCharacterReferenceEnd(m_pos);
        } else {
            error(ParseError::MissingSemicolonAfterCharacterReference);
            reconsumeIn(State::NumericCharacterReferenceEnd);
            numericCharacterReferenceEnd(m_pos);
        }
        continue;
    }
    case State::NumericCharacterReferenceEnd:
        numericCharacterReferenceEnd(m_pos);
        continue;
    }
    }
}

} // namespace html
