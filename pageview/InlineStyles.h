#pragma once

#include "CssTokenStream.h"
#include "MarkupTokenizer.h"
#include "StylesheetColouring.h"
#include "Tokenizer.h"

#include <limits>
#include <map>
#include <optional>
#include <utility>

// The stylesheets inside an HTML page: the contents of its style elements and the
// values of its style attributes, read by the CSS tokenizer so that they are coloured
// as a stylesheet is. A style element's contents can be megabytes long, so the view
// keeps where its stylesheet stands beside the HTML tokenizer's checkpoints inside
// one, and colours a row from there.

// Where the stylesheet of a style element stands at one of its token boundaries.
struct StylePlace
{
    qsizetype position = -1; // -1: not inside a style element
    Css::State state;
    // Inside a comment begun before position, which leaves the state as it is: a long
    // comment is read on from here, not from its start.
    bool inComment = false;

    bool isInside() const { return position >= 0; }
    bool operator==(const StylePlace &) const = default;
};

// The markup role that colours a stylesheet's role; Text stays Text.
MarkupRole markupRole(StylesheetRole role);

// Whether a start tag is a style element's. The name is read from the document, so a
// tag that began before the run that reports it counts too.
bool isStyleStartTag(const html::Token &token, QStringView document);
// Whether the attribute whose name starts at nameStart is named style.
bool isStyleAttribute(QStringView document, qsizetype nameStart);
// An attribute value's text without its quotes, [first, second), from where HTML's
// tokenizer says it stands: valueEnd after its closing quote, or where a run that
// stopped inside it stopped.
std::pair<qsizetype, qsizetype> attributeValueText(QStringView document, qsizetype valueStart, qsizetype valueEnd);

// Follows a run of HTML's tokenizer through style elements: a style start tag opens
// one, and the first token after it that is not plain characters (its end tag, in
// HTML, where its contents are raw text) closes it. In svg, "<style/>" has no contents:
// whether a self-closing one does is told by reading again from runStart, the state
// the run began in, when given.
class StyleTracker
{
public:
    explicit StyleTracker(StylePlace open = {}, const html::Checkpoint *runStart = nullptr)
        : m_open(open), m_runStart(runStart)
    {
    }

    // The element open before token, if token closes it; the token's start ends it.
    // Inline for what the scan of every page meets: characters, and tags elsewhere.
    StylePlace token(const html::Token &token, QStringView document)
    {
        if (token.kind == html::TokenKind::Characters && !token.characterReference)
            return {};
        if (!m_open.isInside()
            && (token.kind != html::TokenKind::StartTag || token.start + 1 >= document.size()
                || (document[token.start + 1].unicode() | 0x20) != u's'))
            return {};
        return follow(token, document);
    }
    // The same, telling nothing: what the scan of every page calls for every token.
    void see(const html::Token &token, QStringView document)
    {
        if (!m_open.isInside()) {
            if (token.kind == html::TokenKind::StartTag && token.start + 1 < document.size()
                && (document[token.start + 1].unicode() | 0x20) == u's')
                follow(token, document);
        } else if (token.kind != html::TokenKind::Characters || token.characterReference) {
            follow(token, document);
        }
    }
    // The element open after the tokens so far.
    StylePlace open() const { return m_open; }
    // Markup that is no token (a CDATA section in svg) ends it.
    void close() { m_open = StylePlace(); }

private:
    StylePlace follow(const html::Token &token, QStringView document);
    bool rawTextAfter(QStringView document, qsizetype end);

    StylePlace m_open;
    const html::Checkpoint *m_runStart;
    // The run read again as far as the last self-closing style tag asked: the next
    // goes on from there, so that many of them cost one reading, not one each.
    std::optional<html::Checkpoint> m_probe;
};

// Tokens too long to read again for each row they cover (an inline image's address),
// by where they start, with the state before them and after.
struct LongToken
{
    Css::State before;
    Css::Token token;
    Css::State after;
};
using LongTokens = std::map<qsizetype, LongToken>;

// Reads the stylesheet inside a style element or attribute from a place in it. A
// style element's contents end where HTML ends them: at "</style" and a space, '/' or
// '>'; unless end is known, the reader looks for that no further ahead than the token
// it reads needs, so that a row deep inside a long element costs what is around it.
class StyleReader
{
public:
    // longTokens, when given, keeps long tokens read and gives them back.
    StyleReader(QStringView document, StylePlace place, qsizetype end = -1, LongTokens *longTokens = nullptr);

    // The next token, or false where the stylesheet ends. A comment that goes on past
    // horizon comes as far as horizon, so that its end is not looked for further.
    bool next(Css::Token &token, qsizetype horizon = std::numeric_limits<qsizetype>::max() / 2);
    // The boundary before the next token.

    StylePlace place() const { return {m_position, m_state, m_inComment}; }

private:
    void lookAhead(qsizetype upTo);
    bool comment(Css::Token &token, qsizetype horizon);

    QStringView m_document;
    qsizetype m_position;
    Css::State m_state;
    qsizetype m_end; // -1 while not yet found
    qsizetype m_clear; // no end starts before here
    bool m_inComment;
    LongTokens *m_longTokens;
};

// The last token boundary at or before offset of the stylesheet read on from place:
// where a checkpoint at offset resumes it.
StylePlace styleBoundaryAt(QStringView document, StylePlace place, qsizetype offset, qsizetype end = -1);
