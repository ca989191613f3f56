#include "SourceView.h"

#include "DragSelection.h"
#include "FindController.h"
#include "LineNumberGutter.h"
#include "LinkResolver.h"
#include "MarkupColouring.h"
#include "SourceViewAccessible.h"
#include "StylesheetColouring.h"
#include "ViewFields.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QToolTip>
#include <QtMath>

#include <algorithm>

namespace {

constexpr int margin = RowLayer::margin;
// Work done in the background between two turns of the window's loop: indexing lines
// and measuring wrapped rows, a few milliseconds at a time.
constexpr qsizetype indexSlice = 4 * 1024 * 1024;
constexpr qsizetype measureSlice = 1024 * 1024;

} // namespace

SourceView::SourceView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_colouring(std::make_unique<MarkupColouring>())
    , m_stylesheet(std::make_unique<StylesheetColouring>())
    , m_layer(m_document, m_lines, m_rows, *m_colouring)
    , m_gutter(new LineNumberGutter(this, m_layer, m_lines))
    , m_fields(new ViewFields(this))
    , m_drag(new DragSelection(*this))
    , m_errors(new ErrorNavigation(*this))
    , m_zoom(new ViewZoom(*this))
{
    // An empty document from the start: setting the font below lays it out.
    m_lines.reset(m_document);
    m_rows.reset(&m_lines);
    m_caret.reset(m_document, &m_lines, &m_rows, &m_layer);
    m_layer.linesAdded = [this] { takeInLines(); };
    m_layer.widestRowGrew = [this] { updateScrollBars(); };
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(fixed);
    m_layer.setFont(fixed);
    m_layer.setPalette(palette());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // The view's commands come from its own menu on a right press; the menu key and
    // any built-in menu open nothing.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);

    m_background.setInterval(0);
    connect(&m_background, &QTimer::timeout, this, &SourceView::backgroundSlice);
    connect(m_colouring.get(), &MarkupColouring::advanced, this, [this] {
        m_layer.forgetUncolouredLayouts();
        viewport()->update();
    });

    // Alt+Z works wherever the focus is in the window, as a browser's keys do.
    auto *wrap = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Z), this);
    wrap->setContext(Qt::WindowShortcut);
    connect(wrap, &QShortcut::activated, this, [this] { setWrapping(!m_wrapping); });
    connect(m_colouring.get(), &MarkupColouring::errorsCounted, this, &SourceView::parseErrorsCounted);

    m_layer.setStylesheetColouring(m_stylesheet.get());
    // The pointer tells a link by a hand.
    viewport()->setMouseTracking(true);
    connect(m_stylesheet.get(), &StylesheetColouring::advanced, this, [this] {
        m_layer.forgetUncolouredLayouts();
        viewport()->update();
    });

    SourceViewAccessible::install();
    showDocument(QString());
}

SourceView::~SourceView() = default;

void SourceView::setText(const QString &text, const QByteArray &mimeType)
{
    m_mimeType = mimeType;
    showDocument(text);
}

// ---- The document, its lines and rows

void SourceView::showDocument(const QString &text)
{
    m_document = text;
    m_drag->forget();
    m_fields->documentReplaced();
    m_layer.setFirstVisibleRow(0);
    m_lines.reset(m_document);
    m_rows.reset(&m_lines);
    m_caret.reset(m_document, &m_lines, &m_rows, &m_layer);
    applyRowRule();
    // The first screen is there at once; the rest of a huge page follows in slices.
    m_lines.extend(indexSlice / 16);
    takeInLines();
    m_colouring->reset(m_document, markupSyntaxFor(m_mimeType, m_document));
    m_stylesheet->reset(m_document, m_mimeType == "text/css");
    m_fields->find()->setDocument(m_document);
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
    m_fields->linesCounted(m_lines.lineCount(), m_lines.complete());
}

void SourceView::applyRowRule()
{
    m_layer.setWrapping(m_wrapping);
    m_rows.setRule(m_layer.rule(viewport()->width() - 2 * margin));
    m_layer.forgetLayouts();
    m_caret.rowsChanged();
    if (!m_rows.allMeasured() && !m_background.isActive())
        m_background.start();
}

void SourceView::relayout()
{
    // The caret and the line at the top stay where they were.
    const qsizetype top = rowCount() > 0 ? m_layer.rowAt(firstVisibleRow()).start : 0;
    applyRowRule();
    keepTop(top);
    updateGutter();
    viewport()->update();
}

void SourceView::keepTop(qsizetype offset)
{
    m_layer.setFirstVisibleRow(m_layer.rowOf(offset));
    updateScrollBars();
}

// ---- Scroll bars, the gutter and the fields

int SourceView::visibleRows() const
{
    return std::max(1, viewport()->height() / m_layer.lineHeight());
}

int SourceView::textLeft() const
{
    return margin - (m_wrapping ? 0 : horizontalScrollBar()->value());
}

void SourceView::updateScrollBars()
{
    m_syncingScrollBar = true;
    setHorizontalScrollBarPolicy(m_wrapping ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    m_layer.fitScrollBars(*verticalScrollBar(), *horizontalScrollBar(), visibleRows(), viewport()->width());
    m_syncingScrollBar = false;
}

int SourceView::gutterWidth() const
{
    const int digits = int(QString::number(std::max<qsizetype>(m_rows.lineCount(), 1)).size());
    return 2 * margin + qCeil(QFontMetricsF(m_layer.font()).horizontalAdvance(QLatin1Char('9')) * std::max(digits, 2));
}

void SourceView::updateGutter()
{
    // An open field is a strip above the text, so that it never hides a match.
    const int top = m_fields->place(contentsRect());
    const int width = gutterWidth();
    setViewportMargins(width, top, 0, 0);
    m_gutter->setGeometry(contentsRect().left(), contentsRect().top() + top, width, viewport()->height());
    m_gutter->update();
}

void SourceView::fieldsChanged()
{
    updateGutter();
    updateScrollBars();
    viewport()->update();
}

void SourceView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_wrapping)
        relayout();
    fieldsChanged();
}

void SourceView::scrollContentsBy(int, int)
{
    if (!m_syncingScrollBar)
        m_layer.setFirstVisibleRow(verticalScrollBar()->value());
    viewport()->update();
    m_gutter->update();
}

void SourceView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_layer.setFont(font());
        relayout();
        fieldsChanged();
    } else if (event->type() == QEvent::PaletteChange) {
        m_layer.setPalette(palette());
        viewport()->update();
    }
}

// ---- Wrapping

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

void SourceView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (rowCount() == 0)
        return;
    RowLayer::Marks marks;
    marks.selectionStart = m_caret.selectionStart();
    marks.selectionEnd = m_caret.selectionEnd();
    marks.caret = hasFocus() ? cursorPosition() : -1;
    marks.caretRow = m_caret.caretRow();
    marks.group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const qsizetype first = m_layer.rowAt(firstVisibleRow()).start;
    const qsizetype last = m_layer.rowAt(std::min(firstVisibleRow() + visibleRows(), rowCount() - 1)).end;
    marks.matches = m_fields->find()->matchesIn(m_document, first, last);
    marks.matchLength = m_fields->find()->matchLength();
    m_layer.paintText(painter, textLeft(), visibleRows(), marks);
}

// ---- The caret and the selection

void SourceView::caretMoved()
{
    ensureVisible(cursorPosition());
    selectionChanged();
}

void SourceView::indexTo(qsizetype offset)
{
    // The caret may go where the index has not reached yet (Ctrl+End, a match far on);
    // indexing is quick enough to do at once.
    if (!m_lines.complete())
        m_layer.rowOf(std::clamp<qsizetype>(offset, 0, m_document.size()));
}

void SourceView::setSelection(qsizetype anchor, qsizetype cursor)
{
    indexTo(std::max(anchor, cursor));
    m_caret.setSelection(anchor, {cursor, CaretNavigator::Affinity::Downstream});
    caretMoved();
}

QString SourceView::selectedText() const
{
    return m_document.mid(m_caret.selectionStart(), m_caret.selectionEnd() - m_caret.selectionStart());
}

void SourceView::selectAll()
{
    indexTo(m_document.size());
    m_caret.selectAll();
    selectionChanged();
    copySelection(QClipboard::Selection);
}

void SourceView::selectionChanged()
{
    viewport()->update();
    m_fields->find()->selectionMoved(anchor(), cursorPosition());
    SourceViewAccessible::notifyCaretMoved(this);
    SourceViewAccessible::notifySelectionChanged(this);
}

void SourceView::scrollToRow(qsizetype row)
{
    m_layer.setFirstVisibleRow(row);
    updateScrollBars();
    viewport()->update();
    m_gutter->update();
}

void SourceView::ensureVisible(qsizetype offset)
{
    // The caret at the end of a row that the next one continues is drawn on the first.
    const bool caret = offset == cursorPosition();
    const qsizetype row = caret ? m_caret.caretRow() : m_layer.rowOf(offset);
    const qsizetype top = firstVisibleRow();
    if (row < top)
        scrollToRow(row);
    else if (row >= top + visibleRows())
        scrollToRow(row - visibleRows() + 1);
    if (m_wrapping)
        return;
    // A quarter of the view's width is kept clear on the side the text came from.
    const int x = int(caret ? m_caret.caretX() : m_layer.xOf(offset));
    QScrollBar *h = horizontalScrollBar();
    const int room = viewport()->width() - 2 * margin;
    if (x < h->value())
        h->setValue(std::max(0, x - room / 4));
    else if (x > h->value() + room)
        h->setValue(x - room + room / 4);
}

void SourceView::scrollToRange(qsizetype from, qsizetype to)
{
    ensureVisible(to);
    ensureVisible(from);
}

void SourceView::showMatch(qsizetype from, qsizetype to)
{
    // Its end in view, then its start, so that a match wider than the view shows where
    // it begins.
    indexTo(std::max(from, to));
    m_caret.setSelection(from, {to, CaretNavigator::Affinity::Downstream});
    scrollToRange(anchor(), cursorPosition());
    selectionChanged();
    // The current match is the selection: Ctrl+C and the primary selection have it.
    copySelection(QClipboard::Selection);
}

void SourceView::copySelection(QClipboard::Mode mode)
{
    if (!m_caret.hasSelection())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection())
        return;
    clipboard->setText(selectedText(), mode);
}

// ---- Mouse and keys

void SourceView::mousePressEvent(QMouseEvent *event)
{
    m_linkPress.reset();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier)
        m_linkPress = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_drag->press(event, 1);
    event->accept();
    emit pressed(event->button(), event->modifiers(), viewport()->mapTo(this, event->position()));
}

void SourceView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click's second press selects a word; of another button, it is a press.
    if (event->button() == Qt::LeftButton)
        m_drag->press(event, 2);
    else
        emit pressed(event->button(), event->modifiers(), viewport()->mapTo(this, event->position()));
    event->accept();
}

void SourceView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_linkPress && *m_linkPress != event->position().toPoint())
        m_linkPress.reset();
    if (event->buttons() == Qt::NoButton) {
        const auto link = linkAtPoint(event->position().toPoint());
        viewport()->setCursor(link && link->second ? Qt::PointingHandCursor : Qt::IBeamCursor);
    }
    m_drag->move(event);
}

void SourceView::mouseReleaseEvent(QMouseEvent *event)
{
    // A click, not a drag, that began and ended on the same spot of a link follows it.
    if (event->button() == Qt::LeftButton && m_linkPress && *m_linkPress == event->position().toPoint()) {
        m_linkPress.reset();
        if (const auto link = linkAtPoint(event->position().toPoint()); link && link->second) {
            m_drag->release(event);
            emit linkActivated(link->first);
            return;
        }
    }
    if (m_drag->release(event))
        copySelection(QClipboard::Selection);
}

void SourceView::wheelEvent(QWheelEvent *event)
{
    if (!m_zoom->wheel(event))
        QAbstractScrollArea::wheelEvent(event);
}

void SourceView::moveCaret(CaretNavigator::Move move, bool extend)
{
    using Move = CaretNavigator::Move;
    // All the way for Ctrl+End, a slice beyond the caret for the other moves.
    indexTo(move == Move::DocumentEnd ? m_document.size() : cursorPosition() + indexSlice);
    m_caret.setPageRows(visibleRows());
    if (move == Move::PreviousPage || move == Move::NextPage) {
        // A page move scrolls the view by a page too, so the caret keeps its place on screen.
        const qsizetype rows = move == Move::NextPage ? visibleRows() : -visibleRows();
        scrollToRow(std::clamp<qsizetype>(firstVisibleRow() + rows, 0, verticalScrollBar()->maximum()));
    }
    m_caret.move(move, extend);
    caretMoved();
    // A selection made with the keyboard is offered to other programs, as one made with
    // the mouse is.
    if (extend)
        copySelection(QClipboard::Selection);
}

void SourceView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_fields->isOpen()) {
        m_fields->close();
        return;
    }
    const CaretInput::KeyCommand command = CaretInput::fromKey(*event);
    if (command.copy) {
        copySelection(QClipboard::Clipboard);
    } else if (command.selectAll) {
        selectAll();
    } else if (command.move) {
        m_drag->forgetClicks();
        moveCaret(*command.move, command.extend);
    } else if (command.scrollRows != 0) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + command.scrollRows);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool SourceView::event(QEvent *event)
{
    // Escape belongs to an open field first, not to a shortcut elsewhere in the window.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && m_fields->isOpen()) {
        event->accept();
        return true;
    }
    // The caret shows only while the view has the focus.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        viewport()->update();
    return QAbstractScrollArea::event(event);
}

bool SourceView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        // A link's address as plain text, whatever it holds: it comes from the network.
        if (const auto link = linkAtPoint(help->pos())) {
            const QString text = escapedForDisplay(link->first).toHtmlEscaped();
            QToolTip::showText(help->globalPos(), QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(text), viewport());
            return true;
        }
        return m_errors->showTip(help);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// ---- Find and go to line

void SourceView::setFieldFont(const QFont &font)
{
    m_fields->setFont(font);
    fieldsChanged();
}

bool SourceView::goToLine(qsizetype line)
{
    if (line < 1 || line > m_lines.lineCount() || (!m_lines.complete() && line == m_lines.lineCount()))
        return false;
    const qsizetype start = m_lines.lineStart(line - 1);
    // The line lands a third of the way down, with some of what leads to it above.
    scrollToRow(std::clamp<qsizetype>(m_layer.rowOf(start) - visibleRows() / 3, 0, verticalScrollBar()->maximum()));
    m_caret.setPosition({start, CaretNavigator::Affinity::Downstream});
    caretMoved();
    return true;
}

// ---- The place in the document, for going back to it

qsizetype SourceView::topLine()
{
    return rowCount() > 0 ? m_lines.lineOf(m_layer.rowAt(firstVisibleRow()).start) : 0;
}

void SourceView::setTopLine(qsizetype line)
{
    // A line far into a huge page may not be counted yet: counting is quick next to
    // the fetch that came before.
    while (!m_lines.complete() && line >= m_lines.lineCount())
        m_lines.extend(indexSlice);
    takeInLines();
    const qsizetype last = std::max<qsizetype>(m_lines.lineCount() - 1, 0);
    scrollToRow(m_rows.firstRowOf(std::clamp<qsizetype>(line, 0, last)));
}

// ---- Links in a stylesheet

std::optional<std::pair<QString, bool>> SourceView::linkAtPoint(QPoint viewportPos)
{
    if (!(m_stylesheet->isActive() || m_colouring->isActive()) || rowCount() == 0)
        return std::nullopt;
    const qsizetype offset = offsetAt(viewportPos);
    // offsetAt gives the nearest boundary; the character under the pointer is the one
    // whose box holds it.
    const QRectF box = characterRect(offset);
    const qsizetype under = viewportPos.x() < box.left() && offset > 0 ? offset - 1 : offset;
    const auto link = m_stylesheet->isActive() ? m_stylesheet->linkAt(under) : m_colouring->styleLinkAt(under);
    if (!link)
        return std::nullopt;
    const LinkResolver::Resolution resolved = LinkResolver(m_documentAddress).resolve(link->written);
    if (resolved.isLink())
        return std::pair(resolved.address, true);
    return std::pair(resolved.reason, false);
}
