#include "GoToLineBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

GoToLineBar::GoToLineBar(QWidget *parent)
    : QFrame(parent)
    , m_field(new QLineEdit(this))
    , m_hint(new QLabel(this))
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
    // Digits only; a number of any length is taken, and refused when past the end.
    m_field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_field));
    m_field->installEventFilter(this);
    m_hint->setObjectName(QStringLiteral("goToLineHint"));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);
    m_hint->hide();

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 2, 2, 2);
    rows->setSpacing(2);
    auto *firstRow = new QHBoxLayout;
    firstRow->setSpacing(4);
    firstRow->addWidget(label);
    firstRow->addWidget(m_field, 1);
    rows->addLayout(firstRow);
    rows->addWidget(m_hint);
    setFocusProxy(m_field);

    // The field's own font, whatever the view's zoom: the window's, until told otherwise.
    QFont font = QApplication::font(this);
    font.setResolveMask(QFont::AllPropertiesResolved);
    setFont(font);
    setRange(1, true);
}

void GoToLineBar::focusField()
{
    setHint(QString());
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

QString GoToLineBar::range() const
{
    const QString range = QStringLiteral("1–%1").arg(QLocale().toString(m_lines));
    return m_complete ? range : range + QStringLiteral("…");
}

void GoToLineBar::setRange(qsizetype lines, bool complete)
{
    m_lines = std::max<qsizetype>(lines, 1);
    m_complete = complete;
    m_field->setPlaceholderText(range());
}

void GoToLineBar::setHint(const QString &hint)
{
    m_hint->setText(hint);
    m_hint->setVisible(!hint.isEmpty());
}

QString GoToLineBar::hint() const
{
    return m_hint->text();
}

QString GoToLineBar::outOfRange(const QString &typed) const
{
    return QStringLiteral("There is no line %1; the lines are %2.").arg(typed, range());
}

void GoToLineBar::submit()
{
    const QString typed = m_field->text();
    if (typed.isEmpty()) {
        setHint(QStringLiteral("Type a line number, %1.").arg(range()));
        return;
    }
    bool ok = false;
    const qsizetype line = typed.toLongLong(&ok);
    // More digits than a number holds is past any end.
    if (!ok || line < 1 || (m_complete && line > m_lines)) {
        setHint(outOfRange(typed));
        return;
    }
    emit lineRequested(line);
}

bool GoToLineBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            submit();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            emit closeRequested();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
