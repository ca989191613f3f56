#include "MarkupLinks.h"

#include "LinkAttributes.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using html::State;
using html::TokenKind;

namespace {

bool isTagNameEnd(QChar c)
{
    return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == u' ' || c == u'/' || c == u'>';
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// A tag's name as it stands after its "<" (or "</"): a token carries the name's offsets
// only when the run saw it begin, but where the tag begins is always known.
QStringView tagName(QStringView document, const html::Token &token)
{
    const qsizetype from = std::min(document.size(), token.start + (token.kind == TokenKind::EndTag ? 2 : 1));
    qsizetype to = from;
    const qsizetype end = std::min(document.size(), std::max(token.end, from));
    while (to < end && !isTagNameEnd(document.at(to)))
        ++to;
    return document.sliced(from, to - from);
}

bool nameIs(QStringView name, QLatin1StringView lowercase)
{
    if (name.size() != lowercase.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (asciiLower(name.at(i).unicode()) != char16_t(uchar(lowercase.at(i).toLatin1())))
            return false;
    }
    return true;
}

// An attribute's value without its quotes, by offsets; an unquoted value cannot start
// with a quote, and a value cut off by the end of the run or the document has no
// closing quote.
std::pair<qsizetype, qsizetype> valueRange(QStringView document, const html::Attribute &attribute, qsizetype tagEnd)
{
    if (attribute.valueStart < 0)
        return {attribute.nameEnd, attribute.nameEnd};
    qsizetype start = attribute.valueStart;
    qsizetype end = attribute.valueEnd >= start ? attribute.valueEnd : tagEnd;
    end = std::min(end, document.size());
    const QChar first = start < end ? document.at(start) : QChar();
    if (first == u'"' || first == u'\'') {
        ++start;
        if (end > start && document.at(end - 1) == first && attribute.valueEnd >= 0)
            --end;
    }
    return {start, std::max(start, end)};
}

} // namespace

// The part of tree construction that tells which namespace a start tag's element goes
// in, followed over a run from where the run's state leaves the tree.
class TreeFollower
{
public:
    explicit TreeFollower(const html::Checkpoint &state) : m_tree(state.tree()), m_on(state.followsTree()) {}

    // The namespace of the element that a start tag inserts; the tree goes on past it.
    Html::Namespace startTag(QStringView name, const std::vector<Html::Attribute> &attributes, bool selfClosing)
    {
        if (!m_on)
            return Html::Namespace::Html;
        const html::TagSummary tag = summary(name, attributes, selfClosing);
        const html::Namespace ns = m_tree.namespaceFor(tag);
        m_tree.startTag(tag);
        return ns == html::Namespace::Svg ? Html::Namespace::Svg
            : ns == html::Namespace::MathMl ? Html::Namespace::MathMl : Html::Namespace::Html;
    }
    void endTag(QStringView name)
    {
        if (m_on)
            m_tree.endTag(summary(name, {}, false));
    }
    // Whether a template's contents are being read: they are not the document's own.
    bool inTemplate() const
    {
        static const quint32 templateHash = html::TreeState::hashOf("template");
        return m_on && m_tree.hasOpenHtmlElement(templateHash);
    }

private:
    // What the tree builder tells from a tag, as the tokenizer tells it.
    html::TagSummary summary(QStringView name, const std::vector<Html::Attribute> &attributes, bool selfClosing)
    {
        m_name.clear();
        bool ascii = true;
        for (const QChar c : name) {
            ascii = ascii && c.unicode() < 0x80;
            m_name.push_back(char(asciiLower(c.unicode()) & 0x7F));
        }
        html::TagSummary tag;
        tag.name = ascii && m_name.size() <= 23 ? std::string_view(m_name) : std::string_view();
        tag.hash = html::TreeState::hashOf(m_name);
        tag.selfClosing = selfClosing;
        for (const Html::Attribute &attribute : attributes) {
            if (nameIs(attribute.name, QLatin1StringView("color")) || nameIs(attribute.name, QLatin1StringView("face"))
                || nameIs(attribute.name, QLatin1StringView("size")))
                tag.fontBreakout = true;
            if (nameIs(attribute.name, QLatin1StringView("encoding"))
                && (nameIs(attribute.value, QLatin1StringView("text/html"))
                    || nameIs(attribute.value, QLatin1StringView("application/xhtml+xml"))))
                tag.htmlEncoding = true;
        }
        return tag;
    }

    html::TreeState m_tree;
    bool m_on;
    std::string m_name;
};

namespace {

// A start tag's attributes as the link rules read them: HTML drops a repeated
// attribute, so only the first of a name counts.
std::vector<Html::Attribute> tagAttributes(QStringView document, const html::Token &token)
{
    std::vector<Html::Attribute> attributes;
    attributes.reserve(size_t(token.attributes.size()));
    for (const html::Attribute &attribute : token.attributes) {
        if (attribute.duplicate || attribute.nameEnd <= attribute.nameStart)
            continue;
        const auto [start, end] = valueRange(document, attribute, token.end);
        attributes.push_back({document.sliced(attribute.nameStart, attribute.nameEnd - attribute.nameStart),
                              document.sliced(start, end - start), start});
    }
    return attributes;
}

// Reads the start tags of a run, following the tree far enough to tell an svg or
// MathML element from an HTML one (xlink:href is a link on the former only).
class LinkSink : public html::TokenSink
{
public:
    LinkSink(QStringView document, const html::Checkpoint &state) : m_document(document), m_tree(state) {}

    void token(const html::Token &token) override
    {
        if (token.kind != TokenKind::StartTag && token.kind != TokenKind::EndTag)
            return;
        m_unfinished.reset();
        if (token.kind == TokenKind::StartTag)
            startTag(token);
        else
            m_tree.endTag(tagName(m_document, token));
    }
    void parseError(html::ParseError, qsizetype) override {}
    void unfinished(const html::Token &token) override
    {
        if (token.kind == TokenKind::StartTag)
            m_unfinished = token;
    }

    // stop: where the run ended.
    QList<MarkupLink> finish(qsizetype stop)
    {
        if (m_unfinished) {
            const qsizetype before = links.size();
            // An attribute whose value the end cuts is not known whole: it has no links.
            html::Token &token = *m_unfinished;
            if (stop < m_document.size() && !token.attributes.isEmpty() && token.attributes.last().valueStart >= 0
                && token.attributes.last().valueEnd < 0)
                token.attributes.removeLast();
            startTag(token);
            // An address that the run's end cuts is not known whole, and is none: it
            // would be followed cut short.
            if (stop < m_document.size()) {
                links.erase(std::remove_if(links.begin() + before, links.end(), [stop](const MarkupLink &link) { return link.end >= stop; }),
                            links.end());
            }
        }
        m_unfinished.reset();
        return links;
    }

    QList<MarkupLink> links;

private:
    void startTag(const html::Token &token)
    {
        const QStringView name = tagName(m_document, token);
        const std::vector<Html::Attribute> attributes = tagAttributes(m_document, token);
        const Html::Namespace ns = m_tree.startTag(name, attributes, token.selfClosing);
        QString localName = name.toString();
        for (QChar &c : localName)
            c = QChar(asciiLower(c.unicode()));
        for (const Html::LinkText &link : Html::linksInTag(localName, ns, attributes))
            links.append({link.start, link.end(), readCharacterReferences(link.written)});
    }

    QStringView m_document;
    TreeFollower m_tree;
    std::optional<html::Token> m_unfinished;
};

// The value of the first attribute of the one tag read.
class ValueSink : public html::TokenSink
{
public:
    void token(const html::Token &token) override
    {
        if (token.kind == TokenKind::StartTag && !token.attributes.isEmpty() && !value)
            value = token.attributes.first().value;
    }
    void parseError(html::ParseError, qsizetype) override {}
    std::optional<QString> value;
};

} // namespace

BaseFinder::BaseFinder(QStringView document, const html::Checkpoint &state, html::TokenSink &next)
    : m_document(document), m_next(next), m_tree(std::make_unique<TreeFollower>(state))
{
}

BaseFinder::~BaseFinder() = default;

bool insideTag(State state)
{
    return state == State::TagName || (state >= State::BeforeAttributeName && state <= State::SelfClosingStartTag)
        || state >= State::CharacterReference;
}

QList<MarkupLink> markupLinks(QStringView document, html::Checkpoint state, qsizetype stop)
{
    LinkSink sink(document, state);
    html::Tokenizer(sink, false).run(document, state, stop);
    return sink.finish(std::min(stop, document.size()));
}

QString readCharacterReferences(QStringView value)
{
    if (!value.contains(u'&'))
        return value.toString();
    // The tokenizer itself reads the value, in a tag of its own, so that the references
    // read exactly as in the page; a quote the value does not hold keeps it whole (an
    // unquoted value holds no space or ">", whatever quotes it has).
    QString quote;
    if (!value.contains(u'"'))
        quote = QStringLiteral("\"");
    else if (!value.contains(u'\''))
        quote = QStringLiteral("'");
    QString tag = QLatin1StringView("<a v=") + quote;
    tag.append(value);
    tag.append(quote + QLatin1StringView(">"));
    ValueSink sink;
    html::Checkpoint state;
    html::Tokenizer(sink, true).run(tag, state, tag.size());
    return sink.value.value_or(value.toString());
}

void BaseFinder::token(const html::Token &token)
{
    m_next.token(token);
    if (hrefStart >= 0 || (token.kind != TokenKind::StartTag && token.kind != TokenKind::EndTag))
        return;
    const QStringView name = tagName(m_document, token);
    if (token.kind == TokenKind::EndTag) {
        m_tree->endTag(name);
        return;
    }
    const std::vector<Html::Attribute> attributes = tagAttributes(m_document, token);
    const bool inTemplate = m_tree->inTemplate();
    // Only an HTML base element of the document counts: not svg's, nor one in a
    // template's contents.
    if (m_tree->startTag(name, attributes, token.selfClosing) != Html::Namespace::Html || inTemplate
        || !nameIs(name, QLatin1StringView("base")))
        return;
    for (const html::Attribute &attribute : token.attributes) {
        if (attribute.duplicate || !nameIs(m_document.sliced(attribute.nameStart, attribute.nameEnd - attribute.nameStart),
                                           QLatin1StringView("href")))
            continue;
        std::tie(hrefStart, hrefEnd) = valueRange(m_document, attribute, token.end);
        return;
    }
}

namespace {

// The xml-stylesheet instructions in a run of processing instructions, document[start,
// end), which are back to back ("<?a?><?b?>"): each with the pseudo-attributes it
// has, name="value" or name='value' apart by whitespace. Each character is looked at a
// bounded number of times. False when tag said to read no further.
bool stylesheetInstructions(QStringView document, qsizetype start, qsizetype end,
                            const std::function<bool(const XmlStartTag &)> &tag)
{
    static const QString opener = QStringLiteral("<?xml-stylesheet");
    const QStringView text = document.sliced(start, end - start);
    qsizetype at = 0;
    if (!text.startsWith(u"<?")) {
        // The end of one that began before the run.
        at = text.indexOf(u"?>");
        if (at < 0)
            return true;
        at += 2;
    }
    while (text.sliced(at).startsWith(u"<?")) {
        const qsizetype close = text.indexOf(u"?>", at + 2);
        const qsizetype last = close < 0 ? text.size() : close;
        qsizetype i = at + opener.size();
        const auto isSpace = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
        if (text.sliced(at).startsWith(opener) && i < last && isSpace(text.at(i)) && (close >= 0 || end == document.size())) {
            XmlStartTag instruction;
            instruction.name = text.sliced(at + 1, opener.size() - 1);
            while (i < last) {
                while (i < last && isTagNameEnd(text.at(i)))
                    ++i;
                const qsizetype nameStart = i;
                while (i < last && text.at(i) != u'=' && !isTagNameEnd(text.at(i)))
                    ++i;
                const qsizetype nameEnd = i;
                if (i + 1 >= last || text.at(i) != u'=')
                    break;
                const QChar quote = text.at(i + 1);
                if (quote != u'"' && quote != u'\'')
                    break;
                const qsizetype valueEnd = text.first(last).indexOf(quote, i + 2);
                if (valueEnd < 0)
                    break;
                instruction.attributes.push_back({text.sliced(nameStart, nameEnd - nameStart), text.sliced(i + 2, valueEnd - i - 2),
                                                  start + i + 2});
                i = valueEnd + 1;
            }
            if (!tag(instruction))
                return false;
        }
        if (close < 0)
            break;
        at = close + 2;
    }
    return true;
}

} // namespace

void readXmlStartTags(QStringView document, qsizetype from, MarkupState state, qsizetype stop,
                      const std::function<bool(const XmlStartTag &)> &tag)
{
    stop = std::min(stop, document.size());
    if (from >= stop)
        return;
    QList<MarkupSpan> spans;
    constexpr qsizetype following = 40; // what the tokenizer may look at past its text
    tokenizeMarkup(document.sliced(from, stop - from), state, &spans,
                   document.sliced(stop).first(std::min(following, document.size() - stop)));

    // Adjacent spans differ in role, so one Tag span may hold several tags' brackets
    // ("<a><b>"), and a value holding references is several spans.
    XmlStartTag current;
    // A run that starts inside a tag does not know which attribute a value is of: the
    // tag gives no links (a tag begun further back than is read is a data: address).
    bool inTag = false;
    qsizetype nameStart = -1; // the attribute whose value may come next
    qsizetype nameEnd = -1;
    qsizetype valueStart = -1;
    qsizetype valueEnd = -1;
    const auto endAttribute = [&] {
        if (nameStart >= 0) {
            qsizetype start = valueStart < 0 ? nameEnd : valueStart;
            qsizetype end = valueStart < 0 ? nameEnd : valueEnd;
            const QChar quote = start < end ? document.at(start) : QChar();
            if (quote == u'"' || quote == u'\'') {
                ++start;
                if (end > start && document.at(end - 1) == quote)
                    --end;
            }
            current.attributes.push_back({document.sliced(nameStart, nameEnd - nameStart), document.sliced(start, end - start), start});
        }
        nameStart = nameEnd = valueStart = valueEnd = -1;
    };
    for (const MarkupSpan &span : std::as_const(spans)) {
        const qsizetype start = from + span.start;
        const qsizetype end = start + span.length;
        switch (span.role) {
        case MarkupRole::ProcessingInstruction:
            if (!stylesheetInstructions(document, start, end, tag))
                return;
            break;
        case MarkupRole::Tag:
            for (qsizetype i = start; i < end; ++i) {
                const QChar c = document.at(i);
                if (c == u'<') {
                    current = {};
                    nameStart = -1;
                    inTag = true;
                    current.endTag = i + 1 < end && document.at(i + 1) == u'/';
                    qsizetype nameFrom = current.endTag ? i + 2 : i + 1;
                    qsizetype nameTo = nameFrom;
                    while (nameTo < end && !isTagNameEnd(document.at(nameTo)))
                        ++nameTo;
                    current.name = document.sliced(nameFrom, nameTo - nameFrom);
                    i = nameTo - 1;
                } else if (c == u'>' && inTag) {
                    endAttribute();
                    inTag = false;
                    current.selfClosing = i > start && document.at(i - 1) == u'/';
                    if (!tag(current))
                        return;
                } else if (inTag && valueStart >= 0 && c != u'=') {
                    endAttribute(); // the space after a value
                }
            }
            break;
        case MarkupRole::AttributeName:
            if (inTag && !current.endTag) {
                endAttribute();
                nameStart = start;
                nameEnd = end;
            }
            break;
        case MarkupRole::AttributeValue:
        case MarkupRole::CharacterReference:
            if (inTag && nameStart >= 0) {
                if (valueStart < 0)
                    valueStart = start;
                valueEnd = end;
            }
            break;
        default:
            break;
        }
    }
    // A tag the end of the run cuts, with the attributes read so far: not the one
    // being read, whose value may go on.
    if (inTag && !current.endTag) {
        current.cut = stop < document.size();
        if (!current.cut)
            endAttribute();
        tag(current);
    }
}

Html::Namespace xmlElementNamespace(QStringView qualifiedName, Html::Namespace rootNamespace)
{
    const qsizetype colon = qualifiedName.indexOf(u':');
    const QStringView prefix = colon < 0 ? QStringView() : qualifiedName.first(colon);
    const QStringView local = qualifiedName.sliced(colon + 1);
    if (prefix == u"svg" || local == u"svg")
        return Html::Namespace::Svg;
    if (prefix == u"math" || local == u"math")
        return Html::Namespace::MathMl;
    return rootNamespace;
}

QList<MarkupLink> xmlMarkupLinks(QStringView document, qsizetype from, MarkupState state, qsizetype stop,
                                 Html::Namespace rootNamespace)
{
    QList<MarkupLink> links;
    readXmlStartTags(document, from, state, stop, [&](const XmlStartTag &tag) {
        if (tag.endTag)
            return true;
        if (tag.name.startsWith(u'?')) {
            // An xml-stylesheet instruction: its href, which an element's would be too.
            for (const Html::Attribute &attribute : tag.attributes) {
                if (attribute.name != u"href")
                    continue;
                for (const Html::LinkText &link : Html::linksInAttribute(Html::Element{u"link"}, attribute))
                    links.append({link.start, link.end(), readCharacterReferences(link.written)});
            }
            return true;
        }
        const QStringView local = tag.name.sliced(tag.name.indexOf(u':') + 1);
        const Html::Namespace ns = xmlElementNamespace(tag.name, rootNamespace);
        QList<Html::LinkText> found = Html::linksInTag(local, ns, tag.attributes);
        if (ns == Html::Namespace::Html) {
            const Html::Element foreign{local, Html::Namespace::Svg};
            for (const Html::Attribute &attribute : tag.attributes) {
                if (attribute.name == u"xlink:href")
                    found.append(Html::linksInAttribute(foreign, attribute));
            }
            std::sort(found.begin(), found.end(), [](const Html::LinkText &a, const Html::LinkText &b) { return a.start < b.start; });
        }
        for (const Html::LinkText &link : std::as_const(found)) {
            // An address that the run's end cuts is not known whole, and is none: it
            // would be followed cut short.
            if (!tag.cut || link.end() < stop)
                links.append({link.start, link.end(), readCharacterReferences(link.written)});
        }
        return true;
    });
    return links;
}
