// Typed addresses and redirects, as they become the URL the transfer requests.

#include "Address.h"
#include "FuzzCheck.h"
#include "Url.h"
#include "UrlInput.h"

namespace {

// What libcurl is given: http or https, printable ASCII without a space (no byte of
// it can end the request line or start a header), nothing after a '#', and a URL
// that reads as itself.
void checkRequestUrl(const std::variant<QByteArray, Address::Refusal> &result)
{
    const auto *url = std::get_if<QByteArray>(&result);
    if (!url) {
        FUZZ_CHECK(!std::get<Address::Refusal>(result).message.isEmpty());
        return;
    }
    FUZZ_CHECK(url->startsWith("http://") || url->startsWith("https://"));
    for (char c : *url)
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
    FUZZ_CHECK(!url->contains('#'));
    const Url::ParseResult parsed = Url::parse(QString::fromLatin1(*url));
    FUZZ_CHECK(parsed.url && parsed.url->href().toLatin1() == *url);
    const auto typedAgain = Address::toRequestUrl(QString::fromLatin1(*url));
    FUZZ_CHECK(std::holds_alternative<QByteArray>(typedAgain) && std::get<QByteArray>(typedAgain) == *url);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const UrlInput input = splitUrlInput(data, size);
    checkRequestUrl(Address::toRequestUrl(input.text));

    // The text as a redirect's Location, from the base or from a page of our own.
    QByteArray current = "http://example.com/dir/page?q";
    if (const auto base = Address::toRequestUrl(input.base); std::holds_alternative<QByteArray>(base))
        current = std::get<QByteArray>(base);
    checkRequestUrl(Address::resolveRedirect(input.textBytes, current));
    return 0;
}
