#include "Address.h"

#include <QRegularExpression>

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

// What follows the host, as a browser sends it: spaces, quotes, angle brackets and
// bytes outside ASCII percent-encoded; the fragment is never sent.
QByteArray encodePathAndQuery(QStringView rest)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = rest.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    bool inQuery = false;
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '#')
            break;
        if (b == '?')
            inQuery = true;
        const bool encode = b >= 0x80 || b == ' ' || b == '"' || b == '<' || b == '>' || b == '`'
                || (!inQuery && (b == '{' || b == '}')) || (inQuery && b == '\'');
        if (encode)
            out.append('%').append(hex[b >> 4]).append(hex[b & 0xF]);
        else
            out.append(c);
    }
    return out;
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
    address.remove(QRegularExpression(QStringLiteral("[\\t\\n\\r]")));

    if (address.isEmpty())
        return Refusal{Refusal::Invalid, QStringLiteral("There is no address to fetch. Type the address of a web page, such as www.example.com.")};
    for (QChar c : std::as_const(address)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return Refusal{Refusal::Invalid,
                                QStringLiteral("The address contains a control character (code %1), so it was not fetched.").arg(c.unicode())};
        }
    }

    const QString scheme = schemeOf(address);
    if (!scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return Refusal{Refusal::UnsupportedScheme,
                            QStringLiteral("Vellumin fetches http and https addresses only, not \"%1:\" addresses.").arg(scheme)};
    }
    if (scheme.isEmpty())
        address.prepend(QStringLiteral("http://"));

    // The host goes as typed (libcurl turns a name in another script into punycode);
    // what follows it is percent-encoded as a browser would send it.
    const qsizetype hostStart = address.indexOf(QLatin1String("://")) + 3;
    qsizetype pathStart = hostStart;
    while (pathStart < address.size() && address.at(pathStart) != u'/' && address.at(pathStart) != u'?' && address.at(pathStart) != u'#')
        ++pathStart;

    return address.left(pathStart).toUtf8() + encodePathAndQuery(QStringView(address).sliced(pathStart));
}

} // namespace Address
