#include "FindBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The longest count the field makes room for on one row.
const QString widestStatus = QStringLiteral("8,888 of 8,888, from the start");

QToolButton *makeButton(QWidget *parent, const QString &name, const QString &tip, const QString &accessibleName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setAccessibleName(accessibleName);
    // Reached with Tab from the field; a click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

FindBar::FindBar(QWidget *parent)
    : QFrame(parent)
    , m_field(new QLineEdit(this))
    , m_matchCase(makeButton(this, QStringLiteral("matchCase"), QStringLiteral("Match case"), QStringLiteral("Match case")))
    , m_status(new QLabel(this))
    , m_previous(makeButton(this, QStringLiteral("findPrevious"), QStringLiteral("Previous match (Shift+F3)"),
                            QStringLiteral("Previous match")))
    , m_next(makeButton(this, QStringLiteral("findNext"), QStringLiteral("Next match (F3)"), QStringLiteral("Next match")))
    , m_close(makeButton(this, QStringLiteral("findClose"), QStringLiteral("Close (Escape)"), QStringLiteral("Close")))
    , m_firstRow(new QHBoxLayout)
    , m_rows(new QVBoxLayout(this))
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
    m_matchCase->setText(QStringLiteral("Aa"));
    m_matchCase->setCheckable(true);
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_previous->setArrowType(Qt::UpArrow);
    m_next->setArrowType(Qt::DownArrow);
    m_close->setText(QStringLiteral("\u00D7"));
    for (QWidget *control : {static_cast<QWidget *>(m_field), static_cast<QWidget *>(m_matchCase),
                             static_cast<QWidget *>(m_previous), static_cast<QWidget *>(m_next), static_cast<QWidget *>(m_close)}) {
        control->installEventFilter(this);
    }

    m_rows->setContentsMargins(4, 2, 2, 2);
    m_rows->setSpacing(2);
    m_firstRow->setSpacing(2);
    m_firstRow->addWidget(m_field, 1);
    m_firstRow->addWidget(m_matchCase);
    m_firstRow->addWidget(m_status);
    m_firstRow->addWidget(m_previous);
    m_firstRow->addWidget(m_next);
    m_firstRow->addWidget(m_close);
    m_rows->addLayout(m_firstRow);

    // The field's own font, whatever the view's zoom: the window's, until told otherwise.
    QFont font = QApplication::font(this);
    font.setResolveMask(QFont::AllPropertiesResolved);
    setFont(font);
    fitFont();

    connect(m_field, &QLineEdit::textEdited, this, &FindBar::textEdited);
    connect(m_matchCase, &QToolButton::toggled, this, &FindBar::matchCaseToggled);
    connect(m_previous, &QToolButton::clicked, this, &FindBar::previousRequested);
    connect(m_next, &QToolButton::clicked, this, &FindBar::nextRequested);
    connect(m_close, &QToolButton::clicked, this, &FindBar::closeRequested);
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

void FindBar::fitFont()
{
    m_field->setMinimumWidth(m_field->fontMetrics().averageCharWidth() * 6);
    if (!m_compact)
        m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(widestStatus));
}

int FindBar::oneRowWidth() const
{
    const QMargins margins = m_rows->contentsMargins();
    int width = margins.left() + margins.right() + 2 * frameWidth() + 5 * m_firstRow->spacing();
    width += m_field->fontMetrics().averageCharWidth() * 18;
    width += m_status->fontMetrics().horizontalAdvance(widestStatus);
    for (const QToolButton *button : {m_matchCase, m_previous, m_next, m_close})
        width += button->sizeHint().width();
    return width;
}

void FindBar::fitWidth(int width)
{
    const bool compact = width < oneRowWidth();
    if (compact == m_compact)
        return;
    m_compact = compact;
    if (compact) {
        // The count on a row of its own, as wide as the strip.
        m_firstRow->removeWidget(m_status);
        m_status->setMinimumWidth(0);
        m_rows->addWidget(m_status);
    } else {
        m_rows->removeWidget(m_status);
        m_firstRow->insertWidget(2, m_status);
        fitFont();
    }
    m_rows->activate();
}

void FindBar::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitFont();
}

bool FindBar::focusNextPrevChild(bool next)
{
    // While the field has the focus, Tab goes round its own controls.
    const QList<QWidget *> controls{m_field, m_matchCase, m_previous, m_next, m_close};
    const qsizetype at = controls.indexOf(focusWidget());
    if (at < 0)
        return QFrame::focusNextPrevChild(next);
    const qsizetype count = controls.size();
    controls[(at + (next ? 1 : count - 1)) % count]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // On a button, Enter does what the button does; elsewhere it finds on.
            if (watched == m_previous || watched == m_next || watched == m_close) {
                static_cast<QToolButton *>(watched)->click();
                return true;
            }
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
