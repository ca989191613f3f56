#pragma once

#include <QtGlobal>

#include <array>
#include <string_view>

namespace html {

enum class Namespace : quint8 { Html, Svg, MathMl };

// What the tree builder tells from a start or end tag: its name, lower-cased, kept
// while it is short (every name the tree builder looks at is), and a hash of the whole
// name, by which the stack of open elements matches end tags.
struct TagSummary
{
    std::string_view name; // empty when longer than the tokenizer keeps or not ASCII
    quint32 hash = 0;
    bool selfClosing = false;
    bool fontBreakout = false; // <font> with a color, face or size attribute
    bool htmlEncoding = false; // encoding="text/html" or "application/xhtml+xml"
};

enum class TokenizerStateChange : quint8 { None, Rcdata, Rawtext, ScriptData, Plaintext };

// The part of tree construction that decides how the tokenizer reads what follows:
// the stack of open elements as far as it tells HTML from svg and MathML content and
// their integration points, the elements whose text is raw, and whether the body has
// started. A small value, copied into every checkpoint.
//
// The stack keeps its top entries only: a page of a hundred thousand nested tags keeps
// the innermost ones, and an end tag that would have closed one of the forgotten ones
// closes nothing. Of the elements that tree construction closes without their end tag,
// <p>, <li>, <dd>, <dt> and table cells and rows are closed; others (an unclosed <span>,
// the adoption of misnested formatting elements) stay open here.
class TreeState
{
public:
    static constexpr int stackCapacity = 32;

    // Whether a CDATA section can start here: the adjusted current node is an element
    // of svg or MathML.
    bool inForeignContent() const;
    // Whether the tokenizer is still before the body: in the head, or before it.
    bool beforeBody() const { return m_beforeBody; }
    // Open elements, innermost last, and how many were forgotten beneath them.
    int depth() const { return m_depth; }
    quint32 forgottenDepth() const { return m_forgotten; }

    // The namespace of the element a start tag inserts, asked before startTag(tag):
    // HTML's, or svg's or MathML's in foreign content and for <svg> and <math>.
    Namespace namespaceFor(const TagSummary &tag) const;
    // Whether an HTML element of this name (by hashOf) is open, of those kept.
    bool hasOpenHtmlElement(quint32 hash) const;

    TokenizerStateChange startTag(const TagSummary &tag);
    void endTag(const TagSummary &tag);
    // Characters of a text run; whitespaceOnly when all are ASCII whitespace.
    void characters(bool whitespaceOnly);

    static quint32 hashOf(std::string_view lowerCaseName);

    bool operator==(const TreeState &) const = default;

private:
    enum Flag : quint8 {
        HtmlIntegrationPoint = 1,
        MathMlTextIntegrationPoint = 2,
        AnnotationXml = 4,
        ScopeBoundaryElement = 8, // ends the search for an element in scope
        ListBoundaryElement = 16, // and in list item scope
        // An HTML element whose end tag, met while it is the current node, just closes it.
        PlainEnd = 32,
    };
    struct OpenElement
    {
        quint32 hash = 0;
        Namespace ns = Namespace::Html;
        quint8 flags = 0;

        bool operator==(const OpenElement &) const = default;
    };

    const OpenElement *currentNode() const;
    bool htmlRulesFor(const TagSummary &tag) const;
    TokenizerStateChange startTagInHtml(const TagSummary &tag, quint32 flags);
    void startTagInForeignContent(const TagSummary &tag);
    void endTagInHtml(const TagSummary &tag);
    void endTagInForeignContent(const TagSummary &tag);
    void popUntilHtmlOrIntegrationPoint();
    void closeInScope(quint32 hash, bool listItemScope = false);
    void closeTableParts(bool rowsToo);
    void push(OpenElement element);
    void pop();

    std::array<OpenElement, stackCapacity> m_stack{};
    quint8 m_depth = 0;
    bool m_beforeBody = true;
    quint32 m_forgotten = 0; // entries that fell off the stack's bottom
};

} // namespace html
