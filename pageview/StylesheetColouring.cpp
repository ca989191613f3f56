#include "StylesheetColouring.h"

#include "MarkupColours.h"

#include "CssTokenizer.h"
#include "LinkResolver.h"

#include <QTextCharFormat>

#include <algorithm>

namespace {

constexpr size_t recentLimit = 4096;
// A token longer than this that runs past a row is kept for the rows inside it.
constexpr qsizetype longToken = 4096;

struct Tint
{
    StylesheetRole role;
    int hue;
    int saturation;
};

// Near what browsers' style editors use: selectors purple, property names brown,
// values blue, comments green, strings red, numbers teal.
constexpr Tint tints[] = {
    {StylesheetRole::Selector, 300, 170},
    {StylesheetRole::AtRule, 270, 200},
    {StylesheetRole::Property, 30, 200},
    {StylesheetRole::Value, 235, 190},
    {StylesheetRole::Comment, 120, 140},
    {StylesheetRole::String, 0, 170},
    {StylesheetRole::Number, 175, 200},
    {StylesheetRole::Hash, 330, 150},
    {StylesheetRole::Function, 200, 120},
    {StylesheetRole::Url, 215, 230},
};

} // namespace

StylesheetColours::StylesheetColours(const QPalette &palette)
{
    // As far from the base as the markup's colours are.
    const int lightness = palette.color(QPalette::Base).lightnessF() < 0.5 ? 175 : 95;
    m_colours.fill(palette.color(QPalette::Text));
    for (const Tint &tint : tints)
        m_colours[size_t(tint.role)] = QColor::fromHsl(tint.hue, tint.saturation, lightness);
}

StylesheetRole stylesheetRole(const Css::Token &token, QStringView document)
{
    using Css::TokenType;
    if (token.flags & Css::Link)
        return StylesheetRole::Url;
    switch (token.type) {
    case TokenType::Comment: return StylesheetRole::Comment;
    case TokenType::AtKeyword: return StylesheetRole::AtRule;
    case TokenType::Url:
    case TokenType::BadUrl: return StylesheetRole::Url;
    case TokenType::String:
    case TokenType::BadString: return StylesheetRole::String;
    case TokenType::Number:
    case TokenType::Percentage:
    case TokenType::Dimension:
    case TokenType::UnicodeRange: return StylesheetRole::Number;
    case TokenType::Function:
        // The name without its '(': url("...") is a link as much as url(...) is.
        return Css::nameMatches(document.sliced(token.start, token.length - 1), QLatin1StringView("url"))
                ? StylesheetRole::Url
                : StylesheetRole::Function;
    case TokenType::Hash:
        return token.role == Css::Role::Selector ? StylesheetRole::Selector : StylesheetRole::Hash;
    case TokenType::Whitespace: return StylesheetRole::Text;
    default: break;
    }
    switch (token.role) {
    case Css::Role::Selector: return StylesheetRole::Selector;
    case Css::Role::Property: return StylesheetRole::Property;
    case Css::Role::Value:
    case Css::Role::AtRule: return token.type == TokenType::Ident ? StylesheetRole::Value : StylesheetRole::Text;
    case Css::Role::Other: break;
    }
    return StylesheetRole::Text;
}

StylesheetColouring::StylesheetColouring(QObject *parent)
    : QObject(parent)
{
    connect(&m_scan, &BackgroundScan::advanced, this, &StylesheetColouring::advanced);
}

void StylesheetColouring::reset(const QString &document, bool stylesheet)
{
    m_scan.stop();
    m_document = document;
    m_active = stylesheet;
    m_recent.clear();
    m_long = LongToken();
    m_checkpoints.clear();
    if (!stylesheet)
        return;
    const qsizetype blocks = std::max<qsizetype>(1, (document.size() + checkpointSpacing - 1) / checkpointSpacing);
    m_checkpoints.assign(size_t(blocks) + 1, Checkpoint());
    m_scan.start(m_document, checkpointSpacing, [this, view = QStringView(m_document)](qsizetype index, qsizetype, qsizetype to) {
        // A token may run past the block's end: the checkpoint is the first boundary after it.
        const Checkpoint &from = m_checkpoints[size_t(index)];
        Css::TokenStream stream(view, from.position, from.state);
        Css::Token token;
        while (stream.position() < to && stream.next(token)) {
        }
        m_checkpoints[size_t(index) + 1] = {stream.position(), stream.state()};
    });
}

bool StylesheetColouring::isReadyAt(qsizetype from) const
{
    return m_active && from / checkpointSpacing <= m_scan.blocksDone();
}

StylesheetColouring::Checkpoint StylesheetColouring::checkpointBefore(qsizetype offset) const
{
    // A long token can carry a checkpoint past offset: the one before it is the start.
    size_t index = size_t(offset / checkpointSpacing);
    while (index > 0 && m_checkpoints[index].position > offset)
        --index;
    Checkpoint best = m_checkpoints[index];
    if (auto it = m_recent.upper_bound(offset); it != m_recent.begin()) {
        --it;
        if (it->first >= best.position)
            best = {it->first, it->second};
    }
    return best;
}

QList<StylesheetSpan> StylesheetColouring::spans(qsizetype from, qsizetype to)
{
    QList<StylesheetSpan> result;
    if (!isReadyAt(from) || from >= to)
        return result;
    const QStringView view(m_document);
    Checkpoint resume = checkpointBefore(from);
    if (m_long.start < from && from < m_long.end && m_long.start >= resume.position) {
        // Inside the long token met last: what it is, and on from its end.
        if (m_long.role != StylesheetRole::Text)
            result.append({0, std::min(m_long.end, to) - from, m_long.role, m_long.followed});
        if (m_long.end >= to)
            return result;
        resume = {m_long.end, m_long.after};
    }
    Css::TokenStream stream(view, resume.position, resume.state);
    Css::Token token;
    while (stream.position() < to) {
        // The last boundary before to: the next row starts there or inside the token after it.
        resume = {stream.position(), stream.state()};
        if (!stream.next(token))
            break;
        if (token.end() <= from)
            continue;
        const StylesheetRole role = stylesheetRole(token, view);
        if (token.end() > to && token.length > longToken)
            m_long = {token.start, token.end(), role, isFollowed(token), stream.state()};
        if (role == StylesheetRole::Text)
            continue;
        const qsizetype start = std::max(token.start, from);
        result.append({start - from, std::min(token.end(), to) - start, role, isFollowed(token)});
    }
    if (m_recent.size() >= recentLimit)
        m_recent.clear();
    m_recent.insert_or_assign(resume.position, resume.state);
    return result;
}

QList<QTextLayout::FormatRange> StylesheetColouring::formats(qsizetype from, qsizetype to, qsizetype length,
                                                              const QPalette &palette)
{
    const StylesheetColours colours(palette);
    QList<QTextLayout::FormatRange> formats;
    for (const StylesheetSpan &span : spans(from, to)) {
        if (span.start >= length)
            continue;
        QTextCharFormat format;
        format.setForeground(span.link ? linkColour(palette) : colours.colour(span.role));
        format.setFontUnderline(span.link);
        formats.append({int(span.start), int(std::min(span.length, length - span.start)), format});
    }
    return formats;
}

void StylesheetColouring::setDocumentAddress(const QString &address)
{
    m_documentAddress = address;
    m_long = LongToken();
}

// An address is underlined when it leads somewhere Vellumin fetches; before the
// stylesheet's own address is known, every address is.
bool StylesheetColouring::isFollowed(const Css::Token &token) const
{
    if (!(token.flags & Css::Link))
        return false;
    return m_documentAddress.isEmpty() || LinkResolver(m_documentAddress).resolve(token.value).isLink();
}

std::optional<StylesheetColouring::Link> StylesheetColouring::linkAt(qsizetype offset)
{
    if (!isReadyAt(offset) || offset >= m_document.size())
        return std::nullopt;
    // A long comment or string holds no address.
    if (m_long.start <= offset && offset < m_long.end && m_long.role != StylesheetRole::Url)
        return std::nullopt;
    const Checkpoint from = checkpointBefore(offset);
    Css::TokenStream stream(QStringView(m_document), from.position, from.state);
    Css::Token token;
    while (stream.position() <= offset && stream.next(token)) {
        if (token.end() <= offset)
            continue;
        if (!(token.flags & Css::Link))
            return std::nullopt;
        return Link{token.start, token.end(), token.value};
    }
    return std::nullopt;
}
