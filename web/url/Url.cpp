#include "Url.h"

namespace Url {

bool isSpecialScheme(QStringView scheme)
{
    return scheme == u"ftp" || scheme == u"file" || scheme == u"http" || scheme == u"https" || scheme == u"ws"
            || scheme == u"wss";
}

std::optional<int> defaultPort(QStringView scheme)
{
    if (scheme == u"ftp")
        return 21;
    if (scheme == u"http" || scheme == u"ws")
        return 80;
    if (scheme == u"https" || scheme == u"wss")
        return 443;
    return std::nullopt;
}

bool Record::isSpecial() const
{
    return isSpecialScheme(scheme);
}

QString Record::serialize(bool excludeFragment) const
{
    QString output = scheme + u':';
    if (host) {
        output.append(u"//");
        if (includesCredentials()) {
            output.append(username);
            if (!password.isEmpty())
                output.append(u':' + password);
            output.append(u'@');
        }
        output.append(*host);
        if (port)
            output.append(u':' + QString::number(*port));
    }
    if (opaquePath) {
        output.append(*opaquePath);
    } else {
        // Without this, a path starting with an empty segment would read as a host.
        if (!host && path.size() > 1 && path.front().isEmpty())
            output.append(u"/.");
        for (const QString &segment : path)
            output.append(u'/' + segment);
    }
    if (query)
        output.append(u'?' + *query);
    if (!excludeFragment && fragment)
        output.append(u'#' + *fragment);
    return output;
}

} // namespace Url
