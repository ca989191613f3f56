#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// Finds a piece of text in the document: the next match, the previous one, how many
// there are. Every search is bounded by offsets, so that the view can search and count
// a huge document in short steps; wrapping around at the ends is the caller's.
//
// Ignoring case means Unicode simple case folding, character by character: "Ä" finds
// "ä", "Σ" finds "σ" and "ς", "K" finds the Kelvin sign. Foldings that change the length
// (German "ß" to "ss", Turkish "İ" to "i̇") are not made, so a match is always exactly as
// long as the text looked for.
class TextSearch
{
public:
    TextSearch() = default;
    TextSearch(QStringView needle, Qt::CaseSensitivity cs);

    QString needle() const { return m_original; }
    Qt::CaseSensitivity caseSensitivity() const { return m_cs; }
    // Nothing to look for: nothing matches.
    bool isEmpty() const { return m_needle.isEmpty(); }
    // The length of every match.
    qsizetype length() const { return m_needle.size(); }

    // Whether a match starts at pos.
    bool matchesAt(QStringView haystack, qsizetype pos) const;

    // The first match that starts in [from, to), or -1; to = -1 is the end of the
    // haystack. A match may run on past to.
    qsizetype findNext(QStringView haystack, qsizetype from, qsizetype to = -1) const;

    // The last match that starts in [from, to), or -1. The match before one at start
    // that does not overlap it: findPrevious(haystack, 0, start - length() + 1).
    qsizetype findPrevious(QStringView haystack, qsizetype from, qsizetype to) const;

    // The matches that start in [from, to), counted as editors count them: from each
    // match the search goes on after its end, so matches never overlap; to = -1 is the
    // end of the haystack. next is where
    // the count goes on: to, or the end of the last match if that lies beyond to.
    // Counting [0, n) in steps (from = the previous step's next) gives the same total
    // as counting it at once.
    struct Count
    {
        qsizetype matches;
        qsizetype next;
    };
    Count countMatches(QStringView haystack, qsizetype from, qsizetype to) const;

private:
    friend class ForwardScan;
    friend class BackwardScan;

    QString m_original;
    QString m_needle; // case-folded when case is ignored
    Qt::CaseSensitivity m_cs = Qt::CaseSensitive;
    // The code units a match can start with: the needle's first, and when case is
    // ignored the first unit of every character that folds to the same.
    QVarLengthArray<char16_t, 4> m_firstUnits;
};
