#pragma once

#include "Url.h"

#include <QString>
#include <QStringView>

#include <optional>

// Where a link in a document leads: an address written in the document, read with
// the URL parser against the document's base URL. Only http and https addresses are
// links, since those are the only ones Vellumin fetches; anything else comes back
// with the reason, in a sentence to show where the link would be.
class LinkResolver
{
public:
    struct Resolution
    {
        // The absolute address, serialised (ASCII), fragment and all; empty when the
        // text is not a link.
        QString address;
        // Why it is not a link, as plain text; empty for a link.
        QString reason;

        bool isLink() const { return !address.isEmpty(); }
    };

    // documentAddress: where the document came from, after redirects. A stylesheet's
    // links resolve against it as it is.
    explicit LinkResolver(QStringView documentAddress);

    // An HTML document's first <base> element that has an href: its value, character
    // references already read. Only the first one counts; later calls change nothing,
    // even when the first one was not a usable address.
    void setBaseHref(QStringView href);
    bool hasBaseElement() const { return m_baseElementSeen; }

    // The document base URL: the first <base href>'s address, or the document's own.
    const std::optional<Url::Record> &baseUrl() const { return m_base; }

    // An address as written (character references read, for markup; escapes read, for
    // CSS), resolved against the document base URL.
    Resolution resolve(QStringView written) const;
    // Whether resolve(written) is a link, without building the address where the answer
    // is plain: against an http or https base, an address with no scheme and no host of
    // its own ("page.html", "/a?b", "#c") is a path, query or fragment of that base, and
    // reading one never fails. Anything else is resolved.
    bool isLink(QStringView written) const;

private:
    std::optional<Url::Record> m_documentUrl;
    std::optional<Url::Record> m_base;
    bool m_baseElementSeen = false;
};

// Text from a document made safe to show in a line of its own: characters that are
// invisible, break lines or reorder text (C0 and C1 controls, bidi controls, line and
// paragraph separators) are written as their percent-encoded UTF-8 bytes, the way the
// URL parser shows the controls it meets.
QString escapedForDisplay(QStringView text);
