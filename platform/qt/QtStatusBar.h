#pragma once

#include "StatusBar.h"

#include <QFrame>
#include <QList>
#include <QTimer>

class QLabel;
class TransferProgress;

// A status bar in simple style: it shows one line of simple text. Its panels are kept
// but not displayed, as the simple style has it. Resting the pointer on it shows the
// details of the document in the view; during a long transfer a slim bar at its right
// end shows how much of the body has arrived.
class QtStatusBar : public QFrame, public StatusBar
{
    Q_OBJECT

public:
    explicit QtStatusBar(QWidget *parent = nullptr);

    void setSimpleText(const QString &text) override;
    QString simpleText() const override;
    bool setPanelText(const QString &key, const QString &text) override;
    void setDetails(const QString &details) override;

    void addPanel(const QString &key, const QString &text);
    QString panelText(const QString &key) const;

    // The transfer's progress: shown only once it has run for a while.
    void beginTransfer();
    void showProgress(qint64 received, qint64 total);
    void endTransfer();
    TransferProgress *progressBar() const { return m_progress; }

signals:
    void simpleTextChanged(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeProgress();

    struct Panel
    {
        QString key;
        QString text;
    };

    QLabel *m_simple;
    QList<Panel> m_panels;
    TransferProgress *m_progress;
    QTimer m_progressDelay;
    bool m_transferring = false;
    bool m_progressWanted = false;
};
