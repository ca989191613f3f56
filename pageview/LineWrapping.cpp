#include "LineWrapping.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

struct Range
{
    char32_t first;
    char32_t last;
};

// East Asian Wide (W) and Fullwidth (F) characters, from Unicode 14's
// EastAsianWidth.txt as assigned (the same as glibc 2.36's wcwidth), with the
// unassigned rest of the two ideographic planes, which the file also makes wide.
constexpr Range wideCharacters[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x2E99},   {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x3029},
    {0x302E, 0x303E},   {0x3041, 0x3096},   {0x309B, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E3},   {0x31F0, 0x321E},   {0x3220, 0xA48C},   {0xA490, 0xA4C6},   {0xA960, 0xA97C},
    {0xAC00, 0xD7A3},   {0xF900, 0xFA6D},   {0xFA70, 0xFAD9},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},
    {0xFE54, 0xFE66},   {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE3},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08}, {0x1AFF0, 0x1AFF3},
    {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122}, {0x1B150, 0x1B152}, {0x1B164, 0x1B167},
    {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A},
    {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265},
    {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA},
    {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A},
    {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC},
    {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6DD, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC},
    {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FA74}, {0x1FA78, 0x1FA7C}, {0x1FA80, 0x1FA86}, {0x1FA90, 0x1FAAC}, {0x1FAB0, 0x1FABA},
    {0x1FAC0, 0x1FAC5}, {0x1FAD0, 0x1FAD9}, {0x1FAE0, 0x1FAE7}, {0x1FAF0, 0x1FAF6}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

// CJK ideographs: the bulk of East Asian text, all wide, none joining another.
bool isIdeograph(char32_t c)
{
    return c >= 0x3400 && c <= 0x9FFF;
}

bool isWide(char32_t c)
{
    if (c < wideCharacters[0].first)
        return false;
    const Range *range = std::upper_bound(std::begin(wideCharacters), std::end(wideCharacters), c,
                                          [](char32_t c, const Range &r) { return c < r.first; });
    return c <= (range - 1)->last;
}

char32_t codePointAt(QStringView text, qsizetype pos, qsizetype *units)
{
    const char16_t c = text[pos].unicode();
    if (QChar::isHighSurrogate(c) && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text[pos + 1].unicode());
    }
    *units = 1;
    return c;
}

// The code point that ends before pos.
char32_t codePointBefore(QStringView text, qsizetype pos, qsizetype *units)
{
    const char16_t c = text[pos - 1].unicode();
    if (QChar::isLowSurrogate(c) && pos >= 2 && text[pos - 2].isHighSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(text[pos - 2].unicode(), c);
    }
    *units = 1;
    return c;
}

// --- Grapheme clusters, after Unicode's rules GB3 to GB13 -------------------------

constexpr char32_t zeroWidthJoiner = 0x200D;

bool isRegionalIndicator(char32_t c)
{
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Grapheme_Extend, SpacingMark and the ZWJ: what never starts a cluster (GB9, GB9a).
bool extendsCluster(char32_t c)
{
    if (c < 0x300)
        return false;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        break;
    }
    return c == 0x200C || c == zeroWidthJoiner || c == 0x0E33 || c == 0x0EB3 || (c >= 0xFF9E && c <= 0xFF9F)
           || (c >= 0x1F3FB && c <= 0x1F3FF) // emoji modifiers
           || (c >= 0xE0020 && c <= 0xE007F); // emoji tag sequences
}

bool isPictographic(char32_t c)
{
    return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || QChar::category(c) == QChar::Symbol_Other;
}

enum class Hangul { None, L, V, T, LV, LVT };

Hangul hangulType(char32_t c)
{
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97C))
        return Hangul::L;
    if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6))
        return Hangul::V;
    if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB))
        return Hangul::T;
    if (c >= 0xAC00 && c <= 0xD7A3)
        return (c - 0xAC00) % 28 == 0 ? Hangul::LV : Hangul::LVT;
    return Hangul::None;
}

// GB6 to GB8: jamo that make one syllable.
bool joinsHangul(char32_t before, char32_t c)
{
    const Hangul a = hangulType(before);
    if (a == Hangul::None)
        return false;
    const Hangul b = hangulType(c);
    switch (a) {
    case Hangul::L:
        return b == Hangul::L || b == Hangul::V || b == Hangul::LV || b == Hangul::LVT;
    case Hangul::V:
    case Hangul::LV:
        return b == Hangul::V || b == Hangul::T;
    case Hangul::T:
    case Hangul::LVT:
        return b == Hangul::T;
    default:
        return false;
    }
}

// GB9c: a virama (a "linker") joins the consonant after it into one conjunct, in the
// six Indic scripts that write conjuncts so. The rule also asks for a consonant before
// the virama; a virama rarely stands without one.
bool joinsConjunct(char32_t before, char32_t c)
{
    switch (before) {
    case 0x094D: case 0x09CD: case 0x0ACD: case 0x0B4D: case 0x0C4D: case 0x0D4D:
        return (c & ~0x7Fu) == (before & ~0x7Fu) && QChar::category(c) == QChar::Letter_Other;
    default:
        return false;
    }
}

// Controls break on both sides (GB4, GB5): C0 and C1 controls, line and paragraph
// separators, and format characters but the joiners and emoji tags.
bool isControl(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return true;
    if (c < 0xAD)
        return false;
    switch (QChar::category(c)) {
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Other_Format:
        return c != 0x200C && c != zeroWidthJoiner && !(c >= 0xE0020 && c <= 0xE007F);
    default:
        return false;
    }
}

// Whether the code points before and c, which meet at pos, stay in one cluster; the
// flags rule needs the text before.
bool staysJoined(QStringView line, qsizetype pos, char32_t before, qsizetype beforeUnits, char32_t c)
{
    if (isControl(before) || isControl(c))
        return false;
    if (extendsCluster(c))
        return true;
    if (before == zeroWidthJoiner && isPictographic(c)) // GB11, without looking further back
        return true;
    if (joinsConjunct(before, c))
        return true;
    if (isRegionalIndicator(before) && isRegionalIndicator(c)) {
        // GB12, GB13: flags pair up from the start of a run of regional indicators.
        qsizetype run = 0;
        qsizetype at = pos - beforeUnits;
        for (; at >= 2 && run < 500; at -= 2, ++run) {
            qsizetype units;
            if (!isRegionalIndicator(codePointBefore(line, at, &units)) || units != 2)
                break;
        }
        return run % 2 == 0;
    }
    return joinsHangul(before, c);
}

// Where the cluster that starts at pos ends.
qsizetype clusterEnd(QStringView line, qsizetype pos)
{
    qsizetype units;
    char32_t c = codePointAt(line, pos, &units);
    pos += units;
    bool flag = false;
    while (pos < line.size()) {
        const char16_t next = line[pos].unicode();
        if (next < 0x300 || isIdeograph(next)) // nothing below U+0300 joins what comes before
            break;
        qsizetype nextUnits;
        const char32_t n = codePointAt(line, pos, &nextUnits);
        if (isRegionalIndicator(c) && isRegionalIndicator(n)) {
            // A flag is two regional indicators. A cluster that starts with one starts
            // a pair (pos is a boundary), so the first two pair up and the third not.
            if (flag)
                break;
            flag = true;
        } else if (!staysJoined(line, pos, c, units, n)) {
            break;
        }
        c = n;
        units = nextUnits;
        pos += nextUnits;
    }
    return pos;
}

// --- Break opportunities ----------------------------------------------------------

// Whether a row may end after c: after spaces, and after punctuation that closes or
// separates (not after an opening bracket or quote). Wide characters (ideographs,
// kana) allow a break after each, as in East Asian text.
bool breaksAfter(char32_t c)
{
    if (c < 0x80) {
        switch (c) {
        case ' ': case '\t': case '>': case ',': case ';': case '.': case ':': case '!': case '?':
        case ')': case ']': case '}': case '/': case '-': case '|':
            return true;
        default:
            return false;
        }
    }
    if (isIdeograph(c))
        return true;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
        return true;
    default:
        return isWide(c);
    }
}

} // namespace

// --- Widths -------------------------------------------------------------------------

CharacterWidths CharacterWidths::measured(std::function<qreal(char32_t)> advance, qreal tabWidth)
{
    CharacterWidths widths;
    widths.m_advance = std::move(advance);
    widths.m_known = std::make_shared<std::vector<float>>(0x3000, -1.0f);
    widths.m_tabWidth = tabWidth > 0 ? tabWidth : 1;
    return widths;
}

int CharacterWidths::cellsOf(char32_t c)
{
    if (c < 0x300)
        return c == 0xAD ? 0 : 1; // a soft hyphen shows only where a line breaks
    if (isIdeograph(c))
        return 2;
    if (c >= 0x1160 && c <= 0x11FF)
        return 0; // medial vowels and final consonants join the syllable's initial
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        return isWide(c) ? 2 : 1;
    }
}

qreal CharacterWidths::advance(char32_t c, qreal x) const
{
    if (c == '\t')
        return (std::floor(x / m_tabWidth + 1e-9) + 1) * m_tabWidth - x;
    return measuredAdvance(c);
}

// --- Rows -----------------------------------------------------------------------------

class RowBreaker
{
public:
    static qsizetype nextRowStart(QStringView line, qsizetype rowStart, qreal width, const CharacterWidths &widths)
    {
        const qreal limit = width;
        qreal x = 0;
        qsizetype pos = rowStart;
        qsizetype lastBreak = -1;
        qreal lastBreakX = 0;
        const char16_t *text = line.utf16();
        while (pos < line.size()) {
            qsizetype end;
            qreal clusterWidth;
            char32_t last = text[pos];
            if (last < 0x300 && last != '\t' && (pos + 1 == line.size() || text[pos + 1] < 0x300)) {
                // Most of a page: a character that nothing joins.
                end = pos + 1;
                clusterWidth = widths.measuredAdvance(last);
            } else {
                end = clusterEnd(line, pos);
                clusterWidth = 0;
                for (qsizetype at = pos; at < end;) {
                    qsizetype units;
                    last = codePointAt(line, at, &units);
                    clusterWidth += widths.advance(last, x + clusterWidth);
                    at += units;
                }
            }
            if (line[pos] == u'<' && pos > rowStart) { // before a tag
                lastBreak = pos;
                lastBreakX = x;
            }
            if (x + clusterWidth > limit && pos > rowStart)
                break;
            x += clusterWidth;
            pos = end;
            if (breaksAfter(last)) {
                lastBreak = pos;
                lastBreakX = x;
            }
        }
        if (pos == line.size())
            return pos;
        if (lastBreak > rowStart && lastBreakX >= limit * 0.75)
            return lastBreak;
        return pos;
    }
};

namespace LineWrapping {

bool isClusterBoundary(QStringView line, qsizetype pos)
{
    if (pos <= 0 || pos >= line.size())
        return true;
    if (line[pos].isLowSurrogate() && line[pos - 1].isHighSurrogate())
        return false;
    if (line[pos].unicode() < 0x300)
        return true;
    qsizetype units;
    qsizetype beforeUnits;
    const char32_t c = codePointAt(line, pos, &units);
    const char32_t before = codePointBefore(line, pos, &beforeUnits);
    return !staysJoined(line, pos, before, beforeUnits, c);
}

qsizetype nextRowStart(QStringView line, qsizetype rowStart, qreal width, const CharacterWidths &widths)
{
    return RowBreaker::nextRowStart(line, rowStart, width, widths);
}

qsizetype fixedRowEnd(QStringView line, qsizetype rowStart, qsizetype maxLength)
{
    qsizetype end = rowStart + std::max<qsizetype>(maxLength, 1);
    if (end >= line.size())
        return line.size();
    for (qsizetype back = end; back > rowStart && end - back < 32; --back) {
        if (isClusterBoundary(line, back))
            return back;
    }
    if (line[end].isLowSurrogate() && line[end - 1].isHighSurrogate())
        end += end - 1 > rowStart ? -1 : 1; // a row of one unit takes the whole pair
    return end;
}

} // namespace LineWrapping
