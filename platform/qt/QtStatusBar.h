#pragma once

#include "StatusBar.h"

#include <QFrame>
#include <QList>

class QLabel;

// A status bar in simple style: it shows one line of simple text. Its panels are kept
// but not displayed, as the simple style has it.
class QtStatusBar : public QFrame, public StatusBar
{
    Q_OBJECT

public:
    explicit QtStatusBar(QWidget *parent = nullptr);

    void setSimpleText(const QString &text) override;
    QString simpleText() const override;
    bool setPanelText(const QString &key, const QString &text) override;

    void addPanel(const QString &key, const QString &text);
    QString panelText(const QString &key) const;

signals:
    void simpleTextChanged(const QString &text);

private:
    struct Panel
    {
        QString key;
        QString text;
    };

    QLabel *m_simple;
    QList<Panel> m_panels;
};
