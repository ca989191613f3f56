#include "ErrorNavigation.h"

#include "MarkupColouring.h"
#include "SourceView.h"

#include <QHelpEvent>
#include <QShortcut>
#include <QToolTip>

ErrorNavigation::ErrorNavigation(SourceView &view)
    : QObject(&view)
    , m_view(view)
{
    // The keys work wherever the focus is in the window, as the view's others do.
    const auto key = [this](const QKeySequence &sequence, auto slot) {
        auto *shortcut = new QShortcut(sequence, &m_view);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::Key_F8), &ErrorNavigation::next);
    key(QKeySequence(Qt::SHIFT | Qt::Key_F8), &ErrorNavigation::previous);
    key(QKeySequence(Qt::ALT | Qt::Key_E), [this] { setShown(!m_view.errorMarksShown()); });
}

void ErrorNavigation::setShown(bool shown)
{
    m_view.m_layer.setErrorMarksShown(shown);
    m_view.viewport()->update();
}

void ErrorNavigation::next()
{
    if (const auto mark = m_view.m_colouring->nextError(m_view.m_caret.selectionStart()))
        m_view.showMatch(mark->start, mark->end);
}

void ErrorNavigation::previous()
{
    if (const auto mark = m_view.m_colouring->previousError(m_view.m_caret.selectionStart()))
        m_view.showMatch(mark->start, mark->end);
}

qsizetype ErrorNavigation::count() const
{
    return m_view.m_colouring->errorCount();
}

QString ErrorNavigation::tipAt(QPoint viewportPos) const
{
    RowLayer &layer = m_view.m_layer;
    if (!layer.errorMarksShown() || m_view.m_document.isEmpty())
        return {};
    const qsizetype row = layer.rowAtY(viewportPos.y());
    if (row < 0 || row >= layer.rowCount())
        return {};
    const qreal x = viewportPos.x() - m_view.textLeft();
    const qsizetype offset = layer.offsetAt(row, x);
    // offsetAt gives the nearer edge of a character; the mark is under the one the pointer is on.
    const qsizetype under = offset > 0 && layer.xOf(offset) > x ? offset - 1 : offset;
    const auto mark = layer.errorAt(under);
    return mark ? parseErrorText(*mark, m_view.m_document) : QString();
}

bool ErrorNavigation::showTip(QHelpEvent *event) const
{
    const QString tip = tipAt(event->pos());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // The words are the program's, the attribute name the page's: shown escaped,
        // so that nothing in it is read as markup.
        QToolTip::showText(event->globalPos(), QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tip.toHtmlEscaped()),
                           m_view.viewport());
    }
    return true;
}
