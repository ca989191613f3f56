#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <variant>

// Reads a typed address the way browsers read it, and gives the URL to request.
// Leading and trailing spaces and control characters are dropped, tabs and line
// breaks inside are removed; an address without a scheme means http. The rest is
// the URL parser's: the URL to request is the parsed URL serialised, without its
// fragment, so nothing is left for the transfer to reinterpret. Refused, with a
// message: any scheme but http and https, and anything the parser fails on.
namespace Address {

// Why an address is refused, in a sentence for the user.
struct Refusal
{
    enum Reason { Invalid, UnsupportedScheme };
    Reason reason = Invalid;
    QString message;
};

std::variant<QByteArray, Refusal> toRequestUrl(const QString &typed);

// Where a redirect goes: the Location header's value (UTF-8) read against the URL
// that was requested. An http or https URL to request, without its fragment, or a
// refusal that names what is wrong or where the redirect pointed.
std::variant<QByteArray, Refusal> resolveRedirect(QByteArrayView location, QByteArrayView currentUrl);

} // namespace Address
