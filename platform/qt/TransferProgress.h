#pragma once

#include <QWidget>

// A slim bar that shows how much of a transfer's body has arrived: filled against the
// length the server declared ("3.2 of 12.0 MB"), or, when it declared none, a block
// that moves on with each report, beside the bytes so far ("3.2 MB").
class TransferProgress : public QWidget
{
    Q_OBJECT

public:
    explicit TransferProgress(QWidget *parent = nullptr);

    void setProgress(qint64 received, qint64 total);
    QString text() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_step = 0; // where the moving block is, when the length is unknown
};
