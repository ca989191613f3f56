#include "Idna.h"

#include <unicode/uidna.h>

#include <memory>

namespace Url {

namespace {

struct UidnaClose
{
    void operator()(UIDNA *idna) const { uidna_close(idna); }
};

const UIDNA *uts46()
{
    static const std::unique_ptr<UIDNA, UidnaClose> idna = [] {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA *opened = uidna_openUTS46(UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII
                                                | UIDNA_NONTRANSITIONAL_TO_UNICODE,
                                        &status);
        return std::unique_ptr<UIDNA, UidnaClose>(U_SUCCESS(status) ? opened : nullptr);
    }();
    return idna.get();
}

// ICU always checks hyphens and DNS lengths; browsers do neither, so those errors
// do not count.
constexpr uint32_t ignoredErrors = UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4
        | UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG;

} // namespace

std::optional<QString> domainToAscii(const QString &domain)
{
    const UIDNA *idna = uts46();
    if (!idna)
        return std::nullopt;
    QString result(domain.size() + 16, Qt::Uninitialized);
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        const int32_t length = uidna_nameToASCII(idna, reinterpret_cast<const UChar *>(domain.utf16()), int32_t(domain.size()),
                                                 reinterpret_cast<UChar *>(result.data()), int32_t(result.size()), &info, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            result.resize(length);
            continue;
        }
        if (U_FAILURE(status) || (info.errors & ~ignoredErrors) != 0)
            return std::nullopt;
        result.resize(length);
        break;
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

} // namespace Url
