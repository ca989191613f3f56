#include "QtStatusBar.h"

#include "WindowFont.h"

#include <QHBoxLayout>
#include <QLabel>

QtStatusBar::QtStatusBar(QWidget *parent)
    : QFrame(parent)
    , m_simple(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setFont(windowFont());
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->addWidget(m_simple);
    m_simple->setTextFormat(Qt::PlainText);
}

void QtStatusBar::setSimpleText(const QString &text)
{
    m_simple->setText(text);
    emit simpleTextChanged(text);
}

QString QtStatusBar::simpleText() const
{
    return m_simple->text();
}

bool QtStatusBar::setPanelText(const QString &key, const QString &text)
{
    for (Panel &panel : m_panels) {
        if (panel.key == key) {
            panel.text = text;
            return true;
        }
    }
    return false;
}

void QtStatusBar::addPanel(const QString &key, const QString &text)
{
    m_panels.append({key, text});
}

QString QtStatusBar::panelText(const QString &key) const
{
    for (const Panel &panel : m_panels) {
        if (panel.key == key)
            return panel.text;
    }
    return {};
}
