// A Content-Type value, and several header lines of them (one a line).

#include "FuzzCheck.h"
#include "MimeType.h"

namespace {

// Serialising a parsed type and parsing it again gives the same type.
void checkRoundTrip(const MimeType &mimeType)
{
    FUZZ_CHECK(!mimeType.type.isEmpty() && !mimeType.subtype.isEmpty());
    FUZZ_CHECK(mimeType.type == mimeType.type.toLower() && mimeType.subtype == mimeType.subtype.toLower());
    const QByteArray serialized = mimeType.serialized();
    const std::optional<MimeType> again = MimeType::parse(serialized);
    FUZZ_CHECK(again);
    FUZZ_CHECK(again->essence() == mimeType.essence());
    FUZZ_CHECK(again->parameters == mimeType.parameters);
    FUZZ_CHECK(again->serialized() == serialized);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    if (const std::optional<MimeType> mimeType = MimeType::parse(input))
        checkRoundTrip(*mimeType);
    if (const std::optional<MimeType> mimeType = extractMimeType(input.toByteArray().split('\n')))
        checkRoundTrip(*mimeType);
    return 0;
}
