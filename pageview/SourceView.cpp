#include "SourceView.h"

#include "FindBar.h"
#include "FindSession.h"
#include "GoToLineBar.h"
#include "LineNumberGutter.h"
#include "LineWrapping.h"
#include "MarkupColouring.h"
#include "MarkupColours.h"
#include "SafeFile.h"
#include "SourceViewAccessible.h"
#include "Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QTextLayout>

#include <algorithm>
#include <array>

namespace {

constexpr int margin = 4;
constexpr int layoutCacheLimit = 512;
// Work done in the background between two turns of the window's loop: indexing lines
// and measuring wrapped rows, a few milliseconds at a time.
constexpr qsizetype indexSlice = 4 * 1024 * 1024;
constexpr qsizetype measureSlice = 1024 * 1024;
// Matches marked on screen at most; a screen holds far fewer.
constexpr int markedMatchLimit = 10000;
// The zoom steps, as browsers have them.
constexpr std::array zoomSteps = {50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};

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

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}

} // namespace

SourceView::SourceView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_colouring(std::make_unique<MarkupColouring>())
    , m_find(std::make_unique<FindSession>())
    , m_gutter(new LineNumberGutter(this))
    , m_findBar(new FindBar(this))
    , m_goToLineBar(new GoToLineBar(this))
{
    // An empty document from the start: setting the font below lays it out.
    m_lines.reset(m_document);
    m_rows.reset(&m_lines);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_basePointSize = fixed.pointSizeF();
    setFont(fixed);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // The view's commands come from its own menu on a right press; the menu key and
    // any built-in menu open nothing.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    m_findBar->hide();
    m_goToLineBar->hide();

    m_background.setInterval(0);
    connect(&m_background, &QTimer::timeout, this, &SourceView::backgroundSlice);
    connect(m_colouring.get(), &MarkupColouring::advanced, this, [this] {
        // Rows drawn before their colours were known are laid out again.
        for (auto it = m_layouts.begin(); it != m_layouts.end();) {
            if (!it->coloured)
                it = m_layouts.erase(it);
            else
                ++it;
        }
        viewport()->update();
    });

    connect(m_find.get(), &FindSession::found, this, &SourceView::showMatch);
    connect(m_find.get(), &FindSession::notFound, this, [this] {
        m_matchStart = -1;
        m_searchFailed = true;
        updateFindStatus();
        viewport()->update();
    });
    connect(m_find.get(), &FindSession::countAdvanced, this, &SourceView::updateFindStatus);
    connect(m_findBar, &FindBar::textEdited, this, [this] {
        m_find->setSearch(TextSearch(m_findBar->text(), m_findBar->matchCase() ? Qt::CaseSensitive : Qt::CaseInsensitive));
        // As the text grows, the search starts again from where it began.
        m_matchStart = -1;
        startFind(false);
    });
    connect(m_findBar, &FindBar::matchCaseToggled, this, [this] { emit m_findBar->textEdited(m_findBar->text()); });
    connect(m_findBar, &FindBar::nextRequested, this, &SourceView::findNext);
    connect(m_findBar, &FindBar::previousRequested, this, &SourceView::findPrevious);
    connect(m_findBar, &FindBar::closeRequested, this, &SourceView::closeBars);
    connect(m_goToLineBar, &GoToLineBar::lineRequested, this, [this](qsizetype line) {
        closeBars();
        goToLine(line);
    });
    connect(m_goToLineBar, &GoToLineBar::closeRequested, this, &SourceView::closeBars);

    // The view's keys work wherever the focus is in the window, as a browser's do.
    const auto key = [this](const QKeySequence &sequence, auto slot) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), &SourceView::openFind);
    key(QKeySequence(Qt::Key_F3), &SourceView::findNext);
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), &SourceView::findPrevious);
    key(QKeySequence(Qt::CTRL | Qt::Key_G), &SourceView::openGoToLine);
    key(QKeySequence(Qt::ALT | Qt::Key_Z), [this] { setWrapping(!m_wrapping); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), &SourceView::zoomIn);
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), &SourceView::zoomIn);
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), &SourceView::zoomOut);
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(100); });

    SourceViewAccessible::install();
    updateMetrics();
    showDocument(QString());
}

SourceView::~SourceView() = default;

// ---- The page view's operations

void SourceView::setTextRTF(const QString &text)
{
    // Rich text is shown as its source: this is a source viewer.
    showDocument(text);
}

void SourceView::setText(const QString &text)
{
    m_mimeType.clear();
    showDocument(text);
}

QString SourceView::text() const
{
    return m_document;
}

void SourceView::setContentType(const QByteArray &mimeType)
{
    m_mimeType = mimeType;
}

QString SourceView::saveFile(const QString &path, int format)
{
    Q_UNUSED(format); // Plain text is the only format this view saves.
    return writeFileAtomically(path, m_document.toUtf8());
}

void SourceView::setHeightTwips(float twips)
{
    resize(width(), Twips::toPixels(twips, logicalDpiY()));
}

void SourceView::setWidthTwips(float twips)
{
    resize(Twips::toPixels(twips, logicalDpiX()), height());
}

// ---- The document, its lines and rows

void SourceView::showDocument(const QString &text)
{
    m_document = text;
    m_anchor = m_cursor = 0;
    m_preferredX = -1;
    m_selecting = false;
    m_gutterAnchorLine = -1;
    m_layouts.clear();
    m_widestRow = 0;
    m_topLine = m_topIndexInLine = 0;
    m_lines.reset(m_document);
    m_rows.reset(&m_lines);
    applyRowRule();
    // The first screen is there at once; the rest of a huge page follows in slices.
    m_lines.extend(indexSlice / 16);
    takeInLines();
    m_colouring->reset(m_document, markupSyntaxFor(m_mimeType, m_document));
    m_find->setDocument(m_document);
    m_matchStart = -1;
    m_searchFailed = false;
    updateFindStatus();
    if (!m_lines.complete() || !m_rows.allMeasured())
        m_background.start();
    updateGutter();
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    SourceViewAccessible::notifyTextReplaced(this);
}

void SourceView::backgroundSlice()
{
    if (!m_lines.complete()) {
        m_lines.extend(indexSlice);
        takeInLines();
    } else if (!m_rows.allMeasured()) {
        m_rows.measure(measureSlice);
    }
    if (m_lines.complete() && m_rows.allMeasured())
        m_background.stop();
    updateScrollBars();
    viewport()->update();
    m_gutter->update();
}

void SourceView::takeInLines()
{
    const qsizetype digitsBefore = QString::number(m_rows.lineCount()).size();
    m_rows.linesAdded();
    if (QString::number(m_rows.lineCount()).size() != digitsBefore)
        updateGutter();
}

void SourceView::applyRowRule()
{
    DisplayRows::Rule rule;
    if (m_wrapping) {
        const qreal width = std::max<qreal>(viewport()->width() - 2 * margin, m_charWidth);
        const qsizetype columns = std::max<qsizetype>(1, qsizetype(width / m_charWidth));
        // Widths as the font has them, also for the characters a fallback font draws.
        const CharacterWidths widths = CharacterWidths::measured(
            [metrics = QFontMetricsF(font())](char32_t c) {
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
    m_rows.setRule(std::move(rule));
    m_layouts.clear();
    m_widestRow = 0;
    if (!m_rows.allMeasured() && !m_background.isActive())
        m_background.start();
}

void SourceView::relayout()
{
    // The caret and the line at the top stay where they were.
    const qsizetype top = rowCount() > 0 ? rowAt(firstVisibleRow()).start : 0;
    applyRowRule();
    keepTop(top);
    updateGutter();
    viewport()->update();
}

void SourceView::keepTop(qsizetype offset)
{
    const qsizetype row = rowOf(offset);
    const DisplayRows::Place place = m_rows.placeOfRow(row);
    m_topLine = place.line;
    m_topIndexInLine = place.row;
    updateScrollBars();
}

SourceView::Row SourceView::rowOfLine(qsizetype line, qsizetype indexInLine)
{
    const DisplayRows::Span span = m_rows.rowSpan(line, indexInLine);
    return {line, span.indexInLine, span.start, span.end, span.next, span.lastOfLine};
}

SourceView::Row SourceView::rowAt(qsizetype row)
{
    const DisplayRows::Place place = m_rows.placeOfRow(row);
    return rowOfLine(place.line, place.row);
}

SourceView::Row SourceView::nextRow(const Row &row)
{
    if (!row.lastOfLine)
        return rowOfLine(row.line, row.indexInLine + 1);
    if (row.line + 1 < m_rows.lineCount())
        return rowOfLine(row.line + 1, 0);
    Row none;
    none.line = -1;
    return none;
}

qsizetype SourceView::rowOf(qsizetype offset)
{
    // The caret may go where the index has not reached yet (Ctrl+End at once).
    if (!m_lines.complete() && offset >= 0) {
        m_lines.extendTo(offset);
        takeInLines();
    }
    return m_rows.rowOf(std::clamp<qsizetype>(offset, 0, m_document.size()));
}

QString SourceView::rowText(qsizetype row)
{
    if (row < 0 || row >= rowCount())
        return {};
    const Row r = rowAt(row);
    return m_document.mid(r.start, r.end - r.start);
}

qsizetype SourceView::lineNumberOfRow(qsizetype row)
{
    if (row < 0 || row >= rowCount())
        return 0;
    const Row r = rowAt(row);
    return r.indexInLine == 0 ? r.line + 1 : 0;
}

qsizetype SourceView::firstVisibleRow() const
{
    return m_rows.firstRowOf(std::min(m_topLine, std::max<qsizetype>(m_rows.lineCount() - 1, 0))) + m_topIndexInLine;
}

bool SourceView::coloursReadyOnScreen()
{
    if (!m_colouring->isActive() || rowCount() == 0)
        return true;
    const qsizetype last = std::min(rowCount() - 1, firstVisibleRow() + visibleRows());
    return m_colouring->isReadyAt(rowAt(last).start);
}

// ---- Metrics, scroll bars, the gutter and the fields

void SourceView::updateMetrics()
{
    const QFontMetricsF metrics(font());
    m_lineHeight = std::max(1, qCeil(metrics.lineSpacing()));
    m_charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
}

int SourceView::visibleRows() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

int SourceView::textLeft() const
{
    return margin - (m_wrapping ? 0 : horizontalScrollBar()->value());
}

void SourceView::updateScrollBars()
{
    QScrollBar *v = verticalScrollBar();
    const qsizetype rows = rowCount();
    m_syncingScrollBar = true;
    v->setRange(0, int(std::clamp<qsizetype>(rows - visibleRows(), 0, std::numeric_limits<int>::max())));
    v->setPageStep(visibleRows());
    v->setSingleStep(1);
    // The top row stays put: rows above it that were measured only change its number.
    if (firstVisibleRow() > v->maximum()) {
        const DisplayRows::Place place = m_rows.placeOfRow(v->maximum());
        m_topLine = place.line;
        m_topIndexInLine = place.row;
    }
    v->setValue(int(std::min<qsizetype>(firstVisibleRow(), std::numeric_limits<int>::max())));
    m_syncingScrollBar = false;

    QScrollBar *h = horizontalScrollBar();
    if (m_wrapping) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        h->setRange(0, 0);
        return;
    }
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const qreal longest = qreal(std::min(m_lines.longestLine(), maxRowLength)) * m_charWidth;
    const qreal contentWidth = std::max(longest, m_widestRow) + 2 * margin;
    h->setRange(0, std::max(0, int(std::min<qreal>(contentWidth, 1e9)) - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(int(m_charWidth * 4));
}

int SourceView::gutterWidth() const
{
    const int digits = int(QString::number(std::max<qsizetype>(m_rows.lineCount(), 1)).size());
    return 2 * margin + qCeil(QFontMetricsF(font()).horizontalAdvance(QLatin1Char('9')) * std::max(digits, 2));
}

void SourceView::updateGutter()
{
    const int width = gutterWidth();
    setViewportMargins(width, 0, 0, 0);
    const QRect inside = contentsRect();
    m_gutter->setGeometry(inside.left(), inside.top(), width, viewport()->height());
    m_gutter->update();
}

void SourceView::placeBars()
{
    const QRect area = viewport()->geometry();
    for (QWidget *bar : {static_cast<QWidget *>(m_findBar), static_cast<QWidget *>(m_goToLineBar)}) {
        const int width = std::min(bar->sizeHint().width(), std::max(area.width() - 8, 0));
        bar->setGeometry(area.right() + 1 - 4 - width, area.top() + 4, width, bar->sizeHint().height());
        bar->raise();
    }
}

void SourceView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_wrapping)
        relayout();
    updateGutter();
    updateScrollBars();
    placeBars();
}

void SourceView::scrollContentsBy(int, int)
{
    if (!m_syncingScrollBar) {
        const DisplayRows::Place place = m_rows.placeOfRow(verticalScrollBar()->value());
        m_topLine = place.line;
        m_topIndexInLine = place.row;
    }
    viewport()->update();
    m_gutter->update();
}

void SourceView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        relayout();
        placeBars();
    } else if (event->type() == QEvent::PaletteChange) {
        m_layouts.clear();
        viewport()->update();
    }
}

// ---- Zoom and wrapping

void SourceView::setZoom(int percent)
{
    percent = std::clamp(percent, minimumZoom, maximumZoom);
    if (percent == m_zoom)
        return;
    m_zoom = percent;
    QFont zoomed = font();
    zoomed.setPointSizeF(m_basePointSize * percent / 100.0);
    setFont(zoomed);
}

void SourceView::zoomIn()
{
    const auto next = std::upper_bound(zoomSteps.begin(), zoomSteps.end(), m_zoom);
    if (next != zoomSteps.end())
        setZoom(*next);
}

void SourceView::zoomOut()
{
    const auto at = std::lower_bound(zoomSteps.begin(), zoomSteps.end(), m_zoom);
    if (at != zoomSteps.begin())
        setZoom(*std::prev(at));
}

void SourceView::setWrapping(bool wrapping)
{
    if (wrapping == m_wrapping)
        return;
    m_wrapping = wrapping;
    horizontalScrollBar()->setValue(0);
    setHorizontalScrollBarPolicy(wrapping ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    relayout();
}

// ---- Painting

QTextLayout *SourceView::layoutFor(const Row &row)
{
    const bool colourReady = !m_colouring->isActive() || m_colouring->isReadyAt(row.start);
    if (auto found = m_layouts.find(row.start); found != m_layouts.end())
        return found->layout.get();
    if (m_layouts.size() > layoutCacheLimit)
        m_layouts.clear();

    QString shown = m_document.mid(row.start, row.end - row.start);
    for (QChar &c : shown)
        c = displayChar(c);
    auto layout = std::make_shared<QTextLayout>(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(8.0 * m_charWidth);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    if (m_colouring->isActive() && colourReady) {
        // Colours from this row's start to the next row's, so that the state carries on.
        const MarkupColours colours(palette());
        QList<QTextLayout::FormatRange> formats;
        for (const MarkupSpan &span : m_colouring->spans(row.start, row.next)) {
            if (span.role == MarkupRole::Text || span.start >= shown.size())
                continue;
            QTextCharFormat format;
            format.setForeground(colours.colour(span.role));
            formats.append({int(span.start), int(std::min(span.length, shown.size() - span.start)), format});
        }
        layout->setFormats(formats);
    }
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid())
        line.setLineWidth(1e7);
    layout->endLayout();
    if (!m_wrapping && line.isValid() && line.naturalTextWidth() > m_widestRow) {
        m_widestRow = line.naturalTextWidth();
        updateScrollBars();
    }
    m_layouts.insert(row.start, {layout, colourReady});
    return layout.get();
}

QList<qsizetype> SourceView::visibleMatches(qsizetype from, qsizetype to) const
{
    QList<qsizetype> matches;
    const TextSearch &search = m_find->search();
    if (!m_findBar->isVisible() || search.isEmpty())
        return matches;
    for (qsizetype at = search.findNext(m_document, std::max<qsizetype>(0, from - search.length() + 1), to);
         at >= 0 && matches.size() < markedMatchLimit; at = search.findNext(m_document, at + search.length(), to)) {
        matches.append(at);
    }
    return matches;
}

void SourceView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (rowCount() == 0)
        return;
    const qsizetype selStart = std::min(m_anchor, m_cursor);
    const qsizetype selEnd = std::max(m_anchor, m_cursor);
    const QPalette &pal = palette();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(pal.brush(group, QPalette::Highlight));
    selectedFormat.setForeground(pal.brush(group, QPalette::HighlightedText));
    QTextCharFormat matchFormat;
    matchFormat.setBackground(MarkupColours(pal).matchMark());
    painter.setPen(pal.color(QPalette::Text));

    // The rows on screen, first, so that the matches among them are found in one go.
    const qsizetype first = firstVisibleRow();
    QList<Row> rows;
    Row row = rowAt(first);
    for (int i = 0; i <= visibleRows() && row.line >= 0; ++i, row = nextRow(row))
        rows.append(row);
    const QList<qsizetype> matches = visibleMatches(rows.first().start, rows.last().end);
    const qsizetype matchLength = m_find->search().length();
    const qsizetype cursorRow = rowOf(m_cursor);

    int y = 0;
    for (qsizetype i = 0; i < rows.size(); ++i, y += m_lineHeight) {
        const Row &r = rows[i];
        QTextLayout *layout = layoutFor(r);
        QList<QTextLayout::FormatRange> marks;
        for (qsizetype at : matches) {
            const qsizetype from = std::max(at, r.start);
            const qsizetype to = std::min(at + matchLength, r.end);
            if (from < to)
                marks.append({int(from - r.start), int(to - from), matchFormat});
        }
        // A selection that runs over a line's end shows the break as a little space.
        const qsizetype from = std::max(selStart, r.start);
        const qsizetype to = std::min(selEnd, r.end);
        if (from < to)
            marks.append({int(from - r.start), int(to - from), selectedFormat});
        const QPointF origin(textLeft(), y);
        const bool lineBreakSelected = selEnd > r.end && selStart <= r.end && i + 1 < rows.size() && rows[i + 1].start > r.end;
        if (lineBreakSelected) {
            const qreal endX = layout->lineAt(0).naturalTextWidth();
            painter.fillRect(QRectF(origin.x() + endX, y, m_charWidth / 2.0, m_lineHeight), selectedFormat.background());
        }
        layout->draw(&painter, origin, marks);
        if (hasFocus() && first + i == cursorRow)
            layout->drawCursor(&painter, origin, int(std::clamp(m_cursor, r.start, r.end) - r.start));
    }
}

void SourceView::paintGutter(QPaintEvent *event)
{
    QPainter painter(m_gutter);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    if (rowCount() == 0)
        return;
    painter.setPen(MarkupColours(palette()).lineNumbers());
    painter.setFont(font());
    const int width = m_gutter->width() - margin;
    const QFontMetrics metrics(font());
    Row row = rowAt(firstVisibleRow());
    for (int i = 0, y = 0; i <= visibleRows() && row.line >= 0; ++i, y += m_lineHeight, row = nextRow(row)) {
        // Rows that continue a line carry no number.
        if (row.indexInLine == 0)
            painter.drawText(QRect(0, y, width, m_lineHeight), Qt::AlignRight | Qt::AlignVCenter, QString::number(row.line + 1));
    }
}

// ---- The caret and the selection

qsizetype SourceView::offsetAt(QPoint pos)
{
    if (rowCount() == 0)
        return 0;
    const qsizetype row = std::clamp<qsizetype>(firstVisibleRow() + (pos.y() < 0 ? -1 : pos.y() / m_lineHeight), 0, rowCount() - 1);
    const Row r = rowAt(row);
    const int column = layoutFor(r)->lineAt(0).xToCursor(pos.x() - textLeft());
    return r.start + std::clamp<qsizetype>(column, 0, r.end - r.start);
}

qreal SourceView::xOf(qsizetype offset)
{
    const Row r = rowAt(rowOf(offset));
    return layoutFor(r)->lineAt(0).cursorToX(int(std::clamp(offset, r.start, r.end) - r.start));
}

QRectF SourceView::characterRect(qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, m_document.size());
    const qsizetype row = rowOf(offset);
    const qreal x = xOf(offset);
    const qreal next = offset < m_document.size() ? xOf(offset + 1) : x + m_charWidth;
    const qreal y = qreal(row - firstVisibleRow()) * m_lineHeight;
    return QRectF(textLeft() + x, y, std::max<qreal>(next - x, 1), m_lineHeight);
}

void SourceView::moveCursor(qsizetype offset, bool keepAnchor)
{
    m_cursor = std::clamp<qsizetype>(offset, 0, m_document.size());
    if (!keepAnchor)
        m_anchor = m_cursor;
    ensureCursorVisible();
    selectionChanged();
}

void SourceView::setSelection(qsizetype anchor, qsizetype cursor)
{
    m_anchor = std::clamp<qsizetype>(anchor, 0, m_document.size());
    moveCursor(cursor, true);
}

QString SourceView::selectedText() const
{
    const qsizetype from = std::min(m_anchor, m_cursor);
    return m_document.mid(from, std::max(m_anchor, m_cursor) - from);
}

void SourceView::selectAll()
{
    m_anchor = 0;
    m_cursor = m_document.size();
    selectionChanged();
}

void SourceView::selectionChanged()
{
    viewport()->update();
    SourceViewAccessible::notifyCaretMoved(this);
    SourceViewAccessible::notifySelectionChanged(this);
}

void SourceView::scrollToRow(qsizetype row)
{
    const DisplayRows::Place place = m_rows.placeOfRow(std::max<qsizetype>(row, 0));
    m_topLine = place.line;
    m_topIndexInLine = place.row;
    updateScrollBars();
    viewport()->update();
    m_gutter->update();
}

void SourceView::ensureCursorVisible()
{
    const qsizetype row = rowOf(m_cursor);
    const qsizetype top = firstVisibleRow();
    if (row < top)
        scrollToRow(row);
    else if (row >= top + visibleRows())
        scrollToRow(row - visibleRows() + 1);
    if (m_wrapping)
        return;
    const int x = int(xOf(m_cursor));
    QScrollBar *h = horizontalScrollBar();
    const int room = viewport()->width() - 2 * margin;
    if (x < h->value())
        h->setValue(std::max(0, x - room / 4));
    else if (x > h->value() + room)
        h->setValue(x - room + room / 4);
}

void SourceView::copySelection(QClipboard::Mode mode)
{
    if (m_anchor == m_cursor)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection())
        return;
    clipboard->setText(selectedText(), mode);
}

// ---- Mouse and keys

void SourceView::mousePressEvent(QMouseEvent *event)
{
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton: button = MouseButton::left; break;
    case Qt::RightButton: button = MouseButton::right; break;
    case Qt::MiddleButton: button = MouseButton::middle; break;
    default: break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int shift = (mods & Qt::ShiftModifier ? ShiftState::shift : 0) | (mods & Qt::ControlModifier ? ShiftState::ctrl : 0)
            | (mods & Qt::AltModifier ? ShiftState::alt : 0);
    const QPoint pos = event->position().toPoint();

    // Only the left button selects; right and middle presses leave caret and
    // selection where they were.
    if (event->button() == Qt::LeftButton) {
        m_selecting = true;
        m_preferredX = -1;
        moveCursor(offsetAt(pos), mods & Qt::ShiftModifier);
    }
    event->accept();

    if (button != 0) {
        const QPointF inView = viewport()->mapTo(this, event->position());
        emit mouseDown(button, shift, Twips::fromPixels(inView.x(), logicalDpiX()),
                       Twips::fromPixels(inView.y(), logicalDpiY()));
    }
}

void SourceView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    moveCursor(offsetAt(event->position().toPoint()), true);
}

void SourceView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        copySelection(QClipboard::Selection);
    }
}

void SourceView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    const qsizetype at = offsetAt(event->position().toPoint());
    qsizetype from = at;
    qsizetype to = at;
    while (from > 0 && isWordChar(m_document.at(from - 1)))
        --from;
    while (to < m_document.size() && isWordChar(m_document.at(to)))
        ++to;
    if (from == to && to < m_document.size())
        ++to;
    m_anchor = from;
    moveCursor(to, true);
    copySelection(QClipboard::Selection);
}

void SourceView::gutterMouse(QMouseEvent *event)
{
    if (rowCount() == 0)
        return;
    const int y = int(event->position().y());
    const qsizetype row = std::clamp<qsizetype>(firstVisibleRow() + (y < 0 ? -1 : y / m_lineHeight), 0, rowCount() - 1);
    const qsizetype line = rowAt(row).line;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() != Qt::LeftButton)
            return;
        setFocus(Qt::MouseFocusReason);
        m_gutterAnchorLine = line;
        break;
    case QEvent::MouseMove:
        if (m_gutterAnchorLine < 0 || !(event->buttons() & Qt::LeftButton))
            return;
        break;
    case QEvent::MouseButtonRelease:
        if (m_gutterAnchorLine >= 0)
            copySelection(QClipboard::Selection);
        m_gutterAnchorLine = -1;
        return;
    default:
        return;
    }
    // Whole lines, from the line pressed on to the line under the pointer, breaks
    // included.
    const qsizetype first = std::min(line, m_gutterAnchorLine);
    const qsizetype last = std::max(line, m_gutterAnchorLine);
    if (line >= m_gutterAnchorLine)
        setSelection(m_lines.lineStart(first), m_lines.nextLineStart(last));
    else
        setSelection(m_lines.nextLineStart(last), m_lines.lineStart(first));
}

void SourceView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        // One zoom step a notch of the wheel.
        const int notches = event->angleDelta().y() / 120;
        for (int i = 0; i < std::abs(notches); ++i)
            notches > 0 ? zoomIn() : zoomOut();
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void SourceView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copySelection(QClipboard::Clipboard);
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (event->key() == Qt::Key_Escape && (m_findBar->isVisible() || m_goToLineBar->isVisible())) {
        closeBars();
        return;
    }

    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool word = event->modifiers() & Qt::ControlModifier;
    const qsizetype rowIndex = rowOf(m_cursor);
    const Row row = rowAt(rowIndex);
    const auto toRow = [this](qsizetype target) {
        const Row r = rowAt(std::clamp<qsizetype>(target, 0, rowCount() - 1));
        const int column = layoutFor(r)->lineAt(0).xToCursor(m_preferredX);
        return r.start + std::clamp<qsizetype>(column, 0, r.end - r.start);
    };

    qsizetype target = m_cursor;
    bool vertical = false;
    switch (event->key()) {
    case Qt::Key_Left:
        if (m_cursor == row.start && rowIndex > 0)
            target = rowAt(rowIndex - 1).end;
        else if (word) {
            while (target > row.start && !isWordChar(m_document.at(target - 1)))
                --target;
            while (target > row.start && isWordChar(m_document.at(target - 1)))
                --target;
        } else {
            target = m_cursor - 1;
            if (target > 0 && m_document.at(target).isLowSurrogate())
                --target;
        }
        break;
    case Qt::Key_Right:
        if (m_cursor >= row.end && rowIndex + 1 < rowCount())
            target = rowAt(rowIndex + 1).start;
        else if (word) {
            while (target < row.end && !isWordChar(m_document.at(target)))
                ++target;
            while (target < row.end && isWordChar(m_document.at(target)))
                ++target;
        } else {
            target = std::min(m_cursor + 1, row.end);
            if (target < m_document.size() && m_document.at(target).isLowSurrogate())
                ++target;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        if (m_preferredX < 0)
            m_preferredX = xOf(m_cursor);
        const int step = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) ? 1 : visibleRows();
        const int sign = (event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp) ? -1 : 1;
        if (step > 1)
            scrollToRow(std::clamp<qsizetype>(firstVisibleRow() + sign * step, 0, verticalScrollBar()->maximum()));
        target = toRow(rowIndex + sign * step);
        vertical = true;
        break;
    }
    case Qt::Key_Home:
        target = word ? 0 : row.start;
        break;
    case Qt::Key_End:
        target = word ? m_document.size() : row.end;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (!vertical)
        m_preferredX = -1;
    const qreal keepX = m_preferredX;
    moveCursor(target, extend);
    m_preferredX = keepX;
    event->accept();
}

void SourceView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void SourceView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

bool SourceView::event(QEvent *event)
{
    // Escape belongs to an open field first, not to a shortcut elsewhere in the window.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && (m_findBar->isVisible() || m_goToLineBar->isVisible())) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

// ---- Find and go to line

void SourceView::openFind()
{
    m_goToLineBar->hide();
    // A selection on one line is what to look for.
    const QString selected = selectedText();
    if (!selected.isEmpty() && !selected.contains(u'\n') && !selected.contains(u'\r')) {
        m_findBar->setText(selected);
        m_find->setSearch(TextSearch(selected, m_findBar->matchCase() ? Qt::CaseSensitive : Qt::CaseInsensitive));
        m_matchStart = std::min(m_anchor, m_cursor);
        m_matchLength = selected.size();
        m_matchWrapped = false;
        m_searchFailed = false;
    }
    placeBars();
    m_findBar->show();
    m_findBar->focusField();
    updateFindStatus();
    viewport()->update();
}

void SourceView::startFind(bool backwards)
{
    m_searchFailed = false;
    m_findBackwards = backwards;
    if (m_find->search().isEmpty()) {
        m_matchStart = -1;
        updateFindStatus();
        viewport()->update();
        return;
    }
    // Typing searches from the caret; the next match is after the current one, the
    // previous one before it. A caret moved away from the match since is where the
    // search goes on from.
    qsizetype from = std::min(m_anchor, m_cursor);
    const bool onMatch = m_matchStart == from && std::abs(m_cursor - m_anchor) == m_matchLength;
    if (onMatch)
        from = backwards ? m_matchStart : m_matchStart + std::max<qsizetype>(m_matchLength, 1);
    m_find->find(from, backwards);
}

void SourceView::findNext()
{
    if (m_find->search().isEmpty()) {
        openFind();
        return;
    }
    startFind(false);
}

void SourceView::findPrevious()
{
    if (m_find->search().isEmpty()) {
        openFind();
        return;
    }
    startFind(true);
}

void SourceView::showMatch(qsizetype start, qsizetype length, bool wrapped)
{
    m_matchStart = start;
    m_matchLength = length;
    m_matchWrapped = wrapped;
    m_searchFailed = false;
    // The current match is the selection: Ctrl+C and the primary selection have it.
    m_anchor = std::clamp<qsizetype>(start, 0, m_document.size());
    m_cursor = std::clamp<qsizetype>(start + length, 0, m_document.size());
    // Its start in view, then its end.
    const qsizetype end = m_cursor;
    m_cursor = m_anchor;
    ensureCursorVisible();
    m_cursor = end;
    ensureCursorVisible();
    selectionChanged();
    copySelection(QClipboard::Selection);
    updateFindStatus();
}

void SourceView::updateFindStatus()
{
    const QLocale locale;
    QString status;
    if (m_find->search().isEmpty()) {
        status.clear();
    } else if (m_searchFailed) {
        status = QStringLiteral("No results");
    } else {
        const qsizetype total = m_find->total();
        const QString totalText = total < 0 ? QStringLiteral("…") : locale.toString(total);
        if (m_matchStart >= 0) {
            const qsizetype ordinal = m_find->ordinalAt(m_matchStart);
            status = QStringLiteral("%1 of %2").arg(ordinal < 0 ? QStringLiteral("…") : locale.toString(ordinal), totalText);
            // The search went round an end of the document to get here.
            if (m_matchWrapped)
                status += m_findBackwards ? QStringLiteral(", from the end") : QStringLiteral(", from the start");
        } else if (total == 0) {
            status = QStringLiteral("No results");
        } else {
            status = QStringLiteral("%1 matches").arg(totalText);
        }
    }
    m_findBar->setStatus(status);
}

void SourceView::openGoToLine()
{
    m_findBar->hide();
    placeBars();
    m_goToLineBar->show();
    m_goToLineBar->focusField();
    viewport()->update();
}

void SourceView::goToLine(qsizetype line)
{
    // Past the end is the last line; the whole document must be indexed to know it.
    m_lines.extendTo(m_document.size());
    takeInLines();
    const qsizetype index = std::clamp<qsizetype>(line, 1, m_lines.lineCount()) - 1;
    const qsizetype row = rowOf(m_lines.lineStart(index));
    // The line lands a third of the way down, with some of what leads to it above.
    scrollToRow(std::clamp<qsizetype>(row - visibleRows() / 3, 0, verticalScrollBar()->maximum()));
    m_preferredX = -1;
    moveCursor(m_lines.lineStart(index), false);
}

void SourceView::closeBars()
{
    const bool wasOpen = m_findBar->isVisible() || m_goToLineBar->isVisible();
    m_findBar->hide();
    m_goToLineBar->hide();
    if (wasOpen)
        setFocus(Qt::OtherFocusReason);
    viewport()->update();
}
