#pragma once

#include <QAccessibleWidget>

#include <memory>

class SourceView;

// What assistive technology learns of the view: its text, the caret, the selection and
// the character at a point, read-only, so that a screen reader can read the source
// line by line (lines as the document has them).
class SourceViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit SourceViewAccessible(SourceView *view);

    // Makes Qt's accessibility answer with this for every SourceView; once.
    static void install();

    // What the view tells assistive technology when its document, caret or selection
    // changes; nothing while accessibility is off. A new document is reported by its
    // first characters only (reportedLength), so that a huge page never crosses the bus.
    static constexpr int reportedLength = 1000;
    static void notifyTextReplaced(SourceView *view);
    static void notifyCaretMoved(SourceView *view);
    static void notifySelectionChanged(SourceView *view);
    // The caret came onto a link or left it: the view's description tells its address.
    static void notifyLinkChanged(SourceView *view);

    // The events those send. The first takes what it reports as known to the reader;
    // it is null when there is nothing to tell.
    static std::unique_ptr<QAccessibleEvent> textReplacedEvent(SourceView *view);
    static std::unique_ptr<QAccessibleTextCursorEvent> caretMovedEvent(SourceView *view);
    static std::unique_ptr<QAccessibleTextSelectionEvent> selectionChangedEvent(SourceView *view);
    // Null when the description is what it was last told as.
    static std::unique_ptr<QAccessibleEvent> linkChangedEvent(SourceView *view);
    // The description while the caret is on a link ("Link: https://...") or on an
    // address that is none (why not); empty elsewhere.
    static QString linkDescription(SourceView *view);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                             int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                            int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    SourceView *view() const;
    // The boundaries of the piece of text of a kind (line, word, ...) around offset.
    void boundaries(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const;
    // The line around offset as the view shows it unwrapped: a longer line reads in
    // pieces of the view's row length. Found from offset itself, at the cost of the
    // line, not of the document: readers ask on every caret move.
    static void lineAround(QStringView document, int offset, int *start, int *end);

    // The description as last reported.
    QString m_linkDescription;
    // The beginning of the document as last reported: what a new one replaces.
    QString m_reported;
};
