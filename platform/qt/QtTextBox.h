#pragma once

#include "TextBox.h"

#include <QLineEdit>

// The address box.
class QtTextBox : public QLineEdit, public TextBox
{
    Q_OBJECT

public:
    explicit QtTextBox(QWidget *parent = nullptr);
    QString text() const override { return QLineEdit::text(); }
    void setText(const QString &text) override { QLineEdit::setText(text); }
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;
};
