#include "SourceViewAccessible.h"

#include "LineWrapping.h"
#include "SourceView.h"

#include <QTextBoundaryFinder>

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

// Where the last line break (LF or CR) before end is, or -1. A line may be megabytes
// long: eight characters at a time where the processor can.
qsizetype previousLineBreak(QStringView text, qsizetype end)
{
    const char16_t *data = reinterpret_cast<const char16_t *>(text.data());
    qsizetype i = end;
    // Most lines are short, and an empty one is told by the character before.
    if (i > 0 && isLineBreak(data[i - 1]))
        return i - 1;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i cr = _mm_set1_epi16(u'\r');
    for (; i >= 8; i -= 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i - 8));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(chars, lf), _mm_cmpeq_epi16(chars, cr)));
        if (found)
            return i - 8 + (31 - std::countl_zero(unsigned(found))) / 2;
    }
#endif
    for (; i > 0; --i) {
        if (isLineBreak(data[i - 1]))
            return i - 1;
    }
    return -1;
}

QAccessibleInterface *forSourceView(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<SourceView *>(object))
        return new SourceViewAccessible(view);
    return nullptr;
}

int clampInt(qsizetype value)
{
    return int(std::clamp<qsizetype>(value, 0, std::numeric_limits<int>::max()));
}

// The first characters of text, up to the reported length, never half a pair.
QString reportedPart(const QString &text)
{
    qsizetype length = std::min<qsizetype>(text.size(), SourceViewAccessible::reportedLength);
    if (length < text.size() && length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.first(length);
}

} // namespace

SourceViewAccessible::SourceViewAccessible(SourceView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
    , m_reported(reportedPart(view->text()))
{
}

void SourceViewAccessible::notifyTextReplaced(SourceView *view)
{
    if (!QAccessible::isActive())
        return;
    if (const std::unique_ptr<QAccessibleEvent> event = textReplacedEvent(view))
        QAccessible::updateAccessibility(event.get());
}

void SourceViewAccessible::notifyCaretMoved(SourceView *view)
{
    if (QAccessible::isActive())
        QAccessible::updateAccessibility(caretMovedEvent(view).get());
}

void SourceViewAccessible::notifySelectionChanged(SourceView *view)
{
    if (QAccessible::isActive())
        QAccessible::updateAccessibility(selectionChangedEvent(view).get());
}

void SourceViewAccessible::notifyLinkChanged(SourceView *view)
{
    if (!QAccessible::isActive())
        return;
    if (const std::unique_ptr<QAccessibleEvent> event = linkChangedEvent(view))
        QAccessible::updateAccessibility(event.get());
}

QString SourceViewAccessible::linkDescription(SourceView *view)
{
    const auto link = view->linkAtCaret();
    if (!link)
        return {};
    // The reason is plain text already, escaped where the page's text could mislead.
    return link->second ? QStringLiteral("Link: %1").arg(link->first) : link->first;
}

std::unique_ptr<QAccessibleEvent> SourceViewAccessible::linkChangedEvent(SourceView *view)
{
    auto *accessible = dynamic_cast<SourceViewAccessible *>(QAccessible::queryAccessibleInterface(view));
    if (!accessible)
        return nullptr;
    QString description = linkDescription(view);
    if (description == accessible->m_linkDescription)
        return nullptr;
    accessible->m_linkDescription = std::move(description);
    return std::make_unique<QAccessibleEvent>(view, QAccessible::DescriptionChanged);
}

std::unique_ptr<QAccessibleEvent> SourceViewAccessible::textReplacedEvent(SourceView *view)
{
    // Qt keeps one interface per view, made when first asked for.
    auto *accessible = dynamic_cast<SourceViewAccessible *>(QAccessible::queryAccessibleInterface(view));
    if (!accessible)
        return nullptr;
    // Listeners learn that the beginning they were told of made way for the new
    // document's beginning; the rest they read when they need it. The events carry
    // their text, so a whole 100 MB page would cross the bus twice.
    const QString removed = std::exchange(accessible->m_reported, reportedPart(view->text()));
    const QString &inserted = accessible->m_reported;
    if (removed.isEmpty() && inserted.isEmpty())
        return nullptr;
    if (removed.isEmpty())
        return std::make_unique<QAccessibleTextInsertEvent>(view, 0, inserted);
    if (inserted.isEmpty())
        return std::make_unique<QAccessibleTextRemoveEvent>(view, 0, removed);
    return std::make_unique<QAccessibleTextUpdateEvent>(view, 0, removed, inserted);
}

std::unique_ptr<QAccessibleTextCursorEvent> SourceViewAccessible::caretMovedEvent(SourceView *view)
{
    return std::make_unique<QAccessibleTextCursorEvent>(view, clampInt(view->cursorPosition()));
}

std::unique_ptr<QAccessibleTextSelectionEvent> SourceViewAccessible::selectionChangedEvent(SourceView *view)
{
    const qsizetype anchor = view->anchor();
    const qsizetype cursor = view->cursorPosition();
    auto event = std::make_unique<QAccessibleTextSelectionEvent>(view, clampInt(std::min(anchor, cursor)),
                                                                 clampInt(std::max(anchor, cursor)));
    event->setCursorPosition(clampInt(cursor));
    return event;
}

void SourceViewAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(forSourceView);
        return true;
    }();
    Q_UNUSED(installed);
}

SourceView *SourceViewAccessible::view() const
{
    return static_cast<SourceView *>(widget());
}

void *SourceViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State SourceViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

QString SourceViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return view()->text();
    if (t == QAccessible::Name && QAccessibleWidget::text(t).isEmpty())
        return QStringLiteral("Page source");
    if (t == QAccessible::Description) {
        if (QString link = linkDescription(view()); !link.isEmpty())
            return link;
    }
    return QAccessibleWidget::text(t);
}

void SourceViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    *startOffset = clampInt(std::min(view()->anchor(), view()->cursorPosition()));
    *endOffset = clampInt(std::max(view()->anchor(), view()->cursorPosition()));
}

int SourceViewAccessible::selectionCount() const
{
    return view()->anchor() == view()->cursorPosition() ? 0 : 1;
}

void SourceViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void SourceViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setSelection(view()->cursorPosition(), view()->cursorPosition());
}

void SourceViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelection(startOffset, endOffset);
}

int SourceViewAccessible::cursorPosition() const
{
    return clampInt(view()->cursorPosition());
}

void SourceViewAccessible::setCursorPosition(int position)
{
    view()->setSelection(position, position);
}

QString SourceViewAccessible::text(int startOffset, int endOffset) const
{
    const QString document = view()->text();
    startOffset = std::clamp(startOffset, 0, clampInt(document.size()));
    endOffset = std::clamp(endOffset, startOffset, clampInt(document.size()));
    return document.mid(startOffset, endOffset - startOffset);
}

void SourceViewAccessible::boundaries(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const
{
    const QString document = view()->text();
    const int size = clampInt(document.size());
    offset = std::clamp(offset, 0, size);
    switch (type) {
    case QAccessible::CharBoundary:
        *start = offset;
        *end = std::min(offset + (offset + 1 < size && document.at(offset).isHighSurrogate() ? 2 : 1), size);
        return;
    case QAccessible::NoBoundary:
        *start = 0;
        *end = size;
        return;
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
        // Look no further than the line: a huge document is not read whole for a word.
        int lineStart = offset;
        int lineEnd = offset;
        boundaries(offset, QAccessible::LineBoundary, &lineStart, &lineEnd);
        const QString line = document.mid(lineStart, lineEnd - lineStart);
        QTextBoundaryFinder finder(type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Sentence, line);
        finder.setPosition(offset - lineStart);
        const int at = int(finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary());
        finder.setPosition(at);
        const int next = int(finder.toNextBoundary());
        *start = lineStart + std::max(at, 0);
        *end = lineStart + (next < 0 ? int(line.size()) : next);
        return;
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        lineAround(document, offset, start, end);
        return;
    }
}

void SourceViewAccessible::lineAround(QStringView document, int offset, int *start, int *end)
{
    // A line break belongs to the line it ends, and CR LF is one break: an offset on
    // its LF is in the line the pair ends.
    qsizetype at = offset;
    if (at > 0 && at < document.size() && document[at] == u'\n' && document[at - 1] == u'\r')
        --at;
    const qsizetype lineStart = previousLineBreak(document, at) + 1;
    // The piece that holds offset ends at most a row past it, and finding where looks
    // one character further: beyond that, where the line ends makes no difference.
    const qsizetype horizon = std::min(document.size(), at + SourceView::maxRowLength + 2);
    qsizetype lineEnd = at;
    while (lineEnd < horizon && !isLineBreak(document[lineEnd].unicode()))
        ++lineEnd;
    const QStringView text = document.sliced(lineStart, lineEnd - lineStart);
    // A longer line is cut from its start, as the view cuts it: each cut looks only
    // near itself, so going piece by piece costs the line's length.
    qsizetype pieceStart = 0;
    qsizetype pieceEnd = LineWrapping::fixedRowEnd(text, 0, SourceView::maxRowLength);
    while (pieceEnd < text.size() && lineStart + pieceEnd <= offset) {
        pieceStart = pieceEnd;
        pieceEnd = LineWrapping::fixedRowEnd(text, pieceStart, SourceView::maxRowLength);
    }
    *start = clampInt(lineStart + pieceStart);
    if (pieceEnd < text.size()) {
        *end = clampInt(lineStart + pieceEnd);
        return;
    }
    // The line's last piece, with its line break, as text edits give it.
    qsizetype next = lineEnd;
    if (next < document.size())
        next += document[next] == u'\r' && next + 1 < document.size() && document[next + 1] == u'\n' ? 2 : 1;
    *end = clampInt(next);
}

QString SourceViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                           int *endOffset) const
{
    boundaries(offset, boundaryType, startOffset, endOffset);
    return text(*startOffset, *endOffset);
}

QString SourceViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                               int *endOffset) const
{
    int start = 0;
    int end = 0;
    boundaries(offset, boundaryType, &start, &end);
    if (start == 0) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
}

QString SourceViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                              int *endOffset) const
{
    int start = 0;
    int end = 0;
    boundaries(offset, boundaryType, &start, &end);
    if (end >= characterCount()) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(end, boundaryType, startOffset, endOffset);
}

int SourceViewAccessible::characterCount() const
{
    return clampInt(view()->text().size());
}

QRect SourceViewAccessible::characterRect(int offset) const
{
    const QRectF inViewport = view()->characterRect(offset);
    const QPoint topLeft = view()->viewport()->mapToGlobal(inViewport.topLeft().toPoint());
    return QRect(topLeft, inViewport.size().toSize());
}

int SourceViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint inViewport = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(inViewport))
        return -1;
    return clampInt(view()->offsetAt(inViewport));
}

void SourceViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    // Brings the text into sight; the reader's selection is the user's, not ours to change.
    view()->scrollToRange(startIndex, endIndex);
}

QString SourceViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}
