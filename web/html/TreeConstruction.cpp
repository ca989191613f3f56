#include "TreeConstruction.h"

#include <algorithm>
#include <initializer_list>

namespace html {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Start tags that end svg and math content and are read as HTML again.
bool isBreakout(std::string_view name)
{
    return isOneOf(name, {"b", "big", "blockquote", "body", "br", "center", "code", "dd", "div", "dl",
                          "dt", "em", "embed", "h1", "h2", "h3", "h4", "h5", "h6", "head", "hr", "i",
                          "img", "li", "listing", "menu", "meta", "nobr", "ol", "p", "pre", "ruby", "s",
                          "small", "span", "strong", "strike", "sub", "sup", "table", "tt", "u", "ul",
                          "var"});
}

// Elements with no end tag, which never stay open.
bool isVoid(std::string_view name)
{
    return isOneOf(name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr",
                          "image", "img", "input", "keygen", "link", "meta", "param", "source", "track",
                          "wbr"});
}

// Start tags that close an open <p> first.
bool closesP(std::string_view name)
{
    return isOneOf(name, {"address", "article", "aside", "blockquote", "center", "details", "dialog",
                          "dir", "div", "dl", "fieldset", "figcaption", "figure", "footer", "form",
                          "h1", "h2", "h3", "h4", "h5", "h6", "header", "hgroup", "hr", "li", "dd", "dt",
                          "listing", "main", "menu", "nav", "ol", "p", "plaintext", "pre", "search",
                          "section", "summary", "table", "ul", "xmp"});
}

// Start tags that the head holds; any other start tag begins the body.
bool belongsInHead(std::string_view name)
{
    return isOneOf(name, {"html", "head", "base", "basefont", "bgsound", "link", "meta", "noframes",
                          "noscript", "script", "style", "template", "title"});
}

} // namespace

quint32 TreeState::hashOf(std::string_view lowerCaseName)
{
    quint32 hash = 2166136261u;
    for (char c : lowerCaseName)
        hash = (hash ^ quint32(quint8(c))) * 16777619u;
    return hash;
}

const TreeState::OpenElement *TreeState::currentNode() const
{
    return m_depth ? &m_stack[m_depth - 1] : nullptr;
}

bool TreeState::inForeignContent() const
{
    const OpenElement *node = currentNode();
    return node && node->ns != Namespace::Html;
}

void TreeState::push(OpenElement element)
{
    // A full stack forgets its outermost element: deep nesting keeps what is near.
    if (m_depth == stackCapacity) {
        std::move(m_stack.begin() + 1, m_stack.end(), m_stack.begin());
        --m_depth;
        ++m_forgotten;
    }
    m_stack[m_depth++] = element;
}

void TreeState::pop()
{
    if (m_depth)
        --m_depth;
}

void TreeState::characters(bool whitespaceOnly)
{
    if (!whitespaceOnly)
        m_beforeBody = false;
}

// The tree construction dispatcher: whether a start tag goes by HTML's rules or by
// those of foreign content.
bool TreeState::htmlRulesFor(const TagSummary &tag) const
{
    const OpenElement *node = currentNode();
    if (!node || node->ns == Namespace::Html)
        return true;
    if ((node->flags & MathMlTextIntegrationPoint) && tag.name != "mglyph" && tag.name != "malignmark")
        return true;
    if ((node->flags & AnnotationXml) && tag.name == "svg")
        return true;
    return node->flags & HtmlIntegrationPoint;
}

TokenizerStateChange TreeState::startTag(const TagSummary &tag)
{
    if (htmlRulesFor(tag))
        return startTagInHtml(tag);
    if (isBreakout(tag.name) || (tag.name == "font" && tag.fontBreakout)) {
        popUntilHtmlOrIntegrationPoint();
        return startTagInHtml(tag);
    }
    startTagInForeignContent(tag);
    return TokenizerStateChange::None;
}

void TreeState::popUntilHtmlOrIntegrationPoint()
{
    while (const OpenElement *node = currentNode()) {
        if (node->ns == Namespace::Html || (node->flags & (HtmlIntegrationPoint | MathMlTextIntegrationPoint)))
            break;
        pop();
    }
}

void TreeState::startTagInForeignContent(const TagSummary &tag)
{
    const Namespace ns = currentNode()->ns;
    OpenElement element{tag.hash, ns, 0};
    if (ns == Namespace::Svg && isOneOf(tag.name, {"foreignobject", "desc", "title"}))
        element.flags = HtmlIntegrationPoint;
    if (ns == Namespace::MathMl) {
        if (isOneOf(tag.name, {"mi", "mo", "mn", "ms", "mtext"}))
            element.flags = MathMlTextIntegrationPoint;
        else if (tag.name == "annotation-xml")
            element.flags = AnnotationXml | (tag.htmlEncoding ? HtmlIntegrationPoint : 0);
    }
    if (!tag.selfClosing)
        push(element);
}

void TreeState::closeInScope(quint32 hash, bool listItemScope)
{
    // Elements that bound the search for an open one, as HTML's "in scope" says.
    static const quint32 boundaries[] = {
        hashOf("applet"), hashOf("caption"), hashOf("html"), hashOf("table"), hashOf("td"),
        hashOf("th"), hashOf("marquee"), hashOf("object"), hashOf("template"),
    };
    static const quint32 listBoundaries[] = {hashOf("ol"), hashOf("ul")};
    static const quint32 templateHash = hashOf("template");
    for (int i = m_depth - 1; i >= 0; --i) {
        const OpenElement &node = m_stack[i];
        if (node.ns == Namespace::Html && node.hash == hash) {
            m_depth = quint8(i);
            return;
        }
        if (hash == templateHash)
            continue;
        if (node.ns != Namespace::Html && (node.flags & (HtmlIntegrationPoint | MathMlTextIntegrationPoint)))
            return;
        if (node.ns == Namespace::Html && std::find(std::begin(boundaries), std::end(boundaries), node.hash) != std::end(boundaries))
            return;
        if (listItemScope && std::find(std::begin(listBoundaries), std::end(listBoundaries), node.hash) != std::end(listBoundaries))
            return;
    }
}

TokenizerStateChange TreeState::startTagInHtml(const TagSummary &tag)
{
    const std::string_view name = tag.name;
    if (m_beforeBody && !belongsInHead(name))
        m_beforeBody = false;
    if (name == "svg" || name == "math") {
        if (!tag.selfClosing)
            push({tag.hash, name == "svg" ? Namespace::Svg : Namespace::MathMl, 0});
        return TokenizerStateChange::None;
    }
    if (closesP(name))
        closeInScope(hashOf("p"));
    if (name == "li")
        closeInScope(tag.hash, true);
    if (name == "dd" || name == "dt") {
        closeInScope(hashOf("dd"));
        closeInScope(hashOf("dt"));
    }
    if (isVoid(name) || isOneOf(name, {"html", "head", "body"}))
        return TokenizerStateChange::None;
    push({tag.hash, Namespace::Html, 0});
    if (name == "title" || name == "textarea")
        return TokenizerStateChange::Rcdata;
    // Scripts run in browsers, so <noscript> holds text for them, as <style> does.
    if (isOneOf(name, {"style", "xmp", "iframe", "noembed", "noframes", "noscript"}))
        return TokenizerStateChange::Rawtext;
    if (name == "script")
        return TokenizerStateChange::ScriptData;
    if (name == "plaintext")
        return TokenizerStateChange::Plaintext;
    return TokenizerStateChange::None;
}

void TreeState::endTag(const TagSummary &tag)
{
    const OpenElement *node = currentNode();
    if (!node || node->ns == Namespace::Html) {
        endTagInHtml(tag);
        return;
    }
    endTagInForeignContent(tag);
}

void TreeState::endTagInHtml(const TagSummary &tag)
{
    const std::string_view name = tag.name;
    if (m_beforeBody && isOneOf(name, {"body", "html", "br"}))
        m_beforeBody = false;
    if (isOneOf(name, {"body", "html", "br", "head"}) || isVoid(name))
        return;
    closeInScope(tag.hash, name == "li");
}

void TreeState::endTagInForeignContent(const TagSummary &tag)
{
    if (tag.name == "br" || tag.name == "p") {
        popUntilHtmlOrIntegrationPoint();
        endTagInHtml(tag);
        return;
    }
    // Walk down from the current node: a foreign element of the name closes with all
    // above it; reaching an HTML element hands the tag to HTML's rules.
    for (int i = m_depth - 1; i >= 0; --i) {
        const OpenElement &node = m_stack[i];
        if (node.hash == tag.hash) {
            m_depth = quint8(i);
            return;
        }
        if (i > 0 && m_stack[i - 1].ns == Namespace::Html) {
            endTagInHtml(tag);
            return;
        }
    }
}

} // namespace html
