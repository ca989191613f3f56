#include "LinkResolver.h"

namespace {

bool isFetchedScheme(QStringView scheme)
{
    return scheme == u"http" || scheme == u"https";
}

bool needsEscape(char32_t c)
{
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
            || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

constexpr qsizetype maxQuoted = 120;

} // namespace

QString escapedForDisplay(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        // A lone surrogate is left as it is: QString shows it as a replacement character.
        const char32_t c = text.at(i).unicode();
        if (!needsEscape(c)) {
            out.append(text.at(i));
            ++i;
            continue;
        }
        for (const char byte : QString(QChar(c)).toUtf8())
            out.append(QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper());
        ++i;
    }
    return out;
}

LinkResolver::LinkResolver(QStringView documentAddress)
{
    Url::ParseResult parsed = Url::parse(documentAddress);
    m_documentUrl = std::move(parsed.url);
    m_base = m_documentUrl;
}

// The frozen base URL of the first base element with an href: its value parsed against
// the document's fallback base URL, which is the document's own address here (no
// about:blank or srcdoc documents are shown). A value that does not parse, or one
// whose scheme is data or javascript, leaves the fallback in place.
void LinkResolver::setBaseHref(QStringView href)
{
    if (m_baseElementSeen)
        return;
    m_baseElementSeen = true;
    Url::ParseResult urlRecord = Url::parse(href, m_documentUrl ? &*m_documentUrl : nullptr);
    if (!urlRecord.url || urlRecord.url->scheme == u"data" || urlRecord.url->scheme == u"javascript")
        return;
    m_base = std::move(urlRecord.url);
}

LinkResolver::Resolution LinkResolver::resolve(QStringView written) const
{
    const Url::ParseResult parsed = Url::parse(written, m_base ? &*m_base : nullptr);
    if (!parsed.url) {
        // The failure quotes the part it could not read, which may be as long as the page.
        if (parsed.failure.size() > maxQuoted)
            return {{}, escapedForDisplay(QStringLiteral("Not a valid address: it has %1…").arg(parsed.failure.left(maxQuoted)))};
        return {{}, escapedForDisplay(QStringLiteral("Not a valid address: it has %1.").arg(parsed.failure))};
    }
    // The parser gives schemes in lower case, from ASCII letters, digits, "+", "-" and ".".
    if (!isFetchedScheme(parsed.url->scheme)) {
        return {{}, QStringLiteral("Vellumin fetches http and https addresses only, not \"%1:\" addresses.")
                            .arg(parsed.url->scheme)};
    }
    return {parsed.url->href(), {}};
}

bool LinkResolver::isLink(QStringView written) const
{
    if (!m_base || !isFetchedScheme(m_base->scheme))
        return resolve(written).isLink();
    // As the URL parser reads it: without C0 controls and spaces around it, and with
    // tabs and line breaks anywhere left out.
    qsizetype start = 0;
    qsizetype end = written.size();
    while (start < end && written.at(start).unicode() <= 0x20)
        ++start;
    while (end > start && written.at(end - 1).unicode() <= 0x20)
        --end;
    const auto next = [written, end](qsizetype &at) -> char16_t {
        while (at < end && (written.at(at) == u'\t' || written.at(at) == u'\n' || written.at(at) == u'\r'))
            ++at;
        return at < end ? written.at(at).unicode() : 0;
    };
    qsizetype at = start;
    const char16_t first = next(at);
    const auto isAlpha = [](char16_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    if (isAlpha(first)) {
        // A scheme: letters, digits, "+", "-" and "." up to a ":".
        for (qsizetype i = at + 1;; ++i) {
            const char16_t c = next(i);
            if (c == u':')
                return resolve(written).isLink();
            if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != u'+' && c != u'-' && c != u'.')
                break;
        }
    }
    // Two slashes, either way round, begin a host, which may not parse.
    if (first == u'/' || first == u'\\') {
        qsizetype i = at + 1;
        const char16_t second = next(i);
        if (second == u'/' || second == u'\\')
            return resolve(written).isLink();
    }
    return true;
}
