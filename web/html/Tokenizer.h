#pragma once

#include "ParseError.h"
#include "TreeConstruction.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace html {

struct NamedCharacterReference;

// The tokenizer's states, named as HTML names them.
enum class State : quint8 {
    Data, Rcdata, Rawtext, ScriptData, Plaintext, TagOpen, EndTagOpen, TagName,
    RcdataLessThanSign, RcdataEndTagOpen, RcdataEndTagName,
    RawtextLessThanSign, RawtextEndTagOpen, RawtextEndTagName,
    ScriptDataLessThanSign, ScriptDataEndTagOpen, ScriptDataEndTagName,
    ScriptDataEscapeStart, ScriptDataEscapeStartDash, ScriptDataEscaped, ScriptDataEscapedDash,
    ScriptDataEscapedDashDash, ScriptDataEscapedLessThanSign, ScriptDataEscapedEndTagOpen,
    ScriptDataEscapedEndTagName, ScriptDataDoubleEscapeStart, ScriptDataDoubleEscaped,
    ScriptDataDoubleEscapedDash, ScriptDataDoubleEscapedDashDash,
    ScriptDataDoubleEscapedLessThanSign, ScriptDataDoubleEscapeEnd,
    BeforeAttributeName, AttributeName, AfterAttributeName, BeforeAttributeValue,
    AttributeValueDoubleQuoted, AttributeValueSingleQuoted, AttributeValueUnquoted,
    AfterAttributeValueQuoted, SelfClosingStartTag, BogusComment, MarkupDeclarationOpen,
    CommentStart, CommentStartDash, Comment, CommentLessThanSign, CommentLessThanSignBang,
    CommentLessThanSignBangDash, CommentLessThanSignBangDashDash, CommentEndDash, CommentEnd,
    CommentEndBang, Doctype, BeforeDoctypeName, DoctypeName, AfterDoctypeName,
    AfterDoctypePublicKeyword, BeforeDoctypePublicIdentifier,
    DoctypePublicIdentifierDoubleQuoted, DoctypePublicIdentifierSingleQuoted,
    AfterDoctypePublicIdentifier, BetweenDoctypePublicAndSystemIdentifiers,
    AfterDoctypeSystemKeyword, BeforeDoctypeSystemIdentifier,
    DoctypeSystemIdentifierDoubleQuoted, DoctypeSystemIdentifierSingleQuoted,
    AfterDoctypeSystemIdentifier, BogusDoctype, CdataSection, CdataSectionBracket,
    CdataSectionEnd, CharacterReference, NamedCharacterReference, AmbiguousAmpersand,
    NumericCharacterReference, HexadecimalCharacterReferenceStart,
    DecimalCharacterReferenceStart, HexadecimalCharacterReference, DecimalCharacterReference,
    NumericCharacterReferenceEnd,
};

enum class TokenKind : quint8 { Doctype, StartTag, EndTag, Comment, Characters, EndOfFile };

// An attribute of a tag, by offsets into the document. The name and value strings are
// filled only when the tokenizer builds tokens.
struct Attribute
{
    qsizetype nameStart = 0;
    qsizetype nameEnd = 0;
    qsizetype valueStart = -1; // at its opening quote if it has one; -1 when it has no value
    qsizetype valueEnd = -1; // after its closing quote
    bool duplicate = false; // HTML drops it and keeps the first of the name
    QString name;
    QString value;
};

// A token as the tokenizer emits it. Offsets are into the document and always set; the
// strings are filled only when the tokenizer builds tokens.
struct Token
{
    TokenKind kind = TokenKind::Characters;
    qsizetype start = 0; // its first character ('<' of a tag, '&' of a reference)
    qsizetype end = 0; // after its last character
    qsizetype nameStart = -1; // of a tag's name, -1 when the tag began before the run
    qsizetype nameEnd = -1;
    bool characterReference = false; // characters that a reference stands for
    bool selfClosing = false;
    bool forceQuirks = false;
    QString name; // tag or DOCTYPE name
    QString data; // characters or comment
    std::optional<QString> publicIdentifier;
    std::optional<QString> systemIdentifier;
    QList<Attribute> attributes; // only those that began in this run
    bool hasDoctypeName = false;
};

// Where tokens go. Tokens come in document order, and so do parse errors; an error
// found inside a run of characters may come before the characters' token. position is
// where the error was found: the character that shows it, or the end for end of file.
class TokenSink
{
public:
    virtual ~TokenSink() = default;
    // Whether the sink listens to anything but parse errors, asked once as a tokenizer
    // starts: one that only counts or collects errors says no and is told nothing else.
    virtual bool wantsTokens() const { return true; }
    virtual void token(const Token &token) = 0;
    virtual void parseError(ParseError error, qsizetype position) = 0;
    // A character reference inside an attribute value, for colouring.
    virtual void attributeReference(qsizetype start, qsizetype end) { Q_UNUSED(start) Q_UNUSED(end) }
    // A CDATA section in foreign content, from its "<![CDATA[" to after its "]]>" or to
    // the end; its characters come as characters tokens.
    virtual void cdataSection(qsizetype start, qsizetype end) { Q_UNUSED(start) Q_UNUSED(end) }
    // The run stopped inside a tag, comment, DOCTYPE or CDATA section (which comes as
    // Characters), or the document ended there: the token as far as it was read, end where the run stopped, with the
    // attributes begun in this run, the last one as far as it got. For colouring a
    // piece of a document that ends inside a token.
    virtual void unfinished(const Token &token) { Q_UNUSED(token) }
};

// Counts the parse errors and listens to nothing else: for a run that is read for its
// errors, or only for the state it ends in.
class ErrorCounter : public TokenSink
{
public:
    bool wantsTokens() const override { return false; }
    void token(const Token &) override {}
    void parseError(ParseError, qsizetype) override { ++count; }
    quint32 count = 0;
};

// Everything the tokenizer needs to go on from a place in the document: a value of
// fixed size (about 500 bytes, most of it the tree's open elements), with no heap, to be
// copied into checkpoints and compared.
class Checkpoint
{
public:
    // The state at the start of a document.
    Checkpoint() = default;
    // A tokenizer started in a given state, as a test or a fragment asks, with the tag
    // name of the last start tag (lower case) or none.
    Checkpoint(State state, QStringView lastStartTag);

    qsizetype position() const { return m_position; }
    State state() const { return m_state; }
    // Where the token the state is in began: a tag's '<'. Meaningful only inside one.
    qsizetype tokenStart() const { return m_tokenStart; }
    const TreeState &tree() const { return m_tree; }
    // Whether tree construction drives the tokenizer (on by default).
    bool followsTree() const { return m_followsTree; }
    void setFollowsTree(bool on) { m_followsTree = on; }

    bool operator==(const Checkpoint &) const = default;

private:
    friend class Tokenizer;
    static constexpr int shortNameCapacity = 23;

    qsizetype m_position = 0; // of the next input character
    qsizetype m_checkedUpTo = 0; // input stream errors are reported up to here
    qsizetype m_tokenStart = 0;
    qsizetype m_bufferStart = 0; // where the temporary buffer's characters start
    qsizetype m_attributeNameStart = -1;
    qsizetype m_attributeValueStart = -1;
    // A run that stops inside a tag with attributes keeps their names for the next,
    // which a duplicate could repeat. When there are more than it keeps, the next run
    // reads the tag again from its '<' (m_tokenStart), quietly up to m_quietBefore:
    // what it finds before there was told already.
    struct EarlierName
    {
        quint32 offset = 0; // from the tag's '<'
        quint32 length = 0;
        quint32 hash = 0;
        bool operator==(const EarlierName &) const = default;
    };
    static constexpr int earlierNameCapacity = 6;
    std::array<EarlierName, earlierNameCapacity> m_earlierNames{};
    quint8 m_earlierNameCount = 0; // 0xFF when there were more
    qsizetype m_quietBefore = 0;
    quint32 m_characterReferenceCode = 0;
    quint32 m_tagNameHash = 0;
    quint32 m_attributeNameHash = 0;
    State m_state = State::Data;
    State m_returnState = State::Data;
    State m_tagTextState = State::Data; // where the current tag's '<' was read
    TokenKind m_tokenKind = TokenKind::Characters;
    bool m_selfClosing = false;
    bool m_hasAttributes = false;
    bool m_followsTree = true;
    // The temporary buffer against an end tag's name or "script": how many characters,
    // and whether they still match.
    quint8 m_bufferLength = 0;
    bool m_bufferMatches = false;
    // The current tag's name while it is short, then its interesting attributes.
    quint8 m_tagNameLength = 0;
    bool m_fontBreakout = false;
    bool m_htmlEncoding = false;
    quint8 m_attributeValueLength = 0;
    char m_tagName[shortNameCapacity + 1] = {};
    char m_attributeValue[shortNameCapacity + 1] = {};
    quint8 m_lastStartTagLength = 0; // 0xFF when there was none, or a long one
    char m_lastStartTag[shortNameCapacity + 1] = {};
    TreeState m_tree;
};

// HTML's tokenizer. It reads the document from a checkpoint up to a place, tells the
// sink of every token and parse error, and leaves the checkpoint where it stopped, so a
// view can keep checkpoints and read any part of a document from the nearest one.
//
// With buildTokens off, tokens carry only offsets and the tokenizer does not allocate
// as it goes; with it on, they carry their names, values and data as HTML gives them.
// Strings are exact only for tokens that began after the run's checkpoint.
class Tokenizer
{
public:
    Tokenizer(TokenSink &sink, bool buildTokens);

    // Reads text (the whole document) from checkpoint.position() until it has read
    // past stop, or to the end and the end-of-file token when stop is text.size(). A
    // run may end a little past stop: a character reference or a "<!DOCTYPE" is read
    // whole. Characters read so far are told before it returns.
    void run(QStringView text, Checkpoint &checkpoint, qsizetype stop);

private:
    static constexpr char32_t eof = 0xFFFFFFFF;

    char32_t consume();
    char32_t consumeSlow(char16_t unit);
    void reconsume() { m_pos = m_charStart; }
    void reconsumeIn(State state) { reconsume(); m_st.m_state = state; }
    void switchTo(State state) { m_st.m_state = state; }
    bool nextCharactersAre(std::string_view word, bool caseInsensitive) const;
    qsizetype plainRun(quint16 stops) const { return plainRunFrom(m_pos, stops); }
    qsizetype plainRunFrom(qsizetype from, quint16 stops) const;
    qsizetype asciiRun(quint16 stops) const;
    void error(ParseError error) { errorAt(error, m_charStart); }
    void errorAt(ParseError error, qsizetype position)
    {
        if (m_charStart >= m_st.m_quietBefore)
            m_sink.parseError(error, position);
    }

    void noteText(qsizetype from, qsizetype to);
    void emitCharacters(qsizetype from, qsizetype to)
    {
        // Characters matter to a sink told no tokens only while they may start the body.
        if (m_tell || (m_st.m_followsTree && m_st.m_tree.beforeBody()))
            tellCharacters(from, to);
    }
    void tellCharacters(qsizetype from, qsizetype to);
    void emitCharacter(char32_t c);
    void emitCurrentCharacter() { emitCharacter(m_current); }
    void flushCharacters();
    void emitEndOfFile();

    void createTag(TokenKind kind, State textState);
    bool quickTag();
    bool commonReference();
    void appendToTagName(char32_t c);
    void endTagName();
    Attribute &currentAttribute();
    void startAttribute();
    void appendToAttributeName(char32_t c);
    void endAttributeName();
    struct AttributeSpan;
    bool isDuplicateName(const AttributeSpan *names, size_t count, qsizetype start, qsizetype end, quint32 hash) const;
    void startAttributeValue();
    void appendToAttributeValue(char32_t c);
    void appendRunToAttributeValue(qsizetype from, qsizetype to);
    void endAttributeValue(qsizetype end);
    void emitTag();
    void createComment();
    void appendToComment(char32_t c);
    void appendToComment(QLatin1StringView s);
    void emitComment();
    void createDoctype();
    void appendToDoctypeName(char32_t c);
    void appendToPublicIdentifier(char32_t c);
    void appendToSystemIdentifier(char32_t c);
    void emitDoctype();
    void eofInDoctype();
    void tellUnfinished();

    void startBuffer();
    void appendToBuffer(char32_t lowerCase, std::string_view against);
    bool bufferIs(std::string_view word) const;
    std::string_view lastStartTag() const;
    bool isAppropriateEndTag() const;
    void endTagOpenState(State nameState, State returnTo);
    void endTagNameState(State returnTo);

    bool charactersConsumedAsPartOfAnAttribute() const;
    bool insideTagWithAttributes() const;
    void keepEarlierNames();
    void flushLiterally(qsizetype to);
    void flushReference(char32_t first, char32_t second, qsizetype to);
    void namedCharacterReference();
    const NamedCharacterReference *longestNamedReference() const;
    void namedCharacterReferenceFound(const NamedCharacterReference *match);
    void numericCharacterReferenceEnd(qsizetype end);

    // Reads on, state by state, to the run's end.
    void steps(bool toEnd);

    TokenSink &m_sink;
    const bool m_build;
    const bool m_tell; // whether the sink wants tokens
    const char16_t *m_text = nullptr;
    qsizetype m_size = 0;
    qsizetype m_limit = 0; // runs of plain characters are read up to here
    qsizetype m_pos = 0;
    qsizetype m_charStart = 0; // of the current input character
    char32_t m_current = 0;
    bool m_done = false;
    Checkpoint m_st;
    Token m_token; // the tag, comment or DOCTYPE being read
    Token m_characters; // characters, told apart from m_token, which may be half read
    qsizetype m_runStart = 0;
    // Characters not yet told: [m_textStart, m_textEnd), and their data.
    qsizetype m_textStart = -1;
    qsizetype m_textEnd = -1;
    QString m_textData;
    // The current tag's attributes read in this run, for finding duplicates (when the
    // states read it).
    struct AttributeSpan
    {
        qsizetype nameStart;
        qsizetype nameEnd;
        quint32 hash;
        bool duplicate;
        qsizetype valueStart;
        qsizetype valueEnd;
    };
    std::vector<AttributeSpan> m_names;
    // References lately found, by the hash of their names: indexes into the table.
    std::array<quint16, 64> m_referenceCache;
};

} // namespace html
