#include "FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

FindBar::FindBar(QWidget *parent)
    : QFrame(parent)
    , m_field(new QLineEdit(this))
    , m_matchCase(new QToolButton(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setCursor(Qt::ArrowCursor);

    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(QStringLiteral("Find"));
    m_field->setAccessibleName(QStringLiteral("Find"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(m_field->fontMetrics().averageCharWidth() * 18);
    m_field->installEventFilter(this);

    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_matchCase->setText(QStringLiteral("Aa"));
    m_matchCase->setCheckable(true);
    m_matchCase->setAutoRaise(true);
    m_matchCase->setToolTip(QStringLiteral("Match case"));
    m_matchCase->setAccessibleName(QStringLiteral("Match case"));
    m_matchCase->setFocusPolicy(Qt::NoFocus);

    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(QStringLiteral("888 of 8,888,888")));

    const auto button = [this](const QString &name, Qt::ArrowType arrow, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setArrowType(arrow);
        b->setAutoRaise(true);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    QToolButton *previous = button(QStringLiteral("findPrevious"), Qt::UpArrow, QStringLiteral("Previous match (Shift+F3)"));
    QToolButton *next = button(QStringLiteral("findNext"), Qt::DownArrow, QStringLiteral("Next match (F3)"));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("findClose"));
    close->setText(QStringLiteral("\u00D7"));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close (Escape)"));
    close->setAccessibleName(QStringLiteral("Close"));
    close->setFocusPolicy(Qt::NoFocus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_field);
    layout->addWidget(m_matchCase);
    layout->addWidget(m_status);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(close);

    connect(m_field, &QLineEdit::textEdited, this, &FindBar::textEdited);
    connect(m_matchCase, &QToolButton::toggled, this, &FindBar::matchCaseToggled);
    connect(previous, &QToolButton::clicked, this, &FindBar::previousRequested);
    connect(next, &QToolButton::clicked, this, &FindBar::nextRequested);
    connect(close, &QToolButton::clicked, this, &FindBar::closeRequested);
    setFocusProxy(m_field);
}

QString FindBar::text() const
{
    return m_field->text();
}

void FindBar::setText(const QString &text)
{
    m_field->setText(text);
}

bool FindBar::matchCase() const
{
    return m_matchCase->isChecked();
}

void FindBar::focusField()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::setStatus(const QString &status)
{
    m_status->setText(status);
}

QString FindBar::status() const
{
    return m_status->text();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit shift ? previousRequested() : nextRequested();
            return true;
        case Qt::Key_Escape:
            emit closeRequested();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}
