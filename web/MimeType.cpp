#include "MimeType.h"

#include "Ascii.h"

#include <algorithm>

namespace {

// Tab, line feed, carriage return and space: HTTP's whitespace has no form feed.
constexpr bool isHttpWhitespace(char c)
{
    return c == 0x09 || c == 0x0A || c == 0x0D || c == 0x20;
}

constexpr bool isHttpTabOrSpace(char c)
{
    return c == 0x09 || c == 0x20;
}

bool isTokenCodePoint(char c)
{
    return Ascii::isAlpha(c) || (c >= '0' && c <= '9') || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

constexpr bool isQuotedStringTokenCodePoint(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x7E) || u >= 0x80;
}

bool solelyTokenCodePoints(QByteArrayView s)
{
    return std::all_of(s.begin(), s.end(), isTokenCodePoint);
}

QByteArrayView trimmedEnd(QByteArrayView s, bool (*isSpace)(char))
{
    while (!s.isEmpty() && isSpace(s.back()))
        s.chop(1);
    return s;
}

QByteArrayView trimmed(QByteArrayView s, bool (*isSpace)(char))
{
    while (!s.isEmpty() && isSpace(s.front()))
        s = s.sliced(1);
    return trimmedEnd(s, isSpace);
}

// "Collect a sequence of code points" that are not any of stops.
QByteArrayView collectUntil(QByteArrayView input, qsizetype &position, QByteArrayView stops)
{
    const qsizetype start = position;
    while (position < input.size() && !stops.contains(input[position]))
        ++position;
    return input.sliced(start, position - start);
}

// "Collect an HTTP quoted string" from the quote at position: the value without its
// quotes and escapes, or with extractValue unset the text as it stands.
QByteArray collectQuotedString(QByteArrayView input, qsizetype &position, bool extractValue)
{
    const qsizetype positionStart = position;
    QByteArray value;
    Q_ASSERT(input[position] == '"');
    ++position;
    while (true) {
        value += collectUntil(input, position, "\"\\");
        if (position >= input.size())
            break;
        const char quoteOrBackslash = input[position++];
        if (quoteOrBackslash == '\\') {
            if (position >= input.size()) {
                value += '\\';
                break;
            }
            value += input[position++];
        } else {
            break;
        }
    }
    if (extractValue)
        return value;
    return input.sliced(positionStart, position - positionStart).toByteArray();
}

// "Get, decode, and split" a header's combined value: commas separate values except
// inside quotes.
QList<QByteArray> splitHeaderValue(QByteArrayView input)
{
    QList<QByteArray> values;
    qsizetype position = 0;
    QByteArray temporaryValue;
    while (true) {
        temporaryValue += collectUntil(input, position, "\",");
        if (position < input.size() && input[position] == '"') {
            temporaryValue += collectQuotedString(input, position, false);
            if (position < input.size())
                continue;
        }
        values.append(trimmed(temporaryValue, isHttpTabOrSpace).toByteArray());
        temporaryValue.clear();
        if (position >= input.size())
            return values;
        Q_ASSERT(input[position] == ',');
        ++position;
    }
}

} // namespace

std::optional<MimeType> MimeType::parse(QByteArrayView input)
{
    input = trimmed(input, isHttpWhitespace);
    qsizetype position = 0;
    const QByteArrayView type = collectUntil(input, position, "/");
    if (type.isEmpty() || !solelyTokenCodePoints(type))
        return std::nullopt;
    if (position >= input.size())
        return std::nullopt;
    ++position;
    const QByteArrayView subtype = trimmedEnd(collectUntil(input, position, ";"), isHttpWhitespace);
    if (subtype.isEmpty() || !solelyTokenCodePoints(subtype))
        return std::nullopt;

    MimeType mimeType{type.toByteArray().toLower(), subtype.toByteArray().toLower(), {}};
    while (position < input.size()) {
        ++position; // past the ';'
        while (position < input.size() && isHttpWhitespace(input[position]))
            ++position;
        const QByteArray parameterName = collectUntil(input, position, ";=").toByteArray().toLower();
        if (position < input.size()) {
            if (input[position] == ';')
                continue;
            ++position; // past the '='
        }
        if (position >= input.size())
            break;
        QByteArray parameterValue;
        if (input[position] == '"') {
            parameterValue = collectQuotedString(input, position, true);
            collectUntil(input, position, ";");
        } else {
            parameterValue = trimmedEnd(collectUntil(input, position, ";"), isHttpWhitespace).toByteArray();
            if (parameterValue.isEmpty())
                continue;
        }
        if (!parameterName.isEmpty() && solelyTokenCodePoints(parameterName)
            && std::all_of(parameterValue.begin(), parameterValue.end(), isQuotedStringTokenCodePoint)
            && !mimeType.parameter(parameterName)) {
            mimeType.parameters.append({parameterName, parameterValue});
        }
    }
    return mimeType;
}

QByteArray MimeType::essence() const
{
    return type + '/' + subtype;
}

std::optional<QByteArray> MimeType::parameter(QByteArrayView name) const
{
    for (const auto &[parameterName, value] : parameters) {
        if (parameterName == name)
            return value;
    }
    return std::nullopt;
}

QByteArray MimeType::serialized() const
{
    QByteArray serialization = essence();
    for (const auto &[name, value] : parameters) {
        serialization += ';' + name + '=';
        if (value.isEmpty() || !solelyTokenCodePoints(value)) {
            serialization += '"';
            for (const char c : value) {
                if (c == '"' || c == '\\')
                    serialization += '\\';
                serialization += c;
            }
            serialization += '"';
        } else {
            serialization += value;
        }
    }
    return serialization;
}

std::optional<MimeType> extractMimeType(const QList<QByteArray> &contentTypeValues)
{
    std::optional<QByteArray> charset;
    QByteArray essence;
    std::optional<MimeType> mimeType;
    // Header lines with one name read as one value, joined by ", ".
    for (const QByteArray &value : splitHeaderValue(contentTypeValues.join(", "))) {
        std::optional<MimeType> temporaryMimeType = MimeType::parse(value);
        if (!temporaryMimeType || temporaryMimeType->essence() == "*/*")
            continue;
        mimeType = std::move(temporaryMimeType);
        if (mimeType->essence() != essence) {
            charset = mimeType->parameter("charset");
            essence = mimeType->essence();
        } else if (!mimeType->parameter("charset") && charset) {
            mimeType->parameters.append({"charset", *charset});
        }
    }
    return mimeType;
}
