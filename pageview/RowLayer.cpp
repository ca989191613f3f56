#include "RowLayer.h"

#include "LineIndex.h"
#include "LineWrapping.h"
#include "MarkupColouring.h"
#include "MarkupColours.h"
#include "StylesheetColouring.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int layoutCacheLimit = 512;
// Characters laid out past the last column a long row shows.
constexpr qsizetype partialSlack = 64;

// What a character looks like on screen: control characters and line separators
// would vanish or break the row, so they show as their visible symbols.
QChar displayChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 && u != u'\t')
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7F)
        return QChar(char16_t(0x2421));
    if (u == 0x2028 || u == 0x2029)
        return QChar(char16_t(0x2424));
    return c;
}

} // namespace

RowLayer::RowLayer(const QString &document, LineIndex &lines, DisplayRows &rows, MarkupColouring &colouring)
    : m_document(document)
    , m_lines(lines)
    , m_rows(rows)
    , m_colouring(colouring)
{
}

RowLayer::~RowLayer() = default;

void RowLayer::setFont(const QFont &font)
{
    m_font = font;
    const QFontMetricsF metrics(font);
    m_lineHeight = std::max(1, qCeil(metrics.lineSpacing()));
    m_charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    forgetLayouts();
}

void RowLayer::setPalette(const QPalette &palette)
{
    m_palette = palette;
    forgetLayouts();
}

DisplayRows::Rule RowLayer::rule(qreal textWidth) const
{
    DisplayRows::Rule rule;
    if (m_wrapping) {
        const qreal width = std::max<qreal>(textWidth, m_charWidth);
        const qsizetype columns = std::max<qsizetype>(1, qsizetype(width / m_charWidth));
        // Widths as the font has them, also for the characters a fallback font draws.
        const CharacterWidths widths = CharacterWidths::measured(
            [metrics = QFontMetricsF(m_font)](char32_t c) {
                const char32_t shown = c < 0x10000 ? displayChar(QChar(char16_t(c))).unicode() : c;
                return metrics.horizontalAdvance(QString::fromUcs4(&shown, 1));
            },
            8 * m_charWidth);
        rule.breaker = [width, widths](QStringView line, qsizetype start) {
            return LineWrapping::nextRowStart(line, start, width, widths);
        };
        rule.estimate = [columns](qsizetype length) { return (length + columns - 1) / columns; };
        // Shorter than this, a line fits whatever it holds (a tab is eight columns).
        rule.singleRowLength = columns / 8;
    } else {
        rule.breaker = [](QStringView line, qsizetype start) { return LineWrapping::fixedRowEnd(line, start, maxRowLength); };
        rule.estimate = [](qsizetype length) { return (length + maxRowLength - 1) / maxRowLength; };
        rule.singleRowLength = maxRowLength;
        rule.measureAtOnce = true;
    }
    return rule;
}

void RowLayer::forgetLayouts()
{
    m_layouts.clear();
    m_widestRow = 0;
}

void RowLayer::forgetUncolouredLayouts()
{
    // Rows drawn before their colours were known are laid out again.
    for (auto it = m_layouts.begin(); it != m_layouts.end();) {
        if (!it->coloured)
            it = m_layouts.erase(it);
        else
            ++it;
    }
}

qsizetype RowLayer::firstVisibleRow() const
{
    return m_rows.firstRowOf(std::min(m_topLine, std::max<qsizetype>(m_rows.lineCount() - 1, 0))) + m_topIndexInLine;
}

void RowLayer::setFirstVisibleRow(qsizetype row)
{
    const DisplayRows::Place place = m_rows.placeOfRow(std::max<qsizetype>(row, 0));
    m_topLine = place.line;
    m_topIndexInLine = place.row;
}

void RowLayer::fitScrollBars(QScrollBar &vertical, QScrollBar &horizontal, int rowsOnScreen, int width)
{
    vertical.setRange(0, int(std::clamp<qsizetype>(rowCount() - rowsOnScreen, 0, std::numeric_limits<int>::max())));
    vertical.setPageStep(rowsOnScreen);
    vertical.setSingleStep(1);
    // The top row stays put: rows above it that were measured only change its number.
    if (firstVisibleRow() > vertical.maximum())
        setFirstVisibleRow(vertical.maximum());
    vertical.setValue(int(std::min<qsizetype>(firstVisibleRow(), std::numeric_limits<int>::max())));

    if (m_wrapping) {
        horizontal.setRange(0, 0);
        return;
    }
    const qreal longest = qreal(std::min(m_lines.longestLine(), maxRowLength)) * m_charWidth;
    const qreal contentWidth = std::max(longest, m_widestRow) + 2 * margin;
    horizontal.setRange(0, std::max(0, int(std::min<qreal>(contentWidth, 1e9)) - width));
    horizontal.setPageStep(width);
    horizontal.setSingleStep(int(m_charWidth * 4));
}

qsizetype RowLayer::rowAtY(int y) const
{
    return std::clamp<qsizetype>(firstVisibleRow() + (y < 0 ? -1 : y / m_lineHeight), 0,
                                 std::max<qsizetype>(rowCount() - 1, 0));
}

RowLayer::Row RowLayer::rowOfLine(qsizetype line, qsizetype indexInLine)
{
    const DisplayRows::Span span = m_rows.rowSpan(line, indexInLine);
    return {line, span.indexInLine, span.start, span.end, span.next, span.lastOfLine};
}

RowLayer::Row RowLayer::rowAt(qsizetype row)
{
    const DisplayRows::Place place = m_rows.placeOfRow(row);
    return rowOfLine(place.line, place.row);
}

RowLayer::Row RowLayer::nextRow(const Row &row)
{
    if (!row.lastOfLine)
        return rowOfLine(row.line, row.indexInLine + 1);
    if (row.line + 1 < m_rows.lineCount())
        return rowOfLine(row.line + 1, 0);
    Row none;
    none.line = -1;
    return none;
}

qsizetype RowLayer::rowOf(qsizetype offset)
{
    // The caret may go where the index has not reached yet (Ctrl+End at once).
    if (!m_lines.complete() && offset >= 0) {
        m_lines.extendTo(offset);
        if (linesAdded)
            linesAdded();
    }
    return m_rows.rowOf(std::clamp<qsizetype>(offset, 0, m_document.size()));
}

QString RowLayer::rowText(qsizetype row)
{
    if (row < 0 || row >= rowCount())
        return {};
    const Row r = rowAt(row);
    return m_document.mid(r.start, r.end - r.start);
}

qsizetype RowLayer::lineNumberOfRow(qsizetype row)
{
    if (row < 0 || row >= rowCount())
        return 0;
    const Row r = rowAt(row);
    return r.indexInLine == 0 ? r.line + 1 : 0;
}

bool RowLayer::coloursReady(int rowsOnScreen)
{
    if (m_stylesheet && m_stylesheet->isActive() && rowCount() > 0)
        return m_stylesheet->isReadyAt(rowAt(std::min(rowCount() - 1, firstVisibleRow() + rowsOnScreen)).start);
    if (!m_colouring.isActive() || rowCount() == 0)
        return true;
    const qsizetype last = std::min(rowCount() - 1, firstVisibleRow() + rowsOnScreen);
    return m_colouring.isReadyAt(rowAt(last).start);
}

QRectF RowLayer::characterRect(qsizetype offset, qreal left)
{
    offset = std::clamp<qsizetype>(offset, 0, m_document.size());
    const qsizetype row = rowOf(offset);
    const qreal x = xOf(offset);
    const qreal next = offset < m_document.size() ? xOf(offset + 1) : x + m_charWidth;
    const qreal y = qreal(row - firstVisibleRow()) * m_lineHeight;
    return QRectF(left + x, y, std::max<qreal>(next - x, 1), m_lineHeight);
}

QTextLayout *RowLayer::layoutFor(const Row &row)
{
    if (auto found = m_layouts.find(row.start); found != m_layouts.end() && found->whole)
        return found->layout.get();
    return makeLayout(row, row.end - row.start);
}

// Whether a row is printable ASCII throughout (no tab): a layout of its start places
// each character where a layout of the whole row would, and the whole row is as wide
// as its length at the start's average width.
static bool printableAsciiOnly(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

QTextLayout *RowLayer::layoutAsFarAs(const Row &row, qreal x)
{
    auto found = m_layouts.find(row.start);
    if (found != m_layouts.end() && (found->whole || found->reach >= x))
        return found->layout.get();
    // Of a long row, the screen shows a few columns: the first ones are laid out, as
    // many as reach past x, which costs those rather than the row (30 rows of 2,000
    // characters took most of a first paint).
    const qsizetype length = row.end - row.start;
    const qsizetype columns = qsizetype(std::ceil(std::max<qreal>(x, 0) / m_charWidth)) + partialSlack;
    if (length > 2 * columns && printableAsciiOnly(QStringView(m_document).sliced(row.start, length))) {
        QTextLayout *layout = makeLayout(row, columns);
        const qreal width = layout->lineAt(0).naturalTextWidth();
        // The scroll bar's reach, as a whole layout would have measured it.
        const qreal whole = width / qreal(columns) * qreal(length);
        if (!m_wrapping && whole > m_widestRow) {
            m_widestRow = whole;
            if (widestRowGrew)
                widestRowGrew();
        }
        if (width >= x)
            return layout;
    }
    return makeLayout(row, length);
}

QTextLayout *RowLayer::makeLayout(const Row &row, qsizetype length)
{
    const bool stylesheet = m_stylesheet && m_stylesheet->isActive();
    const bool colourReady = stylesheet ? m_stylesheet->isReadyAt(row.start)
                                        : !m_colouring.isActive() || m_colouring.isReadyAt(row.start);
    if (m_layouts.size() > layoutCacheLimit)
        m_layouts.clear();
    const bool whole = length == row.end - row.start;

    QString shown = m_document.mid(row.start, length);
    for (QChar &c : shown)
        c = displayChar(c);
    auto layout = std::make_shared<QTextLayout>(shown, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(8.0 * m_charWidth);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    QList<ParseErrorMark> errors;
    if (m_colouring.isActive() && colourReady) {
        // Colours from this row's start to the next row's, so that the state carries on.
        const MarkupColours colours(m_palette);
        QList<QTextLayout::FormatRange> formats;
        for (const MarkupSpan &span : m_colouring.spans(row.start, row.next, &errors)) {
            if ((span.role == MarkupRole::Text && !span.link) || span.start >= shown.size())
                continue;
            QTextCharFormat format;
            format.setForeground(span.link ? colours.link() : colours.colour(span.role));
            // Only where it is one: a font property on every range would have each
            // run of text resolve its font again.
            if (span.link)
                format.setFontUnderline(true);
            formats.append({int(span.start), int(std::min(span.length, shown.size() - span.start)), format});
        }
        if (m_errorMarksShown) {
            QTextCharFormat wave;
            wave.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            wave.setUnderlineColor(colours.errorMark());
            for (const ParseErrorMark &mark : std::as_const(errors)) {
                if (!whole && mark.start >= row.start + length)
                    continue; // past the part laid out
                // A mark on the line break itself is drawn under the row's last character.
                const qsizetype start = std::clamp<qsizetype>(mark.start - row.start, 0, std::max<qsizetype>(0, shown.size() - 1));
                const qsizetype end = std::clamp<qsizetype>(mark.end - row.start, start + 1, shown.size());
                if (start < end)
                    formats.append({int(start), int(end - start), wave});
            }
        }
        layout->setFormats(formats);
    }
    if (stylesheet && colourReady)
        layout->setFormats(m_stylesheet->formats(row.start, row.next, shown.size(), m_palette));
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid())
        line.setLineWidth(1e7);
    layout->endLayout();
    const qreal reach = line.isValid() ? line.naturalTextWidth() : 0;
    m_layouts.insert(row.start, {layout, colourReady, errors, whole, reach});
    if (whole && !m_wrapping && line.isValid() && line.naturalTextWidth() > m_widestRow) {
        m_widestRow = line.naturalTextWidth();
        if (widestRowGrew)
            widestRowGrew();
    }
    return layout.get();
}

void RowLayer::setErrorMarksShown(bool shown)
{
    m_errorMarksShown = shown;
    forgetLayouts();
}

std::optional<ParseErrorMark> RowLayer::errorAt(qsizetype offset)
{
    if (rowCount() == 0)
        return std::nullopt;
    const Row r = rowAt(rowOf(offset));
    layoutFor(r);
    const auto found = m_layouts.constFind(r.start);
    if (found == m_layouts.constEnd())
        return std::nullopt;
    for (const ParseErrorMark &mark : found->errors) {
        // Where it is drawn: a mark on the line break is under the row's last character.
        const qsizetype start = std::clamp(mark.start, r.start, std::max(r.start, r.end - 1));
        const qsizetype end = std::clamp(mark.end, start + 1, std::max(start + 1, r.end));
        if (offset >= start && offset < end)
            return mark;
    }
    return std::nullopt;
}

qreal RowLayer::xOf(qsizetype offset)
{
    const Row r = rowAt(rowOf(offset));
    return layoutFor(r)->lineAt(0).cursorToX(int(std::clamp(offset, r.start, r.end) - r.start));
}

qsizetype RowLayer::offsetAt(qsizetype row, qreal x)
{
    if (rowCount() == 0)
        return 0;
    const Row r = rowAt(std::clamp<qsizetype>(row, 0, rowCount() - 1));
    const int column = layoutFor(r)->lineAt(0).xToCursor(x);
    return r.start + std::clamp<qsizetype>(column, 0, r.end - r.start);
}

qreal RowLayer::xOf(const DisplayRows::Span &span, qsizetype offset)
{
    Row r;
    r.start = span.start;
    r.end = span.end;
    r.next = span.next;
    return layoutFor(r)->lineAt(0).cursorToX(int(std::clamp(offset, r.start, r.end) - r.start));
}

qsizetype RowLayer::offsetAt(const DisplayRows::Span &span, qreal x)
{
    Row r;
    r.start = span.start;
    r.end = span.end;
    r.next = span.next;
    return r.start + std::clamp<qsizetype>(layoutFor(r)->lineAt(0).xToCursor(x), 0, r.end - r.start);
}

void RowLayer::paintText(QPainter &painter, qreal left, int rowsToPaint, const Marks &marks)
{
    if (rowCount() == 0)
        return;
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(m_palette.brush(marks.group, QPalette::Highlight));
    selectedFormat.setForeground(m_palette.brush(marks.group, QPalette::HighlightedText));
    QTextCharFormat matchFormat;
    matchFormat.setBackground(MarkupColours(m_palette).matchMark());
    painter.setPen(m_palette.color(QPalette::Text));

    const qsizetype first = firstVisibleRow();
    QList<Row> rows;
    Row row = rowAt(first);
    for (int i = 0; i <= rowsToPaint && row.line >= 0; ++i, row = nextRow(row))
        rows.append(row);

    int y = 0;
    const qreal rightEdge = painter.device() ? painter.device()->width() - left : 1e7;
    for (qsizetype i = 0; i < rows.size(); ++i, y += m_lineHeight) {
        const Row &r = rows[i];
        // A selection that runs over a line's end shows the break as a little space.
        const bool lineBreakSelected = marks.selectionEnd > r.end && marks.selectionStart <= r.end && i + 1 < rows.size()
                && rows[i + 1].start > r.end;
        // What is drawn past the row's part on screen is the whole row's: its end, the caret.
        const bool caretHere = marks.caret >= 0 && first + i == marks.caretRow;
        QTextLayout *layout = lineBreakSelected ? layoutFor(r) : layoutAsFarAs(r, rightEdge);
        const qsizetype laidOut = layout->text().size();
        if (caretHere && marks.caret - r.start > laidOut)
            layout = layoutFor(r);
        QList<QTextLayout::FormatRange> ranges;
        const qsizetype shownEnd = r.start + layout->text().size();
        for (qsizetype at : marks.matches) {
            const qsizetype from = std::max(at, r.start);
            const qsizetype to = std::min(at + marks.matchLength, shownEnd);
            if (from < to)
                ranges.append({int(from - r.start), int(to - from), matchFormat});
        }
        const qsizetype from = std::max(marks.selectionStart, r.start);
        const qsizetype to = std::min(marks.selectionEnd, shownEnd);
        if (from < to)
            ranges.append({int(from - r.start), int(to - from), selectedFormat});
        const QPointF origin(left, y);
        if (lineBreakSelected) {
            const qreal endX = layout->lineAt(0).naturalTextWidth();
            painter.fillRect(QRectF(origin.x() + endX, y, m_charWidth / 2.0, m_lineHeight), selectedFormat.background());
        }
        layout->draw(&painter, origin, ranges);
        if (caretHere)
            layout->drawCursor(&painter, origin, int(std::clamp(marks.caret, r.start, r.end) - r.start));
    }
}

void RowLayer::paintNumbers(QPainter &painter, int width, int rowsToPaint)
{
    if (rowCount() == 0)
        return;
    painter.setPen(MarkupColours(m_palette).lineNumbers());
    painter.setFont(m_font);
    Row row = rowAt(firstVisibleRow());
    for (int i = 0, y = 0; i <= rowsToPaint && row.line >= 0; ++i, y += m_lineHeight, row = nextRow(row)) {
        // Rows that continue a line carry no number.
        if (row.indexInLine == 0)
            painter.drawText(QRect(0, y, width - margin, m_lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(row.line + 1));
    }
}
