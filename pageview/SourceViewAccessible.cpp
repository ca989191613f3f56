#include "SourceViewAccessible.h"

#include "SourceView.h"

#include <QTextBoundaryFinder>

namespace {

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

} // namespace

SourceViewAccessible::SourceViewAccessible(SourceView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
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
        break;
    }
    // A line with its line break, as text edits give it; the LF of a CR LF belongs
    // to the line the pair ends.
    if (offset > 0 && offset < size && document.at(offset) == u'\n' && document.at(offset - 1) == u'\r')
        --offset;
    qsizetype from = offset;
    while (from > 0 && document.at(from - 1) != u'\n' && document.at(from - 1) != u'\r')
        --from;
    qsizetype to = offset;
    while (to < size && document.at(to) != u'\n' && document.at(to) != u'\r')
        ++to;
    if (to < size)
        to += (document.at(to) == u'\r' && to + 1 < size && document.at(to + 1) == u'\n') ? 2 : 1;
    *start = int(from);
    *end = int(to);
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
    view()->setSelection(endIndex, startIndex);
}

QString SourceViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}
