#include "MarkupTokenizer.h"

#include <algorithm>
#include <string_view>

namespace {

// The tokenizer states, named as HTML's tokenizer names them, with XML's rules where
// the two differ: no raw text, CDATA sections anywhere, a processing instruction ended
// by "?>", a DOCTYPE's internal subset. The states that only tell parse errors apart
// (comment less-than sign, ...) are left out: they end where the states kept here end.
enum State : quint8 {
    Data,
    TagName,
    BeforeAttributeName,
    AttributeName,
    AfterAttributeName,
    BeforeAttributeValue,
    AttributeValueDoubleQuoted,
    AttributeValueSingleQuoted,
    AttributeValueUnquoted,
    AfterAttributeValueQuoted,
    SelfClosingStartTag,
    CommentStart,
    CommentStartDash,
    Comment,
    CommentEndDash,
    CommentEnd,
    CommentEndBang,
    BogusComment,
    Doctype,
    DoctypeInternalSubset, // "<!DOCTYPE svg [ <!ENTITY ...> ]>"
    CDataSection,
    CDataSectionBracket,
    CDataSectionEnd,
    ProcessingInstruction,
    ProcessingInstructionQuestionMark,
    DecimalCharacterReference,
    HexadecimalCharacterReference,
};

// CounterClockwiseContourIntegral, the longest name of a character reference.
constexpr qsizetype longestReferenceName = 31;

constexpr bool isSpace(int c)
{
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

constexpr bool isAsciiAlpha(int c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

constexpr bool isAsciiDigit(int c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isAsciiHexDigit(int c)
{
    return isAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

constexpr int toAsciiLower(int c)
{
    return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
}

// What may start a tag's name: a letter, '_', ':', or any character past ASCII.
constexpr bool startsName(int c)
{
    return isAsciiAlpha(c) || c == '_' || c == ':' || c >= 0x80;
}

// The next place a character occurs at or after a position, remembered while the
// position has not passed it, so that each character is looked for once per call.
struct NextOf
{
    char16_t c;
    qsizetype at = -1;

    qsizetype from(QStringView text, qsizetype pos)
    {
        if (at < pos) {
            // Markup is short hops between '<', '"' and the like: a look at the next
            // few characters is quicker than a call into Qt's vectorised search.
            const qsizetype nearEnd = std::min(text.size(), pos + 16);
            for (at = pos; at < nearEnd; ++at) {
                if (text[at] == c)
                    return at;
            }
            if (at < text.size()) {
                at = text.indexOf(QChar(c), at);
                if (at < 0)
                    at = text.size();
            }
        }
        return at;
    }
};

} // namespace

bool MarkupState::isData() const
{
    return m_state == Data && m_pending == 0;
}

bool MarkupState::isInsideTag() const
{
    const auto inTag = [](quint8 state) { return state >= TagName && state <= SelfClosingStartTag; };
    const bool reference = m_state == DecimalCharacterReference || m_state == HexadecimalCharacterReference;
    const bool instruction = m_state == ProcessingInstruction || m_state == ProcessingInstructionQuestionMark;
    return inTag(m_state) || instruction || (reference && inTag(m_returnState))
        || (m_pending && (m_pendingRole == MarkupRole::Tag || m_pendingRole == MarkupRole::ProcessingInstruction));
}

template<bool WithSpans>
class MarkupTokenizer
{
public:
    MarkupTokenizer(QStringView text, QStringView following, MarkupState state, QList<MarkupSpan> *spans)
        : m_view(text), m_text(text.utf16()), m_size(text.size()), m_following(following), m_st(state),
          m_spans(spans), m_firstSpan(spans ? spans->size() : 0)
    {
    }

    MarkupState run()
    {
        while (m_pos < m_size) {
            if (m_st.m_pending) {
                setRole(m_st.m_pendingRole);
                const qsizetype n = std::min<qsizetype>(m_st.m_pending, m_size - m_pos);
                m_pos += n;
                m_st.m_pending -= quint8(n);
                if (m_st.m_pending == 0)
                    m_st.m_pendingRole = MarkupRole::Text;
                continue;
            }
            step();
        }
        if constexpr (WithSpans) {
            if (m_size > m_runStart)
                m_spans->append({m_runStart, m_size - m_runStart, m_runRole});
        }
        return m_st;
    }

private:
    void step()
    {
        switch (State(m_st.m_state)) {
        case Data: return data();
        case TagName:
        case BeforeAttributeName:
        case AttributeName:
        case AfterAttributeName:
        case BeforeAttributeValue:
        case AttributeValueDoubleQuoted:
        case AttributeValueSingleQuoted:
        case AttributeValueUnquoted:
        case AfterAttributeValueQuoted:
        case SelfClosingStartTag:
            return tag();
        case CommentStart: return commentStart();
        case CommentStartDash: return commentStartDash();
        case Comment: return comment();
        case CommentEndDash: return commentEndDash();
        case CommentEnd: return commentEnd();
        case CommentEndBang: return commentEndBang();
        case BogusComment: return untilGreaterThan(MarkupRole::Comment);
        case Doctype: return doctype();
        case DoctypeInternalSubset: return doctypeInternalSubset();
        case CDataSection: return cdataSection();
        case CDataSectionBracket: return cdataSectionBracket();
        case CDataSectionEnd: return cdataSectionEnd();
        case ProcessingInstruction: return processingInstruction();
        case ProcessingInstructionQuestionMark: return processingInstructionQuestionMark();
        case DecimalCharacterReference: return numericCharacterReference(isAsciiDigit);
        case HexadecimalCharacterReference: return numericCharacterReference(isAsciiHexDigit);
        }
        Q_UNREACHABLE();
    }

    // --- Reading -----------------------------------------------------------------

    // The character at a position, looking on into the text that follows; -1 past the
    // end of the document.
    int peek(qsizetype at) const
    {
        if (at < m_size)
            return m_text[at];
        at -= m_size;
        return at < m_following.size() ? m_following[at].unicode() : -1;
    }

    // Whether the document holds what at a position; what is in lower case when
    // anyCase is set.
    bool lookingAt(qsizetype at, std::string_view what, bool anyCase = false) const
    {
        for (char w : what) {
            const int c = peek(at++);
            if ((anyCase ? toAsciiLower(c) : c) != w)
                return false;
        }
        return true;
    }

    void setState(State state) { m_st.m_state = state; }

    // Colours from here on in role, ending the stretch before it when the role changes.
    void setRole(MarkupRole role) { setRoleAt(m_pos, role); }

    void setRoleAt(qsizetype at, MarkupRole role)
    {
        if constexpr (WithSpans) {
            if (role != m_runRole) {
                if (at > m_runStart) {
                    m_spans->append({m_runStart, at - m_runStart, m_runRole});
                    m_runStart = at;
                } else if (m_spans->size() > m_firstSpan && m_spans->last().role == role) {
                    // Nothing was coloured in the role between: "<a><b>" is one stretch.
                    m_runStart = m_spans->last().start;
                    m_spans->removeLast();
                }
                m_runRole = role;
            }
        } else {
            Q_UNUSED(at);
            Q_UNUSED(role);
        }
    }

    // Marks the next n characters (some perhaps in a later call) as an opener already
    // recognised, in role, and goes on in state after them.
    void begin(qsizetype n, MarkupRole role, State state)
    {
        setRole(role);
        const qsizetype here = std::min(n, m_size - m_pos);
        m_pos += here;
        if (here < n) {
            m_st.m_pending = quint8(n - here);
            m_st.m_pendingRole = role;
        }
        setState(state);
    }

    // --- Character references ----------------------------------------------------

    // At '&': colours a character reference that starts here. Named references are
    // those that look like one: a letter, letters and digits, ';'. Numeric ones are
    // coloured as far as their digits go, ';' or not.
    bool characterReference()
    {
        const int c = peek(m_pos + 1);
        if (isAsciiAlpha(c)) {
            const qsizetype name = m_pos + 1;
            for (qsizetype end = name + 1; end - name <= longestReferenceName; ++end) {
                const int d = peek(end);
                if (d == ';') {
                    begin(end + 1 - m_pos, MarkupRole::CharacterReference, State(m_st.m_state));
                    return true;
                }
                if (!isAsciiAlpha(d) && !isAsciiDigit(d))
                    return false;
            }
            return false;
        }
        if (c != '#')
            return false;
        const int d = peek(m_pos + 2);
        qsizetype openerLength = 0;
        if ((d == 'x' || d == 'X') && isAsciiHexDigit(peek(m_pos + 3)))
            openerLength = 3;
        else if (isAsciiDigit(d))
            openerLength = 2;
        else
            return false;
        m_st.m_returnState = m_st.m_state;
        begin(openerLength, MarkupRole::CharacterReference,
              openerLength == 3 ? HexadecimalCharacterReference : DecimalCharacterReference);
        return true;
    }

    void numericCharacterReference(bool (*isDigit)(int))
    {
        setRole(MarkupRole::CharacterReference);
        while (m_pos < m_size && isDigit(m_text[m_pos]))
            ++m_pos;
        if (m_pos < m_size) {
            if (m_text[m_pos] == ';')
                ++m_pos;
            setState(State(m_st.m_returnState));
            m_st.m_returnState = 0;
        }
    }

    // --- Text --------------------------------------------------------------------

    void data()
    {
        while (true) {
            setRole(MarkupRole::Text);
            const qsizetype at = std::min(m_lessThan.from(m_view, m_pos), m_ampersand.from(m_view, m_pos));
            m_pos = at;
            if (at == m_size)
                return;
            if (m_text[at] == '&') {
                if (characterReference())
                    return;
            } else if (tagOpen()) {
                // Straight into the tag and on after it: text and tags take turns.
                if (m_st.m_state != TagName || m_st.m_pending)
                    return;
                tag();
                if (m_st.m_state != Data || m_pos == m_size)
                    return;
                continue;
            }
            ++m_pos;
        }
    }

    // At '<' in data: recognises what it opens. A '<' that opens nothing is text.
    bool tagOpen()
    {
        const int c = peek(m_pos + 1);
        if (startsName(c)) {
            startTag(1);
            return true;
        }
        switch (c) {
        case '!':
            markupDeclarationOpen();
            return true;
        case '/': {
            const int d = peek(m_pos + 2);
            if (startsName(d))
                startTag(2);
            else if (d == '>') // "</>": an empty tag
                begin(3, MarkupRole::Tag, Data);
            else if (d < 0)
                return false;
            else
                begin(2, MarkupRole::Comment, BogusComment);
            return true;
        }
        case '?':
            begin(2, MarkupRole::ProcessingInstruction, ProcessingInstruction);
            return true;
        default:
            return false;
        }
    }

    void markupDeclarationOpen()
    {
        if (lookingAt(m_pos + 2, "--")) {
            begin(4, MarkupRole::Comment, CommentStart);
        } else if (lookingAt(m_pos + 2, "doctype", true)) {
            begin(9, MarkupRole::Doctype, Doctype);
        } else if (lookingAt(m_pos + 2, "[CDATA[")) {
            begin(9, MarkupRole::CData, CDataSection);
        } else {
            begin(2, MarkupRole::Comment, BogusComment);
        }
    }

    void startTag(qsizetype openerLength)
    {
        begin(openerLength, MarkupRole::Tag, TagName);
    }

    // --- Tags ----------------------------------------------------------------------

    // At '>': ends the tag.
    void emitTag()
    {
        setRole(MarkupRole::Tag);
        ++m_pos;
        setState(Data);
    }

    // The states inside a tag run one into the next here, by jumps as in the standard's
    // text, rather than by a round through step() for each: tags are most of markup.
    void tag()
    {
        const char16_t *const text = m_text;
        qsizetype pos = m_pos;
        char16_t c;
        NextOf *quote = nullptr;
        State quotedState = AttributeValueDoubleQuoted;
        const auto stopIn = [&](State state) {
            m_pos = pos;
            setState(state);
        };
        const auto colour = [&](MarkupRole role) { setRoleAt(pos, role); };

        switch (State(m_st.m_state)) {
        case TagName: goto tagName;
        case BeforeAttributeName: goto beforeAttributeName;
        case AttributeName: goto attributeName;
        case AfterAttributeName: goto afterAttributeName;
        case BeforeAttributeValue: goto beforeAttributeValue;
        case AttributeValueDoubleQuoted: goto attributeValueDoubleQuoted;
        case AttributeValueSingleQuoted: goto attributeValueSingleQuoted;
        case AttributeValueUnquoted: goto attributeValueUnquoted;
        case AfterAttributeValueQuoted: goto afterAttributeValueQuoted;
        case SelfClosingStartTag: goto selfClosingStartTag;
        default: Q_UNREACHABLE();
        }

    tagName:
        colour(MarkupRole::Tag);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(TagName);
            c = text[pos];
            if (isSpace(c)) {
                ++pos;
                goto beforeAttributeName;
            }
            if (c == '/') {
                ++pos;
                goto selfClosingStartTag;
            }
            if (c == '>')
                goto endOfTag;
        }

    beforeAttributeName:
        colour(MarkupRole::Tag);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(BeforeAttributeName);
            if (!isSpace(text[pos]))
                break;
        }
        if (text[pos] == '/' || text[pos] == '>')
            goto afterAttributeName;
        // Anything else starts a name, even '=' ("<a =b>" has an attribute "=b").
        colour(MarkupRole::AttributeName);
        ++pos;
        goto attributeName;

    attributeName:
        colour(MarkupRole::AttributeName);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(AttributeName);
            c = text[pos];
            if (isSpace(c) || c == '/' || c == '>')
                goto afterAttributeName;
            if (c == '=') {
                colour(MarkupRole::Tag);
                ++pos;
                goto beforeAttributeValue;
            }
        }

    afterAttributeName:
        colour(MarkupRole::Tag);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(AfterAttributeName);
            if (!isSpace(text[pos]))
                break;
        }
        switch (text[pos]) {
        case '/':
            ++pos;
            goto selfClosingStartTag;
        case '=':
            ++pos;
            goto beforeAttributeValue;
        case '>':
            goto endOfTag;
        default:
            goto attributeName;
        }

    beforeAttributeValue:
        colour(MarkupRole::Tag);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(BeforeAttributeValue);
            if (!isSpace(text[pos]))
                break;
        }
        switch (text[pos]) {
        case '"':
            colour(MarkupRole::AttributeValue);
            ++pos;
            goto attributeValueDoubleQuoted;
        case '\'':
            colour(MarkupRole::AttributeValue);
            ++pos;
            goto attributeValueSingleQuoted;
        case '>':
            goto endOfTag;
        default:
            goto attributeValueUnquoted;
        }

    attributeValueDoubleQuoted:
        quote = &m_doubleQuote;
        quotedState = AttributeValueDoubleQuoted;
        goto attributeValueQuoted;

    attributeValueSingleQuoted:
        quote = &m_singleQuote;
        quotedState = AttributeValueSingleQuoted;
        goto attributeValueQuoted;

    attributeValueQuoted:
        colour(MarkupRole::AttributeValue);
        for (;; ++pos) {
            pos = std::min(quote->from(m_view, pos), m_ampersand.from(m_view, pos));
            if (pos == m_size)
                return stopIn(quotedState);
            if (text[pos] != '&') {
                ++pos;
                goto afterAttributeValueQuoted;
            }
            stopIn(quotedState);
            if (characterReference())
                return;
        }

    attributeValueUnquoted:
        colour(MarkupRole::AttributeValue);
        for (;; ++pos) {
            if (pos == m_size)
                return stopIn(AttributeValueUnquoted);
            c = text[pos];
            if (isSpace(c)) {
                colour(MarkupRole::Tag);
                ++pos;
                goto beforeAttributeName;
            }
            if (c == '>')
                goto endOfTag;
            if (c == '&') {
                stopIn(AttributeValueUnquoted);
                if (characterReference())
                    return;
            }
        }

    afterAttributeValueQuoted:
        colour(MarkupRole::Tag);
        if (pos == m_size)
            return stopIn(AfterAttributeValueQuoted);
        c = text[pos];
        if (c == '>')
            goto endOfTag;
        if (isSpace(c)) {
            ++pos;
            goto beforeAttributeName;
        }
        if (c == '/') {
            ++pos;
            goto selfClosingStartTag;
        }
        goto beforeAttributeName; // '<a b="c"d>': a missing space

    selfClosingStartTag:
        colour(MarkupRole::Tag);
        if (pos == m_size)
            return stopIn(SelfClosingStartTag);
        if (text[pos] == '>')
            goto endOfTag;
        goto beforeAttributeName;

    endOfTag:
        m_pos = pos;
        emitTag();
    }

    // --- Comments and the like -----------------------------------------------------

    void commentStart()
    {
        setRole(MarkupRole::Comment);
        const char16_t c = m_text[m_pos];
        if (c == '-') {
            ++m_pos;
            return setState(CommentStartDash);
        }
        if (c == '>') { // "<!-->"
            ++m_pos;
            return setState(Data);
        }
        setState(Comment);
    }

    void commentStartDash()
    {
        setRole(MarkupRole::Comment);
        const char16_t c = m_text[m_pos];
        if (c == '-') {
            ++m_pos;
            return setState(CommentEnd);
        }
        if (c == '>') { // "<!--->"
            ++m_pos;
            return setState(Data);
        }
        setState(Comment);
    }

    // Colours in role up to the next of what finder looks for, and goes past it into
    // next; with none ahead, to the end of the text.
    void throughNext(NextOf &finder, MarkupRole role, State next)
    {
        setRole(role);
        m_pos = finder.from(m_view, m_pos);
        if (m_pos < m_size) {
            ++m_pos;
            setState(next);
        }
    }

    void comment()
    {
        throughNext(m_dash, MarkupRole::Comment, CommentEndDash);
    }

    void commentEndDash()
    {
        setRole(MarkupRole::Comment);
        if (m_text[m_pos] == '-') {
            ++m_pos;
            return setState(CommentEnd);
        }
        setState(Comment);
    }

    void commentEnd()
    {
        setRole(MarkupRole::Comment);
        switch (m_text[m_pos]) {
        case '>':
            ++m_pos;
            return setState(Data);
        case '!':
            ++m_pos;
            return setState(CommentEndBang);
        case '-':
            ++m_pos;
            return;
        default:
            return setState(Comment);
        }
    }

    void commentEndBang()
    {
        setRole(MarkupRole::Comment);
        switch (m_text[m_pos]) {
        case '-':
            ++m_pos;
            return setState(CommentEndDash);
        case '>': // "--!>"
            ++m_pos;
            return setState(Data);
        default:
            return setState(Comment);
        }
    }

    // Bogus comments end at the first '>'.
    void untilGreaterThan(MarkupRole role)
    {
        throughNext(m_greaterThan, role, Data);
    }

    // A DOCTYPE ends at its first '>' outside its internal subset.
    void doctype()
    {
        setRole(MarkupRole::Doctype);
        for (; m_pos < m_size; ++m_pos) {
            if (m_text[m_pos] == '>') {
                ++m_pos;
                return setState(Data);
            }
            if (m_text[m_pos] == '[') {
                ++m_pos;
                return setState(DoctypeInternalSubset);
            }
        }
    }

    void doctypeInternalSubset()
    {
        throughNext(m_closingBracket, MarkupRole::Doctype, Doctype);
    }

    void cdataSection()
    {
        throughNext(m_closingBracket, MarkupRole::CData, CDataSectionBracket);
    }

    void cdataSectionBracket()
    {
        setRole(MarkupRole::CData);
        if (m_text[m_pos] == ']') {
            ++m_pos;
            return setState(CDataSectionEnd);
        }
        setState(CDataSection);
    }

    void cdataSectionEnd()
    {
        setRole(MarkupRole::CData);
        const char16_t c = m_text[m_pos];
        if (c == ']') {
            ++m_pos;
        } else if (c == '>') {
            ++m_pos;
            setState(Data);
        } else {
            setState(CDataSection);
        }
    }

    void processingInstruction()
    {
        throughNext(m_questionMark, MarkupRole::ProcessingInstruction, ProcessingInstructionQuestionMark);
    }

    void processingInstructionQuestionMark()
    {
        setRole(MarkupRole::ProcessingInstruction);
        const char16_t c = m_text[m_pos];
        if (c == '>') {
            ++m_pos;
            setState(Data);
        } else if (c == '?') {
            ++m_pos;
        } else {
            setState(ProcessingInstruction);
        }
    }

    QStringView m_view;
    const char16_t *m_text;
    qsizetype m_size;
    QStringView m_following;
    MarkupState m_st;
    QList<MarkupSpan> *m_spans;
    qsizetype m_firstSpan; // the first of this call's spans
    qsizetype m_pos = 0;
    qsizetype m_runStart = 0;
    MarkupRole m_runRole = MarkupRole::Text;

    NextOf m_lessThan{u'<'};
    NextOf m_greaterThan{u'>'};
    NextOf m_ampersand{u'&'};
    NextOf m_dash{u'-'};
    NextOf m_doubleQuote{u'"'};
    NextOf m_singleQuote{u'\''};
    NextOf m_closingBracket{u']'};
    NextOf m_questionMark{u'?'};
};

MarkupState tokenizeMarkup(QStringView text, MarkupState state, QList<MarkupSpan> *spans, QStringView following)
{
    if (spans)
        return MarkupTokenizer<true>(text, following, state, spans).run();
    return MarkupTokenizer<false>(text, following, state, nullptr).run();
}

std::optional<MarkupSyntax> markupSyntaxFor(QByteArrayView essence, QStringView text)
{
    if (essence == "text/html")
        return MarkupSyntax::Html;
    if (essence.endsWith("/xml") || essence.endsWith("+xml"))
        return MarkupSyntax::Xml;
    if (!essence.isEmpty())
        return std::nullopt;
    // As a browser sniffs an unlabelled body: only its first 1,445 characters are
    // looked at, past ASCII whitespace, so a page of nothing but spaces is not read
    // through on the window's thread.
    constexpr qsizetype sniffed = 1445;
    const QStringView head = text.first(std::min(text.size(), sniffed));
    qsizetype start = 0;
    while (start < head.size() && (head[start] == u' ' || head[start] == u'\t' || head[start] == u'\n' || head[start] == u'\r' || head[start] == u'\f'))
        ++start;
    const QStringView body = text.sliced(start);
    if (start == head.size() || !body.startsWith(u'<'))
        return std::nullopt;
    return body.startsWith(u"<?xml") ? MarkupSyntax::Xml : MarkupSyntax::Html;
}
