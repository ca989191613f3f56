#include "MarkupTokenizer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// The tokenizer states, named as the HTML standard names them. The standard's states
// that only tell parse errors apart (comment less-than sign, ...) are left out: they
// end where the states kept here end. DOCTYPE has one state: HTML ends a DOCTYPE at
// its first '>' whatever it holds.
enum State : quint8 {
    Data,
    RcData,
    RawText,
    ScriptData,
    Plaintext,
    ScriptDataEscaped,
    ScriptDataEscapedDash,
    ScriptDataEscapedDashDash,
    ScriptDataDoubleEscaped,
    ScriptDataDoubleEscapedDash,
    ScriptDataDoubleEscapedDashDash,
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
    DoctypeInternalSubset, // XML only: "<!DOCTYPE svg [ <!ENTITY ...> ]>"
    CDataSection,
    CDataSectionBracket,
    CDataSectionEnd,
    CDataInHtmlContent, // a bogus comment to HTML, coloured as CDATA
    ProcessingInstruction, // a bogus comment to HTML
    ProcessingInstructionQuestionMark, // XML only
    DecimalCharacterReference,
    HexadecimalCharacterReference,
};

enum Flag : quint8 { EndTag = 1, SelfClosing = 2, Xml = 4 };

// The elements whose contents HTML does not read as markup, and how it reads them.
struct RawTextElement
{
    std::string_view name;
    State state;
};
// Index 0 is "none". noscript is not here: the page is shown without running scripts,
// so its contents are markup.
constexpr RawTextElement rawTextElements[] = {
    {"", Data},
    {"title", RcData},
    {"textarea", RcData},
    {"style", RawText},
    {"xmp", RawText},
    {"iframe", RawText},
    {"noembed", RawText},
    {"noframes", RawText},
    {"script", ScriptData},
    {"plaintext", Plaintext},
};

// Start tags that end svg or math content in HTML (the tree builder's "breakout" tags).
constexpr std::string_view foreignBreakouts[] = {
    "b", "big", "blockquote", "body", "br", "center", "code", "dd", "div", "dl", "dt",
    "em", "embed", "h1", "h2", "h3", "h4", "h5", "h6", "head", "hr", "i", "img", "li",
    "listing", "menu", "meta", "nobr", "ol", "p", "pre", "ruby", "s", "small", "span",
    "strong", "strike", "sub", "sup", "table", "tt", "u", "ul", "var",
};

constexpr quint8 nameCapacity = 10;
constexpr quint8 unknownName = nameCapacity + 1;
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

// What ends an end tag's name: "</script>", "</script >", "</script/>".
constexpr bool endsTagName(int c)
{
    return isSpace(c) || c == '/' || c == '>';
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

MarkupState::MarkupState(MarkupSyntax syntax)
{
    if (syntax == MarkupSyntax::Xml)
        m_flags = Xml;
}

MarkupSyntax MarkupState::syntax() const
{
    return (m_flags & Xml) ? MarkupSyntax::Xml : MarkupSyntax::Html;
}

bool MarkupState::isData() const
{
    return m_state == Data && m_pending == 0;
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
        case RcData: return rcData();
        case RawText: return rawText();
        case ScriptData: return scriptData();
        case Plaintext:
            setRole(MarkupRole::Text);
            m_pos = m_size;
            return;
        case ScriptDataEscaped: return escapedText(escaped);
        case ScriptDataEscapedDash: return escapedDash(escaped);
        case ScriptDataEscapedDashDash: return escapedDashDash(escaped);
        case ScriptDataDoubleEscaped: return escapedText(doubleEscaped);
        case ScriptDataDoubleEscapedDash: return escapedDash(doubleEscaped);
        case ScriptDataDoubleEscapedDashDash: return escapedDashDash(doubleEscaped);
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
        case CDataInHtmlContent: return untilGreaterThan(MarkupRole::CData);
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
    // those that look like one: a letter, letters and digits, ';'. Without the table
    // of names, "&amp" with no ';' (which HTML still reads for a few old names) stays
    // text. Numeric ones need no ';', as in HTML.
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
        if (isAsciiAlpha(c) || (isXml() && (c == '_' || c == ':' || c >= 0x80))) {
            startTag(1, 0);
            return true;
        }
        switch (c) {
        case '!':
            markupDeclarationOpen();
            return true;
        case '/': {
            const int d = peek(m_pos + 2);
            if (isAsciiAlpha(d) || (isXml() && (d == '_' || d == ':' || d >= 0x80)))
                startTag(2, EndTag);
            else if (d == '>') // "</>" is dropped by HTML; it reads as an empty tag
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
            const bool section = isXml() || m_st.m_foreignDepth > 0;
            begin(9, MarkupRole::CData, section ? CDataSection : CDataInHtmlContent);
        } else {
            begin(2, MarkupRole::Comment, BogusComment);
        }
    }

    void startTag(qsizetype openerLength, quint8 flags)
    {
        begin(openerLength, MarkupRole::Tag, TagName);
        m_st.m_flags = quint8((m_st.m_flags & Xml) | flags);
        clearName();
    }

    // Whether an end tag for the open raw-text element starts here: "</" + its name
    // in any case + whitespace, '/' or '>'. If so, goes into it.
    bool appropriateEndTag()
    {
        const std::string_view name = rawTextElements[m_st.m_rawTextElement].name;
        if (!lookingAt(m_pos, "</") || !lookingAt(m_pos + 2, name, true)
            || !endsTagName(peek(m_pos + 2 + qsizetype(name.size())))) {
            return false;
        }
        startTag(2 + qsizetype(name.size()), EndTag);
        std::memcpy(m_st.m_name, name.data(), name.size());
        m_st.m_nameLength = quint8(name.size());
        m_st.m_rawTextElement = 0;
        return true;
    }

    void rcData()
    {
        setRole(MarkupRole::Text);
        while (true) {
            const qsizetype at = std::min(m_lessThan.from(m_view, m_pos), m_ampersand.from(m_view, m_pos));
            m_pos = at;
            if (at == m_size)
                return;
            if (m_text[at] == '&' ? characterReference() : appropriateEndTag())
                return;
            ++m_pos;
        }
    }

    void rawText()
    {
        setRole(MarkupRole::Text);
        while (true) {
            m_pos = m_lessThan.from(m_view, m_pos);
            if (m_pos == m_size || appropriateEndTag())
                return;
            ++m_pos;
        }
    }

    // Script data keeps the standard's escape states: "<!--" in a script escapes it,
    // and "<script>" inside that makes "</script>" no end until "-->". Switching at the
    // '<' that starts "<!--", "<script" or "</script" gives the same states as the
    // standard's character-by-character path, as the letters between change nothing.
    void scriptData()
    {
        setRole(MarkupRole::Text);
        while (true) {
            m_pos = m_lessThan.from(m_view, m_pos);
            if (m_pos == m_size || appropriateEndTag())
                return;
            if (lookingAt(m_pos + 1, "!--")) {
                ++m_pos;
                setState(ScriptDataEscaped);
                return;
            }
            ++m_pos;
        }
    }

    // At '<' in an escaped script: its end tag, or the start of a double escape.
    bool scriptDataEscapedLessThan()
    {
        if (appropriateEndTag())
            return true;
        if (lookingAt(m_pos + 1, "script", true) && endsTagName(peek(m_pos + 7))) {
            ++m_pos;
            setState(ScriptDataDoubleEscaped);
            return true;
        }
        return false;
    }

    // At '<' in a double-escaped script: "</script" goes back to the escaped state.
    bool scriptDataDoubleEscapedLessThan()
    {
        if (lookingAt(m_pos + 1, "/script", true) && endsTagName(peek(m_pos + 8))) {
            ++m_pos;
            setState(ScriptDataEscaped);
            return true;
        }
        return false;
    }

    // The escaped and the double-escaped parts of a script each have a text, a "-" and
    // a "--" state; the two differ only in the states they go to and in what a '<' may
    // start there.
    struct EscapedPart
    {
        State text;
        State dash;
        State dashDash;
        bool (MarkupTokenizer::*lessThan)();
    };
    static constexpr EscapedPart escaped{ScriptDataEscaped, ScriptDataEscapedDash, ScriptDataEscapedDashDash,
                                         &MarkupTokenizer::scriptDataEscapedLessThan};
    static constexpr EscapedPart doubleEscaped{ScriptDataDoubleEscaped, ScriptDataDoubleEscapedDash,
                                               ScriptDataDoubleEscapedDashDash,
                                               &MarkupTokenizer::scriptDataDoubleEscapedLessThan};

    void escapedText(const EscapedPart &part)
    {
        setRole(MarkupRole::Text);
        while (true) {
            m_pos = std::min(m_lessThan.from(m_view, m_pos), m_dash.from(m_view, m_pos));
            if (m_pos == m_size)
                return;
            if (m_text[m_pos] == '-') {
                ++m_pos;
                setState(part.dash);
                return;
            }
            if ((this->*part.lessThan)())
                return;
            ++m_pos;
        }
    }

    void escapedDash(const EscapedPart &part)
    {
        setRole(MarkupRole::Text);
        const char16_t c = m_text[m_pos];
        if (c == '<' && (this->*part.lessThan)())
            return;
        ++m_pos;
        setState(c == '-' ? part.dashDash : part.text);
    }

    void escapedDashDash(const EscapedPart &part)
    {
        setRole(MarkupRole::Text);
        const char16_t c = m_text[m_pos];
        if (c == '<' && (this->*part.lessThan)())
            return;
        ++m_pos;
        if (c == '>')
            setState(ScriptData);
        else if (c != '-')
            setState(part.text);
    }

    // --- Tags ----------------------------------------------------------------------

    bool isXml() const { return m_st.m_flags & Xml; }

    void clearName()
    {
        std::memset(m_st.m_name, 0, sizeof m_st.m_name);
        m_st.m_nameLength = 0;
    }

    void appendToName(char16_t c)
    {
        if (m_st.m_nameLength == unknownName)
            return;
        if (c >= 0x80 || m_st.m_nameLength == nameCapacity)
            m_st.m_nameLength = unknownName;
        else
            m_st.m_name[m_st.m_nameLength++] = char(toAsciiLower(c));
    }

    bool nameIs(std::string_view name) const
    {
        return std::string_view(m_st.m_name, m_st.m_nameLength <= nameCapacity ? m_st.m_nameLength : 0) == name;
    }

    // A quick look before the list: most tags are none of the raw-text elements.
    bool mayBeRawTextElement() const
    {
        if (m_st.m_nameLength < 3 || m_st.m_nameLength > 9)
            return false;
        switch (m_st.m_name[0]) {
        case 't': case 's': case 'x': case 'i': case 'n': case 'p':
            return true;
        default:
            return false;
        }
    }

    // At '>': ends the tag and goes where HTML's tree builder would send the tokenizer:
    // into raw text after a start tag that asks for it, unless in svg or math.
    void emitTag()
    {
        setRole(MarkupRole::Tag);
        ++m_pos;
        State next = Data;
        if (!isXml()) {
            const bool svgOrMath = nameIs("svg") || nameIs("math");
            quint16 &depth = m_st.m_foreignDepth;
            if (m_st.m_flags & EndTag) {
                if (svgOrMath && depth > 0)
                    --depth;
                else if (nameIs("br") || nameIs("p"))
                    depth = 0;
            } else if (svgOrMath) {
                if (!(m_st.m_flags & SelfClosing) && depth < 0xFFFF)
                    ++depth;
            } else if (depth > 0) {
                if (std::any_of(std::begin(foreignBreakouts), std::end(foreignBreakouts),
                                [this](std::string_view name) { return nameIs(name); })) {
                    depth = 0;
                }
            } else if (mayBeRawTextElement()) {
                for (quint8 i = 1; i < std::size(rawTextElements); ++i) {
                    if (nameIs(rawTextElements[i].name)) {
                        m_st.m_rawTextElement = i;
                        next = rawTextElements[i].state;
                        break;
                    }
                }
            }
        }
        m_st.m_flags &= Xml;
        clearName();
        setState(next);
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
            appendToName(c);
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
        if (text[pos] == '>') {
            m_st.m_flags |= SelfClosing;
            goto endOfTag;
        }
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

    // Bogus comments (and what HTML reads as them) end at the first '>'.
    void untilGreaterThan(MarkupRole role)
    {
        throughNext(m_greaterThan, role, Data);
    }

    void doctype()
    {
        if (!isXml())
            return untilGreaterThan(MarkupRole::Doctype);
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

    // HTML ends "<?...>" at the first '>' (a bogus comment); XML at "?>".
    void processingInstruction()
    {
        if (!isXml())
            return untilGreaterThan(MarkupRole::ProcessingInstruction);
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
    const QStringView body = text.trimmed();
    if (!body.startsWith(u'<'))
        return std::nullopt;
    return body.startsWith(u"<?xml") ? MarkupSyntax::Xml : MarkupSyntax::Html;
}
