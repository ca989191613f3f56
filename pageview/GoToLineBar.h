#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;

// The go-to-line field, a strip along the view's top where the find field would be:
// digits only, with the lines there are as its placeholder ("1–12,345"). Enter goes
// to the line; an empty field or a number outside the range is refused with a hint
// under the field, and the caret stays. Escape closes the field.
class GoToLineBar : public QFrame
{
    Q_OBJECT

public:
    explicit GoToLineBar(QWidget *parent = nullptr);

    void focusField();
    QLineEdit *field() const { return m_field; }
    // The lines known so far; complete is false while a huge page is still counted,
    // and a number past them is then passed on, to be waited for.
    void setRange(qsizetype lines, bool complete);
    // Why the number was not taken, or what is being waited for; empty: no hint.
    void setHint(const QString &hint);
    QString hint() const;
    // The hint for a number not in the range.
    QString outOfRange(const QString &typed) const;

signals:
    // A line number, counted from 1: in the range, or past the lines known so far.
    void lineRequested(qsizetype line);
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void submit();
    QString range() const;

    QLineEdit *m_field;
    QLabel *m_hint;
    qsizetype m_lines = 1;
    bool m_complete = true;
};
