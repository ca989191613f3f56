#include "TreeConstruction.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace html {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What tree construction does with an element, for the elements it treats apart.
enum TagFlag : quint32 {
    Breakout = 1, // its start tag ends svg and math content and is read as HTML again
    Void = 2, // no end tag, never stays open
    ClosesP = 4, // its start tag closes an open <p> first
    InHead = 8, // the head holds it; any other start tag begins the body
    Rcdata = 16,
    Rawtext = 32, // noscript too: scripts run in browsers, so it holds text for them
    ScriptData = 64,
    Plaintext = 128,
    EndsHead = 256, // html, body and br: their end tags begin the body, and close nothing
    TablePart = 512, // table, tbody, thead, tfoot, tr: their end tags close the cells in them
    // Names that tree construction asks about one by one, looked up once with the rest.
    ForeignRoot = 1 << 10, // svg, math
    ListItem = 1 << 11, // li
    DescriptionItem = 1 << 12, // dd, dt
    Cell = 1 << 13, // td, th
    Row = 1 << 14, // tr
    NeverPushed = 1 << 15, // html, head, body: the tree has them already
    ScopeBoundary = 1 << 16, // an open element of these ends the search for one "in scope"
    ListBoundary = 1 << 17, // ol, ul: so too in list item scope
    // Not a known tag, but of the same hash as one: its end tag cannot be told from that
    // one's by the hash the open elements keep.
    HashOfAnother = 1 << 18,
};

struct KnownTag
{
    std::string_view name;
    quint32 flags;
};

constexpr KnownTag knownTags[] = {
    {"address", ClosesP}, {"applet", ScopeBoundary}, {"area", Void}, {"article", ClosesP}, {"aside", ClosesP}, {"b", Breakout},
    {"base", Void | InHead}, {"basefont", Void | InHead}, {"bgsound", Void | InHead}, {"big", Breakout},
    {"blockquote", Breakout | ClosesP}, {"body", Breakout | EndsHead | NeverPushed},
    {"br", Breakout | Void | EndsHead}, {"caption", ScopeBoundary}, {"center", Breakout | ClosesP},
    {"code", Breakout},
    {"col", Void}, {"dd", Breakout | ClosesP | DescriptionItem}, {"details", ClosesP}, {"dialog", ClosesP},
    {"dir", ClosesP}, {"div", Breakout | ClosesP}, {"dl", Breakout | ClosesP},
    {"dt", Breakout | ClosesP | DescriptionItem}, {"em", Breakout}, {"embed", Breakout | Void}, {"fieldset", ClosesP},
    {"figcaption", ClosesP}, {"figure", ClosesP}, {"footer", ClosesP}, {"form", ClosesP},
    {"frame", Void}, {"h1", Breakout | ClosesP}, {"h2", Breakout | ClosesP}, {"h3", Breakout | ClosesP},
    {"h4", Breakout | ClosesP}, {"h5", Breakout | ClosesP}, {"h6", Breakout | ClosesP},
    {"head", Breakout | InHead | NeverPushed}, {"header", ClosesP}, {"hgroup", ClosesP},
    {"hr", Breakout | Void | ClosesP}, {"html", InHead | EndsHead | NeverPushed | ScopeBoundary}, {"i", Breakout},
    {"iframe", Rawtext}, {"image", Void}, {"img", Breakout | Void}, {"input", Void}, {"keygen", Void},
    {"li", Breakout | ClosesP | ListItem}, {"link", Void | InHead}, {"listing", Breakout | ClosesP},
    {"main", ClosesP}, {"marquee", ScopeBoundary}, {"math", ForeignRoot}, {"menu", Breakout | ClosesP}, {"meta", Breakout | Void | InHead},
    {"nav", ClosesP}, {"nobr", Breakout}, {"noembed", Rawtext}, {"noframes", Rawtext | InHead},
    {"noscript", Rawtext | InHead}, {"object", ScopeBoundary}, {"ol", Breakout | ClosesP | ListBoundary}, {"p", Breakout | ClosesP},
    {"param", Void}, {"plaintext", Plaintext | ClosesP}, {"pre", Breakout | ClosesP},
    {"ruby", Breakout}, {"s", Breakout}, {"script", ScriptData | InHead}, {"search", ClosesP},
    {"section", ClosesP}, {"small", Breakout}, {"source", Void}, {"span", Breakout},
    {"strike", Breakout}, {"strong", Breakout}, {"style", Rawtext | InHead}, {"sub", Breakout},
    {"summary", ClosesP}, {"sup", Breakout}, {"svg", ForeignRoot}, {"table", Breakout | ClosesP | TablePart | ScopeBoundary},
    {"tbody", TablePart}, {"td", Cell | ScopeBoundary}, {"template", InHead | ScopeBoundary}, {"textarea", Rcdata},
    {"tfoot", TablePart}, {"th", Cell | ScopeBoundary}, {"thead", TablePart}, {"title", Rcdata | InHead},
    {"tr", TablePart | Row}, {"track", Void},
    {"tt", Breakout}, {"u", Breakout}, {"ul", Breakout | ClosesP | ListBoundary}, {"var", Breakout}, {"wbr", Void},
    {"xmp", Rawtext | ClosesP},
};

constexpr quint32 nameHash(std::string_view name)
{
    quint32 hash = 2166136261u;
    for (char c : name)
        hash = (hash ^ quint32(quint8(c))) * 16777619u;
    return hash;
}

// The known tags by the hash the tokenizer computes as it reads a name, in a table
// twice their number or more, probed linearly: one look for most tags.
constexpr int slotCount = 512;
constexpr std::array<qint16, slotCount> slots = [] {
    std::array<qint16, slotCount> table{};
    table.fill(-1);
    for (size_t i = 0; i < std::size(knownTags); ++i) {
        quint32 slot = nameHash(knownTags[i].name) % slotCount;
        while (table[slot] >= 0)
            slot = (slot + 1) % slotCount;
        table[slot] = qint16(i);
    }
    return table;
}();

constexpr std::array<quint32, std::size(knownTags)> knownHashes = [] {
    std::array<quint32, std::size(knownTags)> hashes{};
    for (size_t i = 0; i < std::size(knownTags); ++i)
        hashes[i] = nameHash(knownTags[i].name);
    return hashes;
}();

// An open element's hash names one known tag at most.
static_assert([] {
    for (size_t i = 0; i < std::size(knownHashes); ++i) {
        for (size_t j = i + 1; j < std::size(knownHashes); ++j) {
            if (knownHashes[i] == knownHashes[j])
                return false;
        }
    }
    return true;
}());

quint32 flagsOf(const TagSummary &tag)
{
    for (quint32 slot = tag.hash % slotCount; slots[slot] >= 0; slot = (slot + 1) % slotCount) {
        const int known = slots[slot];
        const std::string_view name = knownTags[known].name;
        if (knownHashes[known] != tag.hash)
            continue;
        // Names are short: compared here rather than by a call.
        size_t i = 0;
        while (i < name.size() && i < tag.name.size() && name[i] == tag.name[i])
            ++i;
        return i == name.size() && i == tag.name.size() ? knownTags[known].flags : HashOfAnother;
    }
    return 0;
}

} // namespace

quint32 TreeState::hashOf(std::string_view lowerCaseName)
{
    return nameHash(lowerCaseName);
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

Namespace TreeState::namespaceFor(const TagSummary &tag) const
{
    const quint32 flags = flagsOf(tag);
    if (htmlRulesFor(tag) || (flags & Breakout) || (tag.name == "font" && tag.fontBreakout)) {
        if (flags & ForeignRoot)
            return tag.name == "svg" ? Namespace::Svg : Namespace::MathMl;
        return Namespace::Html;
    }
    return currentNode()->ns;
}

bool TreeState::hasOpenHtmlElement(quint32 hash) const
{
    for (int i = 0; i < m_depth; ++i) {
        if (m_stack[i].ns == Namespace::Html && m_stack[i].hash == hash)
            return true;
    }
    return false;
}

TokenizerStateChange TreeState::startTag(const TagSummary &tag)
{
    const quint32 flags = flagsOf(tag);
    if (htmlRulesFor(tag))
        return startTagInHtml(tag, flags);
    if ((flags & Breakout) || (tag.name == "font" && tag.fontBreakout)) {
        popUntilHtmlOrIntegrationPoint();
        return startTagInHtml(tag, flags);
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
    constexpr quint32 templateHash = nameHash("template");
    for (int i = m_depth - 1; i >= 0; --i) {
        const OpenElement &node = m_stack[i];
        if (node.ns == Namespace::Html && node.hash == hash) {
            m_depth = quint8(i);
            return;
        }
        if (hash == templateHash)
            continue;
        // Elements that bound the search for an open one, as HTML's "in scope" says.
        if (node.flags & (HtmlIntegrationPoint | MathMlTextIntegrationPoint | ScopeBoundaryElement))
            return;
        if (listItemScope && (node.flags & ListBoundaryElement))
            return;
    }
}

TokenizerStateChange TreeState::startTagInHtml(const TagSummary &tag, quint32 flags)
{
    constexpr quint32 pHash = nameHash("p");
    constexpr quint32 ddHash = nameHash("dd");
    constexpr quint32 dtHash = nameHash("dt");
    if (m_beforeBody && !(flags & InHead))
        m_beforeBody = false;
    if (flags & ForeignRoot) {
        if (!tag.selfClosing)
            push({tag.hash, tag.name == "svg" ? Namespace::Svg : Namespace::MathMl, 0});
        return TokenizerStateChange::None;
    }
    if (flags & ClosesP)
        closeInScope(pHash);
    if (flags & ListItem)
        closeInScope(tag.hash, true);
    if (flags & DescriptionItem) {
        closeInScope(ddHash);
        closeInScope(dtHash);
    }
    // A new cell or row closes the one open: table cells are rarely closed by hand.
    if (flags & (Cell | Row))
        closeTableParts(flags & Row);
    if (flags & (Void | NeverPushed))
        return TokenizerStateChange::None;
    constexpr quint32 headHash = nameHash("head");
    const bool plainEnd = !(flags & (EndsHead | Void | TablePart | HashOfAnother)) && tag.hash != headHash;
    push({tag.hash, Namespace::Html,
          quint8(((flags & ScopeBoundary) ? ScopeBoundaryElement : 0) | ((flags & ListBoundary) ? ListBoundaryElement : 0)
                 | (plainEnd ? PlainEnd : 0))});
    if (flags & Rcdata)
        return TokenizerStateChange::Rcdata;
    if (flags & Rawtext)
        return TokenizerStateChange::Rawtext;
    if (flags & ScriptData)
        return TokenizerStateChange::ScriptData;
    if (flags & Plaintext)
        return TokenizerStateChange::Plaintext;
    return TokenizerStateChange::None;
}

void TreeState::endTag(const TagSummary &tag)
{
    const OpenElement *node = currentNode();
    // The usual case: the current node's own end tag, which closes it and nothing else.
    if (node && (node->flags & PlainEnd) && node->hash == tag.hash) {
        --m_depth;
        return;
    }
    if (!node || node->ns == Namespace::Html) {
        endTagInHtml(tag);
        return;
    }
    endTagInForeignContent(tag);
}

void TreeState::endTagInHtml(const TagSummary &tag)
{
    constexpr quint32 headHash = nameHash("head");
    const quint32 flags = flagsOf(tag);
    if (flags & EndsHead)
        m_beforeBody = false;
    if ((flags & (EndsHead | Void)) || tag.hash == headHash)
        return;
    if (flags & TablePart)
        closeTableParts(!(flags & Row));
    closeInScope(tag.hash, flags & ListItem);
}

void TreeState::closeTableParts(bool rowsToo)
{
    constexpr quint32 tdHash = nameHash("td");
    constexpr quint32 thHash = nameHash("th");
    constexpr quint32 trHash = nameHash("tr");
    closeInScope(tdHash);
    closeInScope(thHash);
    if (rowsToo)
        closeInScope(trHash);
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
