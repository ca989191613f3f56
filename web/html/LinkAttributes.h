#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

// Which attribute values in markup name a resource, and where in the document each
// address stands, so that the view can underline it and follow it.
//
// Values are read as they stand in the document, between their quotes, so that the
// spans are offsets of the document. Character references are left as written (a
// query's "&amp;" stays five characters long in the span); the caller reads them before
// resolving the address. So a comma or space written as a reference does not split a
// srcset or ping value here as it does in a browser: pages do not write them so.
namespace Html {

enum class Namespace { Html, Svg, MathMl };

struct Element
{
    QStringView localName; // in lower case
    Namespace ns = Namespace::Html;
    // A <meta> whose http-equiv is "refresh": its content holds an address.
    bool refreshPragma = false;
};

struct Attribute
{
    QStringView name;
    QStringView value; // as written, without its quotes
    qsizetype valueOffset = 0; // where the value starts in the document
};

// An address in an attribute's value.
struct LinkText
{
    qsizetype start = 0; // in the document
    qsizetype length = 0;
    // The address as it stands there: a view of the value given, which must outlive it.
    // Not a copy, since a data: URL in a src can be most of a large page.
    QStringView written;

    qsizetype end() const { return start + length; }
};

// Whether an http-equiv value names the refresh pragma.
bool isRefreshPragma(QStringView httpEquiv);

// The addresses in one attribute's value: none, one, or several for srcset,
// imagesrcset and ping. Each without the ASCII whitespace around it; an empty address
// is left out, since it has nothing to underline.
QList<LinkText> linksInAttribute(const Element &element, const Attribute &attribute);

// The addresses in all of a start tag's attributes, in order. The tag's http-equiv may
// come after its content, so this reads the whole tag.
QList<LinkText> linksInTag(QStringView localName, Namespace ns, std::span<const Attribute> attributes);

// The address in a refresh pragma's content ("5; url=next.html"), read as browsers read
// it: position within content, or nothing when there is none.
std::optional<LinkText> refreshAddress(QStringView content, qsizetype contentOffset);

// The addresses of a srcset or imagesrcset value: each image candidate's URL.
QList<LinkText> srcsetAddresses(QStringView value, qsizetype valueOffset);

} // namespace Html
