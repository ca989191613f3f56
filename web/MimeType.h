#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>
#include <utility>

// A Content-Type read as browsers read it: "text/html; charset=utf-8" and all its
// harder cousins (quoted values with escapes, repeated parameters, several headers).
struct MimeType
{
    QByteArray type;    // lower case
    QByteArray subtype; // lower case
    // In the order given, names in lower case; when a name comes twice the first stays.
    QList<std::pair<QByteArray, QByteArray>> parameters;

    // Nothing when the text is no MIME type ("text", "text/", "/html", "te xt/html").
    static std::optional<MimeType> parse(QByteArrayView input);

    QByteArray essence() const; // "text/html"
    // The value of a parameter, unquoted; nothing when there is no such parameter.
    std::optional<QByteArray> parameter(QByteArrayView name) const;
    // Back to text, quoting the values that need it.
    QByteArray serialized() const;
};

// The MIME type that a response's Content-Type headers give together, one list entry
// per header line as it came. A later type with the same essence keeps the charset an
// earlier one set; nothing when no value is a MIME type.
std::optional<MimeType> extractMimeType(const QList<QByteArray> &contentTypeValues);
