#include "SourceView.h"

#include "SafeFile.h"
#include "Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>

namespace {

constexpr int margin = 4;
constexpr int layoutCacheLimit = 512;
// How much of a huge document is indexed before the window gets a turn: a few
// milliseconds' work, so scrolling and painting never wait long.
constexpr qsizetype indexSliceCharacters = 4 * 1024 * 1024;

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
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // The view's commands come from its own menu on a right press; the menu key and
    // any built-in menu open nothing.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    m_indexing.setInterval(0);
    connect(&m_indexing, &QTimer::timeout, this, &SourceView::indexSlice);
    updateMetrics();
    showDocument(QString());
}

SourceView::~SourceView() = default;

void SourceView::setTextRTF(const QString &text)
{
    // Rich text is shown as its source: this is a source viewer.
    showDocument(text);
}

void SourceView::setText(const QString &text)
{
    showDocument(text);
}

QString SourceView::text() const
{
    return m_document;
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

void SourceView::showDocument(const QString &text)
{
    m_document = text;
    m_anchor = m_cursor = 0;
    m_preferredX = -1;
    m_selecting = false;
    m_layouts.clear();
    m_widestRow = 0;
    // The first screen is there at once; the rest of a huge page follows in slices.
    m_index.reset(m_document);
    if (m_index.extend(indexSliceCharacters / 16))
        m_indexing.stop();
    else
        m_indexing.start();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void SourceView::indexSlice()
{
    if (m_index.extend(indexSliceCharacters))
        m_indexing.stop();
    updateScrollBars();
    viewport()->update();
}

void SourceView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    m_ascent = metrics.ascent();
}

int SourceView::visibleRows() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

int SourceView::textLeft() const
{
    return margin - horizontalScrollBar()->value();
}

void SourceView::updateScrollBars()
{
    const int rows = int(std::min<qsizetype>(rowCount(), std::numeric_limits<int>::max()));
    verticalScrollBar()->setRange(0, std::max(0, rows - visibleRows()));
    verticalScrollBar()->setPageStep(visibleRows());
    verticalScrollBar()->setSingleStep(1);
    const qreal contentWidth = std::max<qreal>(qreal(m_index.longestRow()) * m_charWidth, m_widestRow) + 2 * margin;
    horizontalScrollBar()->setRange(0, std::max(0, int(std::min<qreal>(contentWidth, 1e9)) - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_charWidth * 4);
}

QTextLayout *SourceView::layoutFor(qsizetype row)
{
    if (auto found = m_layouts.find(row); found != m_layouts.end())
        return found->get();
    if (m_layouts.size() > layoutCacheLimit)
        m_layouts.clear();

    QString shown = m_document.mid(m_index.rowStart(row), m_index.rowLength(row));
    for (QChar &c : shown)
        c = displayChar(c);
    auto layout = std::make_shared<QTextLayout>(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(8.0 * m_charWidth);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid())
        line.setLineWidth(1e7);
    layout->endLayout();
    if (line.isValid() && line.naturalTextWidth() > m_widestRow) {
        m_widestRow = line.naturalTextWidth();
        updateScrollBars();
    }
    m_layouts.insert(row, layout);
    return layout.get();
}

qsizetype SourceView::rowOf(qsizetype offset)
{
    // The caret may go where the index has not reached yet (Ctrl+End at once).
    m_index.extendTo(offset);
    return m_index.rowOf(offset);
}

QString SourceView::rowText(qsizetype row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_document.mid(m_index.rowStart(row), m_index.rowLength(row));
}

qsizetype SourceView::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

void SourceView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const qsizetype selStart = std::min(m_anchor, m_cursor);
    const qsizetype selEnd = std::max(m_anchor, m_cursor);
    const QPalette &pal = palette();
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(pal.brush(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight));
    selectedFormat.setForeground(pal.brush(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText));
    painter.setPen(pal.color(QPalette::Text));

    const qsizetype first = firstVisibleRow();
    const qsizetype last = std::min<qsizetype>(rowCount(), first + visibleRows() + 1);
    const qsizetype cursorRow = rowOf(m_cursor);
    int y = 0;
    for (qsizetype row = first; row < last; ++row, y += m_lineHeight) {
        QTextLayout *layout = layoutFor(row);
        const qsizetype rowStart = m_index.rowStart(row);
        const qsizetype rowEnd = m_index.rowEnd(row);
        QList<QTextLayout::FormatRange> selections;
        // A selection that runs over a line's end shows the break as a little space.
        const qsizetype from = std::max(selStart, rowStart);
        const qsizetype to = std::min(selEnd, rowEnd);
        if (from < to)
            selections.append({int(from - rowStart), int(to - from), selectedFormat});
        const QPointF origin(textLeft(), y);
        if (selEnd > rowEnd && selStart <= rowEnd && row + 1 < rowCount() && m_index.rowStart(row + 1) > rowEnd) {
            const qreal endX = layout->lineAt(0).naturalTextWidth();
            painter.fillRect(QRectF(origin.x() + endX, y, m_charWidth / 2.0, m_lineHeight), selectedFormat.background());
        }
        layout->draw(&painter, origin, selections);
        if (hasFocus() && row == cursorRow)
            layout->drawCursor(&painter, origin, int(std::min(m_cursor, rowEnd) - rowStart));
    }
}

void SourceView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SourceView::scrollContentsBy(int, int)
{
    viewport()->update();
}

qsizetype SourceView::offsetAt(QPoint pos)
{
    const qsizetype row = std::clamp<qsizetype>(firstVisibleRow() + (pos.y() < 0 ? -1 : pos.y() / m_lineHeight), 0, rowCount() - 1);
    QTextLayout *layout = layoutFor(row);
    const int column = layout->lineAt(0).xToCursor(pos.x() - textLeft());
    return m_index.rowStart(row) + std::clamp<qsizetype>(column, 0, m_index.rowLength(row));
}

qreal SourceView::xOf(qsizetype offset)
{
    const qsizetype row = rowOf(offset);
    return layoutFor(row)->lineAt(0).cursorToX(int(std::min(offset, rowEnd(row)) - m_index.rowStart(row)));
}

void SourceView::moveCursor(qsizetype offset, bool keepAnchor)
{
    m_cursor = std::clamp<qsizetype>(offset, 0, m_document.size());
    if (!keepAnchor)
        m_anchor = m_cursor;
    ensureCursorVisible();
    viewport()->update();
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
    viewport()->update();
}

void SourceView::ensureCursorVisible()
{
    const qsizetype row = rowOf(m_cursor);
    QScrollBar *v = verticalScrollBar();
    if (row < v->value())
        v->setValue(int(row));
    else if (row >= v->value() + visibleRows())
        v->setValue(int(row - visibleRows() + 1));
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
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool word = event->modifiers() & Qt::ControlModifier;
    const qsizetype row = rowOf(m_cursor);
    const auto toRow = [this](qsizetype target) {
        const qsizetype r = std::clamp<qsizetype>(target, 0, rowCount() - 1);
        const int column = layoutFor(r)->lineAt(0).xToCursor(m_preferredX);
        return m_index.rowStart(r) + std::clamp<qsizetype>(column, 0, m_index.rowLength(r));
    };

    qsizetype target = m_cursor;
    bool vertical = false;
    switch (event->key()) {
    case Qt::Key_Left:
        if (m_cursor == m_index.rowStart(row) && row > 0)
            target = rowEnd(row - 1);
        else if (word) {
            target = m_cursor;
            while (target > m_index.rowStart(row) && !isWordChar(m_document.at(target - 1)))
                --target;
            while (target > m_index.rowStart(row) && isWordChar(m_document.at(target - 1)))
                --target;
        } else {
            target = m_cursor - 1;
            if (target > 0 && m_document.at(target).isLowSurrogate())
                --target;
        }
        break;
    case Qt::Key_Right:
        if (m_cursor >= rowEnd(row) && row + 1 < rowCount())
            target = m_index.rowStart(row + 1);
        else if (word) {
            target = m_cursor;
            while (target < rowEnd(row) && !isWordChar(m_document.at(target)))
                ++target;
            while (target < rowEnd(row) && isWordChar(m_document.at(target)))
                ++target;
        } else {
            target = std::min(m_cursor + 1, rowEnd(row));
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
            verticalScrollBar()->setValue(verticalScrollBar()->value() + sign * step);
        target = toRow(row + sign * step);
        vertical = true;
        break;
    }
    case Qt::Key_Home:
        target = word ? 0 : m_index.rowStart(row);
        break;
    case Qt::Key_End:
        target = word ? m_document.size() : rowEnd(row);
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

void SourceView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        m_layouts.clear();
        m_widestRow = 0;
        updateScrollBars();
    }
}
