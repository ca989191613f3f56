#include "Url.h"

#include "DisplayText.h"
#include "Host.h"
#include "PercentEncoding.h"

#include <algorithm>
#include <string_view>

namespace Url {

namespace {

// Stands for the end of the input; no code point has this value.
constexpr char32_t eofCodePoint = 0xFFFFFFFF;

enum class State {
    SchemeStart,
    Scheme,
    NoScheme,
    SpecialRelativeOrAuthority,
    PathOrAuthority,
    Relative,
    RelativeSlash,
    SpecialAuthoritySlashes,
    SpecialAuthorityIgnoreSlashes,
    Authority,
    Host,
    Port,
    File,
    FileSlash,
    FileHost,
    PathStart,
    Path,
    OpaquePath,
    Query,
    Fragment,
};

bool isAsciiAlpha(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiAlphanumeric(char32_t c)
{
    return isAsciiAlpha(c) || isAsciiDigit(c);
}

char32_t asciiLowercase(char32_t c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool isC0ControlOrSpace(char32_t c)
{
    return c <= 0x20;
}

bool isAsciiTabOrNewline(char32_t c)
{
    return c == 0x09 || c == 0x0A || c == 0x0D;
}

QString toQString(std::u32string_view s)
{
    return QString::fromUcs4(s.data(), qsizetype(s.size()));
}

// Text from the input for a message: what would be invisible there, break its line or
// reorder it is shown as it would be sent.
QString displayed(std::u32string_view s)
{
    return DisplayText::percentEncodeForDisplay(toQString(s));
}

bool isWindowsDriveLetter(std::u32string_view s)
{
    return s.size() == 2 && isAsciiAlpha(s[0]) && (s[1] == ':' || s[1] == '|');
}

bool isNormalizedWindowsDriveLetter(QStringView s)
{
    return s.size() == 2 && isAsciiAlpha(s[0].unicode()) && s[1] == u':';
}

bool startsWithWindowsDriveLetter(std::u32string_view s)
{
    if (s.size() < 2 || !isWindowsDriveLetter(s.substr(0, 2)))
        return false;
    return s.size() == 2 || s[2] == '/' || s[2] == '\\' || s[2] == '?' || s[2] == '#';
}

bool isAsciiCaseInsensitiveMatch(std::u32string_view s, std::u32string_view lowercase)
{
    if (s.size() != lowercase.size())
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (asciiLowercase(s[i]) != lowercase[i])
            return false;
    }
    return true;
}

bool isSingleDotPathSegment(std::u32string_view s)
{
    return s == U"." || isAsciiCaseInsensitiveMatch(s, U"%2e");
}

bool isDoubleDotPathSegment(std::u32string_view s)
{
    return s == U".." || isAsciiCaseInsensitiveMatch(s, U".%2e") || isAsciiCaseInsensitiveMatch(s, U"%2e.")
            || isAsciiCaseInsensitiveMatch(s, U"%2e%2e");
}

// The basic URL parser, state by state; the names are those of the URL Standard so
// that the code can be read beside it. Validation errors that do not fail are not
// reported: nothing here shows them. Without the setters' state override, which
// nothing needs.
struct BasicUrlParser
{
    std::u32string input;
    const Record *base = nullptr;
    Record url;
    State state = State::SchemeStart;
    std::u32string buffer;
    bool atSignSeen = false;
    bool insideBrackets = false;
    bool passwordTokenSeen = false;
    qsizetype pointer = 0;
    QString failure;

    ParseResult run()
    {
        for (;;) {
            if (!runState())
                return {std::nullopt, failure};
            if (pointer >= qsizetype(input.size()))
                return {std::move(url), {}};
            ++pointer;
        }
    }

private:
    char32_t c() const { return pointer < qsizetype(input.size()) ? input[size_t(pointer)] : eofCodePoint; }

    std::u32string_view remaining() const
    {
        return std::u32string_view(input).substr(std::min(size_t(pointer + 1), input.size()));
    }

    std::u32string_view fromPointer() const { return std::u32string_view(input).substr(std::min(size_t(pointer), input.size())); }

    bool fail(const QString &what)
    {
        failure = what;
        return false;
    }

    bool isSpecialSlash(char32_t cp) const { return url.isSpecial() && cp == '\\'; }

    // EOF, "/", "?", "#", and for special URLs "\": where the authority, host and port end.
    bool endsAuthority(char32_t cp) const { return cp == eofCodePoint || cp == '/' || cp == '?' || cp == '#' || isSpecialSlash(cp); }

    void appendPercentEncoded(char32_t cp, PercentEncodeSet set)
    {
        QString encoded;
        utf8PercentEncode(cp, set, encoded);
        for (QChar e : std::as_const(encoded))
            buffer.push_back(e.unicode());
    }

    void shortenPath()
    {
        if (url.scheme == u"file" && url.path.size() == 1 && isNormalizedWindowsDriveLetter(url.path.front()))
            return;
        if (!url.path.isEmpty())
            url.path.removeLast();
    }

    bool parseHostFromBuffer()
    {
        const std::optional<QString> host = parseHost(buffer, !url.isSpecial());
        if (!host)
            return fail(QStringLiteral("an invalid host: %1").arg(displayed(buffer)));
        url.host = host;
        return true;
    }

    bool runState()
    {
        switch (state) {
        case State::SchemeStart: return schemeStartState();
        case State::Scheme: return schemeState();
        case State::NoScheme: return noSchemeState();
        case State::SpecialRelativeOrAuthority: return specialRelativeOrAuthorityState();
        case State::PathOrAuthority: return pathOrAuthorityState();
        case State::Relative: return relativeState();
        case State::RelativeSlash: return relativeSlashState();
        case State::SpecialAuthoritySlashes: return specialAuthoritySlashesState();
        case State::SpecialAuthorityIgnoreSlashes: return specialAuthorityIgnoreSlashesState();
        case State::Authority: return authorityState();
        case State::Host: return hostState();
        case State::Port: return portState();
        case State::File: return fileState();
        case State::FileSlash: return fileSlashState();
        case State::FileHost: return fileHostState();
        case State::PathStart: return pathStartState();
        case State::Path: return pathState();
        case State::OpaquePath: return opaquePathState();
        case State::Query: return queryState();
        case State::Fragment: return fragmentState();
        }
        return false;
    }

    bool schemeStartState()
    {
        if (isAsciiAlpha(c())) {
            buffer.push_back(asciiLowercase(c()));
            state = State::Scheme;
        } else {
            state = State::NoScheme;
            --pointer;
        }
        return true;
    }

    bool schemeState()
    {
        if (isAsciiAlphanumeric(c()) || c() == '+' || c() == '-' || c() == '.') {
            buffer.push_back(asciiLowercase(c()));
        } else if (c() == ':') {
            url.scheme = toQString(buffer);
            buffer.clear();
            if (url.scheme == u"file") {
                state = State::File;
            } else if (url.isSpecial() && base && base->scheme == url.scheme) {
                Q_ASSERT(base->isSpecial());
                state = State::SpecialRelativeOrAuthority;
            } else if (url.isSpecial()) {
                state = State::SpecialAuthoritySlashes;
            } else if (remaining().starts_with(U'/')) {
                state = State::PathOrAuthority;
                ++pointer;
            } else {
                url.opaquePath = QString();
                state = State::OpaquePath;
            }
        } else {
            // Not a scheme after all: start over from the first code point.
            buffer.clear();
            state = State::NoScheme;
            pointer = -1;
        }
        return true;
    }

    bool noSchemeState()
    {
        if (!base || (base->hasOpaquePath() && c() != '#'))
            return fail(QStringLiteral("no scheme, and no address to read it relative to"));
        if (base->hasOpaquePath() && c() == '#') {
            url.scheme = base->scheme;
            url.opaquePath = base->opaquePath;
            url.query = base->query;
            url.fragment = QString();
            state = State::Fragment;
        } else if (base->scheme != u"file") {
            state = State::Relative;
            --pointer;
        } else {
            state = State::File;
            --pointer;
        }
        return true;
    }

    bool specialRelativeOrAuthorityState()
    {
        if (c() == '/' && remaining().starts_with(U'/')) {
            state = State::SpecialAuthorityIgnoreSlashes;
            ++pointer;
        } else {
            state = State::Relative;
            --pointer;
        }
        return true;
    }

    bool pathOrAuthorityState()
    {
        if (c() == '/') {
            state = State::Authority;
        } else {
            state = State::Path;
            --pointer;
        }
        return true;
    }

    bool relativeState()
    {
        Q_ASSERT(base->scheme != u"file");
        url.scheme = base->scheme;
        if (c() == '/' || isSpecialSlash(c())) {
            state = State::RelativeSlash;
        } else {
            url.username = base->username;
            url.password = base->password;
            url.host = base->host;
            url.port = base->port;
            url.path = base->path;
            url.query = base->query;
            if (c() == '?') {
                url.query = QString();
                state = State::Query;
            } else if (c() == '#') {
                url.fragment = QString();
                state = State::Fragment;
            } else if (c() != eofCodePoint) {
                url.query.reset();
                shortenPath();
                state = State::Path;
                --pointer;
            }
        }
        return true;
    }

    bool relativeSlashState()
    {
        if (url.isSpecial() && (c() == '/' || c() == '\\')) {
            state = State::SpecialAuthorityIgnoreSlashes;
        } else if (c() == '/') {
            state = State::Authority;
        } else {
            url.username = base->username;
            url.password = base->password;
            url.host = base->host;
            url.port = base->port;
            state = State::Path;
            --pointer;
        }
        return true;
    }

    bool specialAuthoritySlashesState()
    {
        if (c() == '/' && remaining().starts_with(U'/')) {
            state = State::SpecialAuthorityIgnoreSlashes;
            ++pointer;
        } else {
            state = State::SpecialAuthorityIgnoreSlashes;
            --pointer;
        }
        return true;
    }

    bool specialAuthorityIgnoreSlashesState()
    {
        if (c() != '/' && c() != '\\') {
            state = State::Authority;
            --pointer;
        }
        return true;
    }

    bool authorityState()
    {
        if (c() == '@') {
            if (atSignSeen)
                buffer.insert(0, U"%40");
            atSignSeen = true;
            for (char32_t codePoint : buffer) {
                if (codePoint == ':' && !passwordTokenSeen) {
                    passwordTokenSeen = true;
                    continue;
                }
                utf8PercentEncode(codePoint, PercentEncodeSet::Userinfo, passwordTokenSeen ? url.password : url.username);
            }
            buffer.clear();
        } else if (endsAuthority(c())) {
            if (atSignSeen && buffer.empty())
                return fail(QStringLiteral("no host"));
            pointer -= qsizetype(buffer.size()) + 1;
            buffer.clear();
            state = State::Host;
        } else {
            buffer.push_back(c());
        }
        return true;
    }

    bool hostState()
    {
        if (c() == ':' && !insideBrackets) {
            if (buffer.empty())
                return fail(QStringLiteral("no host"));
            if (!parseHostFromBuffer())
                return false;
            buffer.clear();
            state = State::Port;
        } else if (endsAuthority(c())) {
            --pointer;
            if (url.isSpecial() && buffer.empty())
                return fail(QStringLiteral("no host"));
            if (!parseHostFromBuffer())
                return false;
            buffer.clear();
            state = State::PathStart;
        } else {
            if (c() == '[')
                insideBrackets = true;
            if (c() == ']')
                insideBrackets = false;
            buffer.push_back(c());
        }
        return true;
    }

    bool portState()
    {
        if (isAsciiDigit(c())) {
            buffer.push_back(c());
        } else if (endsAuthority(c())) {
            if (!buffer.empty()) {
                int port = 0;
                for (char32_t digit : buffer) {
                    port = port * 10 + int(digit - '0');
                    if (port > 65535)
                        return fail(QStringLiteral("a port above 65535: %1").arg(displayed(buffer)));
                }
                url.port = port == defaultPort(url.scheme) ? std::nullopt : std::optional<int>(port);
                buffer.clear();
            }
            state = State::PathStart;
            --pointer;
        } else {
            const size_t start = size_t(pointer) - buffer.size();
            size_t end = size_t(pointer);
            while (end < input.size() && !endsAuthority(input[end]))
                ++end;
            return fail(QStringLiteral("an invalid port: %1").arg(displayed(std::u32string_view(input).substr(start, end - start))));
        }
        return true;
    }

    bool fileState()
    {
        url.scheme = QStringLiteral("file");
        url.host = QString();
        if (c() == '/' || c() == '\\') {
            state = State::FileSlash;
        } else if (base && base->scheme == u"file") {
            url.host = base->host;
            url.path = base->path;
            url.query = base->query;
            if (c() == '?') {
                url.query = QString();
                state = State::Query;
            } else if (c() == '#') {
                url.fragment = QString();
                state = State::Fragment;
            } else if (c() != eofCodePoint) {
                url.query.reset();
                if (!startsWithWindowsDriveLetter(fromPointer()))
                    shortenPath();
                else
                    url.path.clear();
                state = State::Path;
                --pointer;
            }
        } else {
            state = State::Path;
            --pointer;
        }
        return true;
    }

    bool fileSlashState()
    {
        if (c() == '/' || c() == '\\') {
            state = State::FileHost;
        } else {
            if (base && base->scheme == u"file") {
                url.host = base->host;
                if (!startsWithWindowsDriveLetter(fromPointer()) && !base->path.isEmpty()
                    && isNormalizedWindowsDriveLetter(base->path.front()))
                    url.path.append(base->path.front());
            }
            state = State::Path;
            --pointer;
        }
        return true;
    }

    bool fileHostState()
    {
        if (c() == eofCodePoint || c() == '/' || c() == '\\' || c() == '?' || c() == '#') {
            --pointer;
            if (isWindowsDriveLetter(buffer)) {
                // The buffer is kept: it is the path's first segment.
                state = State::Path;
            } else if (buffer.empty()) {
                url.host = QString();
                state = State::PathStart;
            } else {
                if (!parseHostFromBuffer())
                    return false;
                if (url.host == u"localhost")
                    url.host = QString();
                buffer.clear();
                state = State::PathStart;
            }
        } else {
            buffer.push_back(c());
        }
        return true;
    }

    bool pathStartState()
    {
        if (url.isSpecial()) {
            state = State::Path;
            if (c() != '/' && c() != '\\')
                --pointer;
        } else if (c() == '?') {
            url.query = QString();
            state = State::Query;
        } else if (c() == '#') {
            url.fragment = QString();
            state = State::Fragment;
        } else if (c() != eofCodePoint) {
            state = State::Path;
            if (c() != '/')
                --pointer;
        }
        return true;
    }

    bool pathState()
    {
        const bool slash = c() == '/' || isSpecialSlash(c());
        if (c() == eofCodePoint || slash || c() == '?' || c() == '#') {
            if (isDoubleDotPathSegment(buffer)) {
                shortenPath();
                if (!slash)
                    url.path.append(QString());
            } else if (isSingleDotPathSegment(buffer) && !slash) {
                url.path.append(QString());
            } else if (!isSingleDotPathSegment(buffer)) {
                if (url.scheme == u"file" && url.path.isEmpty() && isWindowsDriveLetter(buffer))
                    buffer[1] = ':';
                url.path.append(toQString(buffer));
            }
            buffer.clear();
            if (c() == '?') {
                url.query = QString();
                state = State::Query;
            }
            if (c() == '#') {
                url.fragment = QString();
                state = State::Fragment;
            }
        } else {
            appendPercentEncoded(c(), PercentEncodeSet::Path);
        }
        return true;
    }

    bool opaquePathState()
    {
        if (c() == '?') {
            url.query = QString();
            state = State::Query;
        } else if (c() == '#') {
            url.fragment = QString();
            state = State::Fragment;
        } else if (c() != eofCodePoint) {
            utf8PercentEncode(c(), PercentEncodeSet::C0Control, *url.opaquePath);
        }
        return true;
    }

    bool queryState()
    {
        if (c() == '#' || c() == eofCodePoint) {
            const PercentEncodeSet queryPercentEncodeSet = url.isSpecial() ? PercentEncodeSet::SpecialQuery : PercentEncodeSet::Query;
            url.query->append(utf8PercentEncode(buffer, queryPercentEncodeSet));
            buffer.clear();
            if (c() == '#') {
                url.fragment = QString();
                state = State::Fragment;
            }
        } else {
            buffer.push_back(c());
        }
        return true;
    }

    bool fragmentState()
    {
        if (c() != eofCodePoint)
            utf8PercentEncode(c(), PercentEncodeSet::Fragment, *url.fragment);
        return true;
    }
};

} // namespace

ParseResult parse(QStringView input, const Record *base)
{
    std::u32string codePoints = toScalarValues(input);
    const auto first = std::find_if_not(codePoints.begin(), codePoints.end(), isC0ControlOrSpace);
    codePoints.erase(codePoints.begin(), first);
    while (!codePoints.empty() && isC0ControlOrSpace(codePoints.back()))
        codePoints.pop_back();
    std::erase_if(codePoints, isAsciiTabOrNewline);

    BasicUrlParser parser;
    parser.input = std::move(codePoints);
    parser.base = base;
    return parser.run();
}

} // namespace Url
