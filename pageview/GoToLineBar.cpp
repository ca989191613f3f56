#include "GoToLineBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

GoToLineBar::GoToLineBar(QWidget *parent)
    : QFrame(parent)
    , m_field(new QLineEdit(this))
{
    setObjectName(QStringLiteral("goToLineBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setCursor(Qt::ArrowCursor);

    auto *label = new QLabel(QStringLiteral("Go to line:"), this);
    label->setBuddy(m_field);
    m_field->setObjectName(QStringLiteral("goToLineField"));
    m_field->setAccessibleName(QStringLiteral("Go to line"));
    // Digits only; a number of any length is taken as "past the end".
    m_field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_field));
    m_field->setMinimumWidth(m_field->fontMetrics().horizontalAdvance(QStringLiteral("88888888")));
    m_field->installEventFilter(this);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(label);
    layout->addWidget(m_field);
    setFocusProxy(m_field);
}

void GoToLineBar::focusField()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

bool GoToLineBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            bool ok = false;
            const qsizetype line = m_field->text().toLongLong(&ok);
            // More digits than a number holds: past any end.
            emit lineRequested(ok ? line : (m_field->text().isEmpty() ? 0 : std::numeric_limits<qsizetype>::max()));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            emit closeRequested();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
