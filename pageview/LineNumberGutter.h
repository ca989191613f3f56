#pragma once

#include <QWidget>

class SourceView;

// The gutter on the view's left, with the document's line numbers. It is never part of
// the text: the view paints it and takes its clicks (a click selects a line, a drag
// selects lines), as Qt's code editor example has it.
class LineNumberGutter : public QWidget
{
    Q_OBJECT

public:
    explicit LineNumberGutter(SourceView *view);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    SourceView *m_view;
};
