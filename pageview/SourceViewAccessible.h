#pragma once

#include <QAccessibleWidget>

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
};
