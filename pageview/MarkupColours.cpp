#include "MarkupColours.h"

#include <cmath>
#include "InlineStyles.h"
#include "StylesheetColouring.h"

namespace {

// Hue and saturation per role, close to what browsers' view-source uses: tags
// purple, attribute names brown, values blue, comments green, the doctype and
// processing instructions steel grey, character references red, CDATA teal.
struct Tint
{
    MarkupRole role;
    int hue;
    int saturation;
};

constexpr Tint tints[] = {
    {MarkupRole::Tag, 300, 170},
    {MarkupRole::AttributeName, 30, 200},
    {MarkupRole::AttributeValue, 235, 190},
    {MarkupRole::Comment, 120, 140},
    {MarkupRole::Doctype, 210, 60},
    {MarkupRole::CharacterReference, 10, 220},
    {MarkupRole::ProcessingInstruction, 280, 90},
    {MarkupRole::CData, 180, 160},
};

QColor mix(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(a.redF() * (1 - share) + b.redF() * share, a.greenF() * (1 - share) + b.greenF() * share,
                            a.blueF() * (1 - share) + b.blueF() * share);
}

} // namespace

QColor linkColour(const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Base);
    QColor link = palette.color(QPalette::Link);
    // A theme that leaves the light theme's dark blue on a dark base gets it lightened.
    const bool darkBase = base.lightnessF() < 0.5;
    if (std::abs(link.lightnessF() - base.lightnessF()) < 0.4)
        link = QColor::fromHslF(link.hslHueF() < 0 ? 0.6 : link.hslHueF(), link.hslSaturationF(), darkBase ? 0.72 : 0.35);
    return link;
}

MarkupColours::MarkupColours(const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const bool darkBase = base.lightnessF() < 0.5;
    // Far enough from the base to read well, as far as the text itself is.
    const int lightness = darkBase ? 175 : 95;
    m_colours.fill(text);
    for (const Tint &tint : tints)
        m_colours[size_t(tint.role)] = QColor::fromHsl(tint.hue, tint.saturation, lightness);
    // The page's own stylesheets look as a stylesheet does.
    const StylesheetColours stylesheet(palette);
    for (int role = int(StylesheetRole::Selector); role <= int(StylesheetRole::Url); ++role)
        m_colours[size_t(markupRole(StylesheetRole(role)))] = stylesheet.colour(StylesheetRole(role));
    m_lineNumbers = mix(text, base, 0.55);
    m_matchMark = mix(palette.color(QPalette::Highlight), base, 0.6);
    // Red, and brighter than the text colours: a thin line must stand out against both.
    m_errorMark = QColor::fromHsl(355, 230, darkBase ? 150 : 120);
    m_link = linkColour(palette);
}
