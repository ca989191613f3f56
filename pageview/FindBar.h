#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QToolButton;

// The find field: at the view's top right, over the text, as editors have it. It holds
// what to look for, a "Match case" toggle, where the current match stands ("3 of
// 120", "No results") and buttons for the next and previous match. Enter and F3 go
// to the next match, Shift with them to the previous one, Escape closes the field.
class FindBar : public QFrame
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    bool matchCase() const;
    // Puts the focus in the field with its text selected, to be typed over.
    void focusField();
    void setStatus(const QString &status);
    QString status() const;

signals:
    void textEdited(const QString &text);
    void matchCaseToggled(bool on);
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_field;
    QToolButton *m_matchCase;
    QLabel *m_status;
};
