#include "TextSearch.h"

#include <QMultiHash>

#include <algorithm>

namespace {

char32_t codePointAt(const char16_t *s, qsizetype i, qsizetype end, int *units)
{
    const char16_t c = s[i];
    if (QChar::isHighSurrogate(c) && i + 1 < end && QChar::isLowSurrogate(s[i + 1])) {
        *units = 2;
        return QChar::surrogateToUcs4(c, s[i + 1]);
    }
    *units = 1;
    return c;
}

// Simple case folding. No simple folding takes a character into or out of the Basic
// Multilingual Plane, so a folded text keeps its length; the check keeps it so.
char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    const char32_t folded = QChar::toCaseFolded(c);
    return QChar::requiresSurrogates(folded) == QChar::requiresSurrogates(c) ? folded : c;
}

void append(QString &text, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        text += QChar(QChar::highSurrogate(c));
        text += QChar(QChar::lowSurrogate(c));
    } else {
        text += QChar(char16_t(c));
    }
}

// Every character whose folding is another, by that other: the ways a folded first
// character can be written. Made once, from Qt's own folding, in a few milliseconds.
const QMultiHash<char32_t, char32_t> &unfoldings()
{
    static const QMultiHash<char32_t, char32_t> table = [] {
        QMultiHash<char32_t, char32_t> t;
        for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c) {
            if (c == 0xD800) // surrogates are no characters
                c = 0xE000;
            const char32_t folded = fold(c);
            if (folded != c)
                t.insert(folded, c);
        }
        return t;
    }();
    return table;
}

char16_t firstUnit(char32_t c)
{
    return QChar::requiresSurrogates(c) ? QChar::highSurrogate(c) : char16_t(c);
}

} // namespace

TextSearch::TextSearch(QStringView needle, Qt::CaseSensitivity cs)
    : m_original(needle.toString()), m_cs(cs)
{
    if (needle.isEmpty())
        return;
    if (cs == Qt::CaseSensitive) {
        m_needle = m_original;
        m_firstUnits.append(needle[0].unicode());
        return;
    }
    m_needle.reserve(needle.size());
    for (qsizetype i = 0; i < needle.size();) {
        int units;
        append(m_needle, fold(codePointAt(needle.utf16(), i, needle.size(), &units)));
        i += units;
    }
    int units;
    const char32_t first = codePointAt(QStringView(m_needle).utf16(), 0, m_needle.size(), &units);
    m_firstUnits.append(firstUnit(first));
    for (auto it = unfoldings().constFind(first); it != unfoldings().cend() && it.key() == first; ++it) {
        const char16_t unit = firstUnit(it.value());
        if (!m_firstUnits.contains(unit))
            m_firstUnits.append(unit);
    }
}

bool TextSearch::matchesAt(QStringView haystack, qsizetype pos) const
{
    const qsizetype length = m_needle.size();
    if (length == 0 || pos < 0 || pos > haystack.size() - length)
        return false;
    const char16_t *text = haystack.utf16() + pos;
    const char16_t *needle = QStringView(m_needle).utf16();
    if (m_cs == Qt::CaseSensitive)
        return std::equal(needle, needle + length, text);
    for (qsizetype i = 0; i < length;) {
        const char16_t c = text[i];
        if (c < 0x80) { // the needle is folded, so an ASCII character needs only lower case
            if (((c >= 'A' && c <= 'Z') ? c + 0x20 : c) != needle[i])
                return false;
            ++i;
            continue;
        }
        int units;
        int needleUnits;
        const char32_t wanted = codePointAt(needle, i, length, &needleUnits);
        if (fold(codePointAt(text, i, length, &units)) != wanted || units != needleUnits)
            return false;
        i += units;
    }
    return true;
}

// Walks the places where a match can start, one kind of first unit at a time, each
// remembered until passed so that no stretch of text is read twice for it.
class ForwardScan
{
public:
    ForwardScan(const TextSearch &search, QStringView haystack, qsizetype to)
        : m_search(search), m_haystack(haystack),
          m_end(std::min(to < 0 ? haystack.size() : to, haystack.size() - search.length() + 1))
    {
        for (char16_t unit : search.m_firstUnits)
            m_next.append({unit, -1});
    }

    // The first match that starts at or after pos, or -1.
    qsizetype from(qsizetype pos)
    {
        pos = std::max<qsizetype>(pos, 0);
        while (pos < m_end) {
            qsizetype candidate = m_end;
            for (Next &next : m_next) {
                if (next.at < pos)
                    next.at = find(next.unit, pos);
                candidate = std::min(candidate, next.at);
            }
            if (candidate == m_end)
                break;
            if (m_search.matchesAt(m_haystack, candidate))
                return candidate;
            pos = candidate + 1;
        }
        return -1;
    }

private:
    struct Next
    {
        char16_t unit;
        qsizetype at;
    };

    qsizetype find(char16_t unit, qsizetype pos) const
    {
        // A look at the next few characters first: in markup a common first letter is
        // never far, and that is quicker than a call into Qt's vectorised search.
        const char16_t *text = m_haystack.utf16();
        const qsizetype nearEnd = std::min(m_end, pos + 16);
        for (; pos < nearEnd; ++pos) {
            if (text[pos] == unit)
                return pos;
        }
        if (pos == m_end)
            return m_end;
        const qsizetype at = m_haystack.first(m_end).indexOf(QChar(unit), pos);
        return at < 0 ? m_end : at;
    }

    const TextSearch &m_search;
    QStringView m_haystack;
    qsizetype m_end; // candidates start before this
    QVarLengthArray<Next, 4> m_next;
};

class BackwardScan
{
public:
    BackwardScan(const TextSearch &search, QStringView haystack, qsizetype from)
        : m_search(search), m_haystack(haystack), m_begin(std::max<qsizetype>(from, 0))
    {
        for (char16_t unit : search.m_firstUnits)
            m_previous.append({unit, haystack.size()});
    }

    // The last match that starts before pos, or -1.
    qsizetype before(qsizetype pos)
    {
        pos = std::min(pos, m_haystack.size() - m_search.length() + 1);
        while (pos > m_begin) {
            qsizetype candidate = -1;
            for (Previous &previous : m_previous) {
                if (previous.at >= pos) {
                    const qsizetype at = m_haystack.sliced(m_begin, pos - m_begin).lastIndexOf(QChar(previous.unit));
                    previous.at = at < 0 ? -1 : m_begin + at;
                }
                candidate = std::max(candidate, previous.at);
            }
            if (candidate < 0)
                break;
            if (m_search.matchesAt(m_haystack, candidate))
                return candidate;
            pos = candidate;
        }
        return -1;
    }

private:
    struct Previous
    {
        char16_t unit;
        qsizetype at;
    };

    const TextSearch &m_search;
    QStringView m_haystack;
    qsizetype m_begin; // candidates start at or after this
    QVarLengthArray<Previous, 4> m_previous;
};

qsizetype TextSearch::findNext(QStringView haystack, qsizetype from, qsizetype to) const
{
    if (isEmpty())
        return -1;
    return ForwardScan(*this, haystack, to).from(from);
}

qsizetype TextSearch::findPrevious(QStringView haystack, qsizetype from, qsizetype to) const
{
    if (isEmpty())
        return -1;
    return BackwardScan(*this, haystack, from).before(to);
}

TextSearch::Count TextSearch::countMatches(QStringView haystack, qsizetype from, qsizetype to) const
{
    if (to < 0)
        to = haystack.size();
    Count count{0, std::max(from, to)};
    if (isEmpty())
        return count;
    ForwardScan scan(*this, haystack, to);
    for (qsizetype at = scan.from(from); at >= 0; at = scan.from(at + length())) {
        ++count.matches;
        count.next = std::max(count.next, at + length());
    }
    return count;
}
