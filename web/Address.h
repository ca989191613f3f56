#pragma once

#include <QByteArray>
#include <QString>

#include <variant>

// Reads a typed address the way browsers read it, and gives the URL to request.
// Leading and trailing spaces and control characters are dropped, tabs and line
// breaks inside are removed; an address without a scheme means http. Spaces and
// other characters outside ASCII in the path and query are percent-encoded as UTF-8.
// Refused, with a message: any other scheme, and a control character that remains.
namespace Address {

// Why a typed address is refused, in a sentence for the user.
struct Refusal
{
    enum Reason { Invalid, UnsupportedScheme };
    Reason reason = Invalid;
    QString message;
};

std::variant<QByteArray, Refusal> toRequestUrl(const QString &typed);

} // namespace Address
