#pragma once

#include <QList>
#include <QStringView>

#include <functional>
#include <memory>
#include <vector>

// Where a long line breaks into display rows: wrapped at the view's width, or cut into
// pieces of a fixed length when wrapping is off. Rows join back into the line exactly,
// and no row starts inside a surrogate pair or a character cluster (a letter with its
// accents, a flag, an emoji sequence, a Hangul syllable).

// How wide characters are, for wrapping.
class CharacterWidths
{
public:
    // The view's font: advance gives the width of a character (a code point) in pixels. A tab
    // runs to the next multiple of tabWidth from the row's start.
    static CharacterWidths measured(std::function<qreal(char32_t)> advance, qreal tabWidth);

    // The cells a character takes in a fixed-pitch font: 0, 1 or 2 (a tab: 1): one
    // cell for most characters, two for East Asian wide and fullwidth ones, none for
    // marks that join the character before and for invisible format characters.
    static int cellsOf(char32_t c);

    // The width of c in pixels, at x pixels from the row's start (which tabs need).
    qreal advance(char32_t c, qreal x) const;

private:
    friend class RowBreaker;

    CharacterWidths() = default;

    qreal m_tabWidth = 8;
    std::function<qreal(char32_t)> m_advance;
    // The widths advance has given, kept for the characters met most (up to U+2FFF),
    // so that a long line asks each character's width once.
    std::shared_ptr<std::vector<float>> m_known;

    qreal measuredAdvance(char32_t c) const
    {
        if (c < m_known->size()) {
            float &known = (*m_known)[c];
            if (known < 0)
                known = float(m_advance(c));
            return known;
        }
        return m_advance(c);
    }
};

namespace LineWrapping {

// Whether a row may start at pos in line: not inside a surrogate pair nor a grapheme
// cluster. Follows Unicode's extended grapheme cluster rules for combining marks,
// spacing marks, Hangul syllables, Indic conjuncts, emoji modifiers, ZWJ sequences
// and flags (up to 500 flags in a row); it leaves out the rare prepended marks
// (Arabic number signs). 0 and line.size() are boundaries.
bool isClusterBoundary(QStringView line, qsizetype pos);

// The row that starts at rowStart (0, or a row start found before) holds as much of
// the line as fits in width; it ends after a space or punctuation (or before a '<')
// when there is one in the last quarter of the row, otherwise after the last
// character cluster that fits. Every row holds at least one cluster, however narrow
// width is. Returns where the next row starts: line.size() when the rest fits.
qsizetype nextRowStart(QStringView line, qsizetype rowStart, qreal width, const CharacterWidths &widths);

// The breaks of a long line when wrapping is off: rows of at most maxLength UTF-16
// units, ending at a cluster boundary in their last 32 units, else at least not
// inside a surrogate pair. The end of the row that starts at rowStart.
qsizetype fixedRowEnd(QStringView line, qsizetype rowStart, qsizetype maxLength);

} // namespace LineWrapping
