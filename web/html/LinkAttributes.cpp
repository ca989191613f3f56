#include "LinkAttributes.h"

#include <iterator>

namespace Html {

namespace {

constexpr char16_t eof = 0xFFFF; // not a character any of these readings looks for

bool isAsciiWhitespace(char16_t c)
{
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool equalsIgnoringAsciiCase(QStringView a, QLatin1StringView lowercase)
{
    if (a.size() != lowercase.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t c = a.at(i).unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != char16_t(uchar(lowercase.at(i).toLatin1())))
            return false;
    }
    return true;
}

// A position in a value, read a code unit at a time as the standard's algorithms read
// code points; every character they look for is ASCII.
struct Reader
{
    QStringView input;
    qsizetype position = 0;

    bool pastEnd() const { return position >= input.size(); }
    char16_t c() const { return pastEnd() ? eof : input.at(position).unicode(); }
    void skipAsciiWhitespace()
    {
        while (isAsciiWhitespace(c()))
            ++position;
    }
};

enum class Kind { Url, SpaceSeparatedUrls, Srcset, Refresh };

// Which elements an attribute names a resource on.
enum class On { AnyElement, ForeignElement, HtmlObject, RefreshPragma };

struct LinkAttribute
{
    QLatin1StringView name;
    Kind kind;
    On on = On::AnyElement;
};

constexpr LinkAttribute linkAttributes[] = {
    {QLatin1StringView("href"), Kind::Url},
    {QLatin1StringView("src"), Kind::Url},
    {QLatin1StringView("action"), Kind::Url},
    {QLatin1StringView("formaction"), Kind::Url},
    {QLatin1StringView("poster"), Kind::Url},
    {QLatin1StringView("cite"), Kind::Url},
    {QLatin1StringView("background"), Kind::Url},
    {QLatin1StringView("longdesc"), Kind::Url},
    {QLatin1StringView("manifest"), Kind::Url},
    // The tree builder gives xlink:href its namespace in SVG and MathML only; in HTML
    // it is an attribute like any other.
    {QLatin1StringView("xlink:href"), Kind::Url, On::ForeignElement},
    {QLatin1StringView("data"), Kind::Url, On::HtmlObject},
    {QLatin1StringView("ping"), Kind::SpaceSeparatedUrls},
    {QLatin1StringView("srcset"), Kind::Srcset},
    {QLatin1StringView("imagesrcset"), Kind::Srcset},
    {QLatin1StringView("content"), Kind::Refresh, On::RefreshPragma},
};
static_assert(std::size(linkAttributes) <= 32, "linksInTag keeps the attributes seen in 32 bits");

bool appliesTo(On on, const Element &element)
{
    const bool html = element.ns == Namespace::Html;
    switch (on) {
    case On::AnyElement: return true;
    case On::ForeignElement: return !html;
    case On::HtmlObject: return html && element.localName == u"object";
    case On::RefreshPragma: return html && element.localName == u"meta" && element.refreshPragma;
    }
    return false;
}

// The row of linkAttributes that the attribute is on this element, or -1.
int linkAttributeIndex(const Element &element, QStringView name)
{
    for (int i = 0; i < int(std::size(linkAttributes)); ++i) {
        if (equalsIgnoringAsciiCase(name, linkAttributes[i].name))
            return appliesTo(linkAttributes[i].on, element) ? i : -1;
    }
    return -1;
}

void appendLink(QList<LinkText> &links, QStringView value, qsizetype valueOffset, qsizetype from, qsizetype to)
{
    if (to > from)
        links.append({valueOffset + from, to - from, value.sliced(from, to - from)});
}

// A URL attribute's value: a URL, possibly with ASCII whitespace around it, which is
// stripped before the URL is parsed.
void urlAddress(QList<LinkText> &links, QStringView value, qsizetype valueOffset)
{
    qsizetype first = 0;
    qsizetype last = value.size();
    while (first < last && isAsciiWhitespace(value.at(first).unicode()))
        ++first;
    while (last > first && isAsciiWhitespace(value.at(last - 1).unicode()))
        --last;
    appendLink(links, value, valueOffset, first, last);
}

// A set of space-separated tokens, each a URL.
void spaceSeparatedAddresses(QList<LinkText> &links, QStringView value, qsizetype valueOffset)
{
    Reader reader{value};
    for (;;) {
        reader.skipAsciiWhitespace();
        if (reader.pastEnd())
            return;
        const qsizetype start = reader.position;
        while (!reader.pastEnd() && !isAsciiWhitespace(reader.c()))
            ++reader.position;
        appendLink(links, value, valueOffset, start, reader.position);
    }
}

enum class DescriptorState { InDescriptor, InParens, AfterDescriptor };

// The descriptor tokenizer of "parse a srcset attribute", for where it ends: the
// descriptors themselves do not change where the URL is.
void skipDescriptors(Reader &reader)
{
    reader.skipAsciiWhitespace();
    DescriptorState state = DescriptorState::InDescriptor;
    for (;;) {
        const char16_t c = reader.c();
        switch (state) {
        case DescriptorState::InDescriptor:
            if (isAsciiWhitespace(c)) {
                state = DescriptorState::AfterDescriptor;
            } else if (c == u',') {
                ++reader.position;
                return;
            } else if (c == u'(') {
                state = DescriptorState::InParens;
            } else if (reader.pastEnd()) {
                return;
            }
            break;
        case DescriptorState::InParens:
            if (c == u')')
                state = DescriptorState::InDescriptor;
            else if (reader.pastEnd())
                return;
            break;
        case DescriptorState::AfterDescriptor:
            if (reader.pastEnd())
                return;
            if (!isAsciiWhitespace(c)) {
                // Reconsume in the descriptor state.
                state = DescriptorState::InDescriptor;
                --reader.position;
            }
            break;
        }
        ++reader.position;
    }
}

} // namespace

bool isRefreshPragma(QStringView httpEquiv)
{
    return equalsIgnoringAsciiCase(httpEquiv, QLatin1StringView("refresh"));
}

// "Parse a srcset attribute", up to where each candidate's URL is known. A candidate
// whose descriptors a browser would reject is still a link here: its URL is what the
// page's author meant to be fetched, and showing it costs nothing.
QList<LinkText> srcsetAddresses(QStringView value, qsizetype valueOffset)
{
    QList<LinkText> links;
    Reader reader{value};
    for (;;) {
        // Splitting loop: whitespace and commas between candidates.
        while (isAsciiWhitespace(reader.c()) || reader.c() == u',')
            ++reader.position;
        if (reader.pastEnd())
            return links;
        const qsizetype urlStart = reader.position;
        while (!reader.pastEnd() && !isAsciiWhitespace(reader.c()))
            ++reader.position;
        qsizetype urlEnd = reader.position;
        if (value.at(urlEnd - 1) == u',') {
            // "a.png," ends its candidate: it has no descriptors.
            while (urlEnd > urlStart && value.at(urlEnd - 1) == u',')
                --urlEnd;
        } else {
            skipDescriptors(reader);
        }
        appendLink(links, value, valueOffset, urlStart, urlEnd);
    }
}

// The shared declarative refresh steps, as far as the URL: a time, then optionally a
// separator and "url=", the URL perhaps in quotes.
std::optional<LinkText> refreshAddress(QStringView content, qsizetype contentOffset)
{
    Reader reader{content};
    if (content.isEmpty())
        return std::nullopt;
    reader.skipAsciiWhitespace();
    const qsizetype timeStart = reader.position;
    while (isAsciiDigit(reader.c()))
        ++reader.position;
    if (reader.position == timeStart && reader.c() != u'.')
        return std::nullopt;
    while (isAsciiDigit(reader.c()) || reader.c() == u'.')
        ++reader.position;
    if (!reader.pastEnd()) {
        const char16_t c = reader.c();
        if (c != u';' && c != u',' && !isAsciiWhitespace(c))
            return std::nullopt;
        reader.skipAsciiWhitespace();
        if (reader.c() == u';' || reader.c() == u',')
            ++reader.position;
        reader.skipAsciiWhitespace();
    }
    if (reader.pastEnd())
        return std::nullopt; // a refresh of the document itself
    qsizetype urlStart = reader.position;
    qsizetype urlEnd = content.size();
    // "url=" is optional, and so is each of its letters from the end: "u" alone, or
    // "ur", is the start of the URL itself.
    bool skipQuotes = false;
    if (reader.c() == u'U' || reader.c() == u'u') {
        ++reader.position;
        if (reader.c() == u'R' || reader.c() == u'r') {
            ++reader.position;
            if (reader.c() == u'L' || reader.c() == u'l') {
                ++reader.position;
                reader.skipAsciiWhitespace();
                if (reader.c() == u'=') {
                    ++reader.position;
                    reader.skipAsciiWhitespace();
                    skipQuotes = true;
                }
            }
        }
    } else {
        skipQuotes = true;
    }
    if (skipQuotes) {
        char16_t quote = 0;
        if (reader.c() == u'\'' || reader.c() == u'"') {
            quote = reader.c();
            ++reader.position;
        }
        urlStart = reader.position;
        if (quote) {
            const qsizetype closing = content.indexOf(QChar(quote), urlStart);
            if (closing >= 0)
                urlEnd = closing;
        }
    }
    // The URL parser drops the trailing spaces; the underline leaves them out too.
    while (urlEnd > urlStart && isAsciiWhitespace(content.at(urlEnd - 1).unicode()))
        --urlEnd;
    if (urlEnd <= urlStart)
        return std::nullopt;
    return LinkText{contentOffset + urlStart, urlEnd - urlStart, content.sliced(urlStart, urlEnd - urlStart)};
}

namespace {

QList<LinkText> linksInValue(Kind kind, const Attribute &attribute)
{
    QList<LinkText> links;
    switch (kind) {
    case Kind::Url:
        urlAddress(links, attribute.value, attribute.valueOffset);
        break;
    case Kind::SpaceSeparatedUrls:
        spaceSeparatedAddresses(links, attribute.value, attribute.valueOffset);
        break;
    case Kind::Srcset:
        links = srcsetAddresses(attribute.value, attribute.valueOffset);
        break;
    case Kind::Refresh:
        if (std::optional<LinkText> link = refreshAddress(attribute.value, attribute.valueOffset))
            links.append(std::move(*link));
        break;
    }
    return links;
}

} // namespace

QList<LinkText> linksInAttribute(const Element &element, const Attribute &attribute)
{
    const int index = linkAttributeIndex(element, attribute.name);
    return index < 0 ? QList<LinkText>() : linksInValue(linkAttributes[index].kind, attribute);
}

QList<LinkText> linksInTag(QStringView localName, Namespace ns, std::span<const Attribute> attributes)
{
    Element element{localName, ns, false};
    // The first http-equiv counts: the tokenizer drops a repeated attribute.
    for (const Attribute &attribute : attributes) {
        if (equalsIgnoringAsciiCase(attribute.name, QLatin1StringView("http-equiv"))) {
            element.refreshPragma = isRefreshPragma(attribute.value);
            break;
        }
    }
    QList<LinkText> links;
    // A repeated attribute is dropped too, so only the first href is a link.
    quint32 seen = 0;
    for (const Attribute &attribute : attributes) {
        const int index = linkAttributeIndex(element, attribute.name);
        if (index < 0 || (seen & (1u << index)))
            continue;
        seen |= 1u << index;
        links.append(linksInValue(linkAttributes[index].kind, attribute));
    }
    return links;
}

} // namespace Html
