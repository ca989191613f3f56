#pragma once

#include <QString>

#include <optional>
#include <string>

// Hosts: domains, IPv4 and IPv6 addresses, opaque hosts. A host is kept serialised
// ("example.com", "192.168.0.1", "[::1]"): that form is all the parser and the
// request need.
namespace Url {

// The host parser: the host serialised, or nothing for failure. Special URLs'
// hosts are percent-decoded and go through domain to ASCII; isOpaque is for the
// others.
std::optional<QString> parseHost(const std::u32string &input, bool isOpaque);

} // namespace Url
