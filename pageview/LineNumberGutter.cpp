#include "LineNumberGutter.h"

#include "SourceView.h"

LineNumberGutter::LineNumberGutter(SourceView *view)
    : QWidget(view)
    , m_view(view)
{
    setCursor(Qt::ArrowCursor);
}

QSize LineNumberGutter::sizeHint() const
{
    return {m_view->gutterWidth(), 0};
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    m_view->paintGutter(event);
}

void LineNumberGutter::mousePressEvent(QMouseEvent *event)
{
    m_view->gutterMouse(event);
}

void LineNumberGutter::mouseMoveEvent(QMouseEvent *event)
{
    m_view->gutterMouse(event);
}

void LineNumberGutter::mouseReleaseEvent(QMouseEvent *event)
{
    m_view->gutterMouse(event);
}
