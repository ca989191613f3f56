#include "Address.h"

#include "DisplayText.h"
#include "Url.h"

namespace Address {

namespace {

bool isSchemeChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'+' || c == u'-' || c == u'.';
}

// The scheme the address starts with, or empty. "localhost:8080/x" has none: what
// follows the colon there is a port.
QString schemeOf(const QString &address)
{
    if (address.isEmpty() || !address.at(0).isLetter() || address.at(0).unicode() > 0x7F)
        return {};
    qsizetype i = 1;
    while (i < address.size() && isSchemeChar(address.at(i)))
        ++i;
    if (i >= address.size() || address.at(i) != u':')
        return {};
    if (address.mid(i + 1, 2) == QLatin1String("//"))
        return address.left(i).toLower();
    qsizetype j = i + 1;
    while (j < address.size() && address.at(j).isDigit())
        ++j;
    const bool port = j > i + 1 && (j == address.size() || address.at(j) == u'/' || address.at(j) == u'?' || address.at(j) == u'#');
    if (port)
        return {};
    return address.left(i).toLower();
}

bool isFetched(QStringView scheme)
{
    return scheme == u"http" || scheme == u"https";
}

// The URL as it is requested: ASCII, and the fragment stays with the reader.
QByteArray requestUrl(const Url::Record &url)
{
    return url.serialize(true).toLatin1();
}

} // namespace

std::variant<QByteArray, Refusal> toRequestUrl(const QString &typed)
{
    qsizetype first = 0;
    qsizetype last = typed.size();
    while (first < last && typed.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && typed.at(last - 1).unicode() <= 0x20)
        --last;
    QString address = typed.mid(first, last - first);
    address.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });

    if (address.isEmpty())
        return Refusal{Refusal::Invalid, QStringLiteral("There is no address to fetch. Type the address of a web page, such as www.example.com.")};

    const QString scheme = schemeOf(address);
    if (!scheme.isEmpty() && !isFetched(scheme)) {
        return Refusal{Refusal::UnsupportedScheme,
                       QStringLiteral("Vellumin fetches http and https addresses only, not \"%1:\" addresses.").arg(scheme)};
    }
    if (scheme.isEmpty())
        address.prepend(QStringLiteral("http://"));

    const Url::ParseResult parsed = Url::parse(address);
    if (!parsed.url)
        return Refusal{Refusal::Invalid, QStringLiteral("The address has %1").arg(parsed.failure)};
    // The scheme was read above; the parser agrees on it.
    Q_ASSERT(isFetched(parsed.url->scheme));
    return requestUrl(*parsed.url);
}

std::variant<QByteArray, Refusal> resolveRedirect(QByteArrayView location, QByteArrayView currentUrl)
{
    const Url::ParseResult current = Url::parse(QString::fromUtf8(currentUrl));
    if (!current.url) {
        return Refusal{Refusal::Invalid,
                       QStringLiteral("The redirect from %1 cannot be followed: that address has %2").arg(DisplayText::displayedAddress(QString::fromUtf8(currentUrl)), current.failure)};
    }
    const Url::ParseResult target = Url::parse(QString::fromUtf8(location), &*current.url);
    if (!target.url)
        return Refusal{Refusal::Invalid, QStringLiteral("The page redirected to an address that has %1").arg(target.failure)};
    if (!isFetched(target.url->scheme)) {
        return Refusal{Refusal::UnsupportedScheme,
                       QStringLiteral("The page redirected to an address that is not http or https, which Vellumin does not follow: %1").arg(DisplayText::displayedAddress(target.url->href()))};
    }
    return requestUrl(*target.url);
}

} // namespace Address
