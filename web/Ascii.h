#pragma once

#include <QByteArrayView>

// The small pieces of syntax that the web's standards share: ASCII whitespace and
// ASCII case.
namespace Ascii {

// Tab, line feed, form feed, carriage return and space.
constexpr bool isWhitespace(char c)
{
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

constexpr char toLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

constexpr bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether data holds what at pos, ignoring ASCII case; what is in lower case.
inline bool matchesAt(QByteArrayView data, qsizetype pos, QByteArrayView what)
{
    if (pos < 0 || pos + what.size() > data.size())
        return false;
    for (qsizetype i = 0; i < what.size(); ++i) {
        if (toLower(data[pos + i]) != what[i])
            return false;
    }
    return true;
}

inline QByteArrayView trimmedWhitespace(QByteArrayView s)
{
    while (!s.isEmpty() && isWhitespace(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isWhitespace(s.back()))
        s.chop(1);
    return s;
}

} // namespace Ascii
