#pragma once

#include <QFrame>

class QLineEdit;

// The go-to-line field, where the find field would be: digits only; Enter goes to the
// line, Escape closes the field.
class GoToLineBar : public QFrame
{
    Q_OBJECT

public:
    explicit GoToLineBar(QWidget *parent = nullptr);

    void focusField();
    QLineEdit *field() const { return m_field; }

signals:
    // A line number, counted from 1; 0 when the field was empty.
    void lineRequested(qsizetype line);
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_field;
};
