#include "ViewFields.h"

#include "FindBar.h"
#include "FindController.h"
#include "GoToLineBar.h"
#include "SourceView.h"

#include <QEvent>
#include <QScrollBar>
#include <QShortcut>

ViewFields::ViewFields(SourceView *view)
    : QObject(view)
    , m_view(view)
    , m_findBar(new FindBar(view))
    , m_goToLineBar(new GoToLineBar(view))
    , m_find(new FindController(view, m_findBar))
{
    m_findBar->hide();
    m_goToLineBar->hide();
    connect(m_findBar, &FindBar::closeRequested, this, &ViewFields::close);
    connect(m_goToLineBar, &GoToLineBar::lineRequested, this, &ViewFields::lineRequested);
    connect(m_goToLineBar, &GoToLineBar::closeRequested, this, &ViewFields::close);
    // The scroll bar comes and goes as the rows outgrow the view; the strip makes room.
    m_view->verticalScrollBar()->installEventFilter(this);

    // The fields' keys work wherever the focus is in the window, as a browser's do.
    const auto key = [this](const QKeySequence &sequence, auto slot, auto *receiver) {
        auto *shortcut = new QShortcut(sequence, m_view);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, receiver, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), &ViewFields::openFind, this);
    key(QKeySequence(Qt::Key_F3), &FindController::findNext, m_find);
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), &FindController::findPrevious, m_find);
    key(QKeySequence(Qt::CTRL | Qt::Key_G), &ViewFields::openGoToLine, this);
}

void ViewFields::setFont(const QFont &font)
{
    // Every property set, so that none comes from the view's zoomed font.
    QFont own = font;
    own.setResolveMask(QFont::AllPropertiesResolved);
    m_findBar->setFont(own);
    m_goToLineBar->setFont(own);
}

bool ViewFields::isOpen() const
{
    return m_findBar->isVisible() || m_goToLineBar->isVisible();
}

bool ViewFields::eventFilter(QObject *watched, QEvent *event)
{
    if (isOpen() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        m_view->fieldsChanged();
    return QObject::eventFilter(watched, event);
}

int ViewFields::place(const QRect &whole)
{
    QRect inside = whole;
    const QScrollBar *scrollBar = m_view->verticalScrollBar();
    if (scrollBar->isVisibleTo(m_view))
        inside.setWidth(inside.width() - scrollBar->width());
    QWidget *bar = m_findBar->isVisible() ? static_cast<QWidget *>(m_findBar)
            : m_goToLineBar->isVisible()  ? static_cast<QWidget *>(m_goToLineBar)
                                          : nullptr;
    if (!bar)
        return 0;
    m_findBar->fitWidth(inside.width());
    const int height = std::min(bar->heightForWidth(inside.width()) > 0 ? bar->heightForWidth(inside.width())
                                                                        : bar->sizeHint().height(),
                                inside.height());
    bar->setGeometry(inside.left(), inside.top(), inside.width(), height);
    bar->raise();
    return height;
}

void ViewFields::openFind()
{
    m_goToLineBar->hide();
    m_find->open();
    m_findBar->show();
    m_view->fieldsChanged();
    m_findBar->focusField();
    // The selection the field took is the current match: in view below the field.
    if (m_view->anchor() != m_view->cursorPosition())
        m_view->scrollToRange(std::min(m_view->anchor(), m_view->cursorPosition()),
                              std::max(m_view->anchor(), m_view->cursorPosition()));
}

void ViewFields::openGoToLine()
{
    m_findBar->hide();
    m_goToLineBar->setRange(m_lines, m_complete);
    m_goToLineBar->show();
    m_view->fieldsChanged();
    m_goToLineBar->focusField();
}

void ViewFields::close()
{
    const bool wasOpen = isOpen();
    m_findBar->hide();
    m_goToLineBar->hide();
    m_pendingLine = 0;
    m_view->fieldsChanged();
    if (wasOpen)
        m_view->setFocus(Qt::OtherFocusReason);
}

void ViewFields::lineRequested(qsizetype line)
{
    m_pendingLine = 0;
    if (line < 1 || (m_complete && line > m_lines)) {
        m_goToLineBar->setHint(m_goToLineBar->outOfRange(QString::number(line)));
    } else if (!m_complete && line >= m_lines) {
        // Not counted yet: the count goes on in slices, and the line is gone to when
        // it gets there; the window is never held while a huge page is read through.
        m_pendingLine = line;
        m_goToLineBar->setHint(QStringLiteral("Counting lines…"));
    } else {
        close();
        m_view->goToLine(line);
        return;
    }
    m_view->fieldsChanged();
}

void ViewFields::linesCounted(qsizetype lines, bool complete)
{
    m_lines = lines;
    m_complete = complete;
    m_goToLineBar->setRange(lines, complete);
    if (m_pendingLine > 0 && (complete || m_pendingLine < lines))
        lineRequested(m_pendingLine);
}
