#pragma once

#include "MarkupTokenizer.h"

#include <QColor>
#include <QPalette>

#include <array>

// The colours of markup, taken from the palette so that they read on light and dark
// themes alike: each role keeps its hue, and its lightness is set against the
// palette's base, dark on a light base and light on a dark one.
class MarkupColours
{
public:
    explicit MarkupColours(const QPalette &palette = {});

    QColor colour(MarkupRole role) const { return m_colours[size_t(role)]; }
    // Line numbers: the text's colour, muted.
    QColor lineNumbers() const { return m_lineNumbers; }
    // Matches of a search that are not the current one.
    QColor matchMark() const { return m_matchMark; }
    // The wavy line under a parse error.
    QColor errorMark() const { return m_errorMark; }
    // A link's text and underline: the palette's link colour, made lighter or darker
    // where it would read badly against the base.
    QColor link() const { return m_link; }

private:
    std::array<QColor, size_t(MarkupRole::StyleUrl) + 1> m_colours;
    QColor m_lineNumbers;
    QColor m_matchMark;
    QColor m_errorMark;
    QColor m_link;
};

// The same link colour for views without the markup colours (stylesheets).
QColor linkColour(const QPalette &palette);
