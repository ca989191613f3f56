#pragma once

#include "PageView.h"

#include <QPlainTextEdit>

// The page view on a read-only QPlainTextEdit. The document string is kept apart from
// the widget's copy, because the widget normalises line ends and some characters.
class QtPageView : public QPlainTextEdit, public PageView
{
    Q_OBJECT

public:
    explicit QtPageView(QWidget *parent = nullptr);

    void setTextRTF(const QString &text) override;
    void setText(const QString &text) override;
    QString text() const override;
    QString saveFile(const QString &path, int format) override;
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;

signals:
    // Button: 1 left, 2 right, 4 middle. Shift: 1 Shift, 2 Ctrl, 4 Alt. X, Y in twips.
    void mouseDown(int button, int shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showDocument(const QString &text);

    QString m_document;
};
