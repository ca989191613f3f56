#pragma once

#include <QWidget>

class LineIndex;
class RowLayer;
class SourceView;

// The gutter on the view's left, with the document's line numbers. It is never part of
// the text: it paints the numbers of the rows on screen and takes its own clicks (a
// click selects a line, a drag or a Shift+click selects lines), as Qt's code editor example has it.
class LineNumberGutter : public QWidget
{
    Q_OBJECT

public:
    LineNumberGutter(SourceView *view, RowLayer &layer, const LineIndex &lines);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The line under the pointer; -1 in an empty document.
    qsizetype lineAt(const QMouseEvent *event) const;
    void selectLinesTo(qsizetype line);
    // The line a Shift+click extends from: the one the selection's anchor is on.
    qsizetype anchorLine() const;

    SourceView *m_view;
    RowLayer &m_layer;
    const LineIndex &m_lines;
    // The line a drag started on; -1 when no drag is on.
    qsizetype m_anchorLine = -1;
};
