#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// URLs as browsers read them: the URL record, its serializer, and the basic URL
// parser that makes one from text, alone or against a base URL.
namespace Url {

struct Record
{
    QString scheme;
    QString username;
    QString password;
    // Serialised: a domain, an IPv4 address, an IPv6 address in brackets, an opaque
    // host, or empty.
    std::optional<QString> host;
    std::optional<int> port;
    // Segments, each percent-encoded as it is sent ("/a/b" is {"a", "b"}).
    QStringList path;
    // Instead of segments, for URLs such as "mailto:someone@example.com".
    std::optional<QString> opaquePath;
    std::optional<QString> query;
    std::optional<QString> fragment;

    bool isSpecial() const;
    bool includesCredentials() const { return !username.isEmpty() || !password.isEmpty(); }
    bool hasOpaquePath() const { return opaquePath.has_value(); }

    // The URL serializer; the result is ASCII.
    QString serialize(bool excludeFragment = false) const;
    QString href() const { return serialize(); }
};

bool isSpecialScheme(QStringView scheme);
// 80 for http, 443 for https and so on; nothing for other schemes.
std::optional<int> defaultPort(QStringView scheme);

struct ParseResult
{
    std::optional<Record> url;
    // For a failure: what is wrong, as a phrase that reads after "has", such as
    // "an invalid host: 192.168.0.257" or "no host".
    QString failure;
};

// The basic URL parser. A relative reference needs a base; without one it fails.
ParseResult parse(QStringView input, const Record *base = nullptr);

} // namespace Url
