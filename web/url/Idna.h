#pragma once

#include <QString>

#include <optional>

namespace Url {

// A domain as DNS takes it: UTS #46 ToASCII with the options browsers use
// (nontransitional, no hyphen or DNS length checks, bidi and joiner checks, no STD3
// rules). Nothing for a domain ToASCII refuses or one that comes out empty.
std::optional<QString> domainToAscii(const QString &domain);

} // namespace Url
