#include "LineNumberGutter.h"

#include "LineIndex.h"
#include "RowLayer.h"
#include "SourceView.h"

#include <QMouseEvent>
#include <QPainter>

LineNumberGutter::LineNumberGutter(SourceView *view, RowLayer &layer, const LineIndex &lines)
    : QWidget(view)
    , m_view(view)
    , m_layer(layer)
    , m_lines(lines)
{
    setCursor(Qt::ArrowCursor);
}

QSize LineNumberGutter::sizeHint() const
{
    return {m_view->gutterWidth(), 0};
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    m_layer.paintNumbers(painter, width(), height() / m_layer.lineHeight());
}

qsizetype LineNumberGutter::lineAt(const QMouseEvent *event) const
{
    if (m_layer.rowCount() == 0)
        return -1;
    return m_layer.rowAt(m_layer.rowAtY(int(event->position().y()))).line;
}

qsizetype LineNumberGutter::anchorLine() const
{
    // A selection of lines upwards has its anchor at the start of the line after the
    // last one selected.
    const qsizetype anchor = m_view->anchor();
    const qsizetype line = m_lines.lineOf(anchor);
    if (anchor > m_view->cursorPosition() && line > 0 && anchor == m_lines.lineStart(line))
        return line - 1;
    return line;
}

void LineNumberGutter::selectLinesTo(qsizetype line)
{
    // Whole lines, from the line pressed on to the line under the pointer, breaks
    // included.
    const qsizetype first = std::min(line, m_anchorLine);
    const qsizetype last = std::max(line, m_anchorLine);
    if (line >= m_anchorLine)
        m_view->setSelection(m_lines.lineStart(first), m_lines.nextLineStart(last));
    else
        m_view->setSelection(m_lines.nextLineStart(last), m_lines.lineStart(first));
}

void LineNumberGutter::mousePressEvent(QMouseEvent *event)
{
    const qsizetype line = lineAt(event);
    if (event->button() != Qt::LeftButton || line < 0)
        return;
    m_view->setFocus(Qt::MouseFocusReason);
    // Shift+click grows the selection by lines from the line it started on.
    if (event->modifiers() & Qt::ShiftModifier)
        m_anchorLine = anchorLine();
    else
        m_anchorLine = line;
    selectLinesTo(line);
}

void LineNumberGutter::mouseMoveEvent(QMouseEvent *event)
{
    const qsizetype line = lineAt(event);
    if (m_anchorLine >= 0 && line >= 0 && (event->buttons() & Qt::LeftButton))
        selectLinesTo(line);
}

void LineNumberGutter::mouseReleaseEvent(QMouseEvent *)
{
    if (m_anchorLine >= 0)
        m_view->offerSelection();
    m_anchorLine = -1;
}
