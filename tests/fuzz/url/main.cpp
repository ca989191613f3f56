// The URL parser: text alone, and text against a base URL.

#include "FuzzCheck.h"
#include "LinkResolver.h"
#include "Url.h"
#include "UrlInput.h"

namespace {

// A serialised URL is printable ASCII; a special one (http, https, ...) has no space.
bool printable(const QString &href, bool special)
{
    for (QChar c : href) {
        if (c.unicode() < (special ? 0x21 : 0x20) || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const UrlInput input = splitUrlInput(data, size);
    std::optional<Url::Record> base;
    if (!input.base.isEmpty())
        base = Url::parse(input.base).url;
    const Url::ParseResult result = Url::parse(input.text, base ? &*base : nullptr);
    // The links' quick answer agrees with the parser's.
    const LinkResolver resolver(input.base);
    FUZZ_CHECK(resolver.isLink(input.text) == resolver.resolve(input.text).isLink());
    if (!result.url) {
        FUZZ_CHECK(!result.failure.isEmpty());
        return 0;
    }
    const Url::Record &url = *result.url;
    const QString href = url.href();
    FUZZ_CHECK(printable(href, url.isSpecial()));
    FUZZ_CHECK(!url.scheme.isEmpty() && url.scheme == url.scheme.toLower());
    // A serialised URL parses to itself.
    const Url::ParseResult again = Url::parse(href);
    FUZZ_CHECK(again.url);
    FUZZ_CHECK(again.url->href() == href);
    return 0;
}
