#include "DisplayText.h"

#include "PercentEncoding.h"
#include "Url.h"

#include <unicode/uchar.h>

namespace DisplayText {

namespace {

bool isVariationSelector(char32_t c)
{
    return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

// Calls escape(c, out) for each hidden code point of text and copies the rest.
template<typename Escape>
QString escapeHidden(QStringView text, Escape escape)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        char32_t c = unit.unicode();
        qsizetype units = 1;
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text[i + 1]);
            units = 2;
        }
        if (isHidden(c))
            escape(c, out);
        else
            out.append(text.mid(i, units));
        i += units - 1;
    }
    return out;
}

} // namespace

bool isHidden(char32_t c)
{
    switch (u_charType(UChar32(c))) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
    case U_SURROGATE:
        return true;
    default:
        break;
    }
    return u_hasBinaryProperty(UChar32(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT) && !isVariationSelector(c);
}

QString escapeForDisplay(QStringView text)
{
    return escapeHidden(text, [](char32_t c, QString &out) {
        out.append(QStringLiteral("\\u{") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0') + u'}');
    });
}

QString percentEncodeForDisplay(QStringView text)
{
    return escapeHidden(text, [](char32_t c, QString &out) {
        // A lone surrogate has no UTF-8 form; it is sent as U+FFFD, so it shows as one.
        const char32_t sent = (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c;
        Url::utf8PercentEncode(sent, Url::PercentEncodeSet::C0Control, out);
    });
}

QString displayedAddress(QStringView address)
{
    Url::ParseResult parsed = Url::parse(address);
    if (!parsed.url)
        return percentEncodeForDisplay(address);
    // The serialiser percent-encodes every control and everything above "~" in every
    // part, and the host parser has made the host ASCII: nothing hidden is left.
    Url::Record url = std::move(*parsed.url);
    url.username.clear();
    url.password.clear();
    return url.serialize();
}

} // namespace DisplayText
