#pragma once

#include <QFrame>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

// The find field: a strip along the view's top, above the text, so that it never
// hides a match. It holds what to look for, a "Match case" toggle ("Aa"), where the
// current match stands ("3 of 120", "No results") and buttons for the previous and
// next match. Enter and F3 go to the next match, Shift with them to the previous one,
// Escape closes the field. Tab and Shift+Tab go round the field's own controls, and
// Space toggles "Aa" when it has the focus. Where the strip is narrow, the count goes
// to a row of its own below the field, so that nothing is cut off.
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
    // Lays the strip out for width: on one row when everything fits, else two.
    void fitWidth(int width);
    bool isCompact() const { return m_compact; }

signals:
    void textEdited(const QString &text);
    void matchCaseToggled(bool on);
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent *event) override;

private:
    void fitFont();
    int oneRowWidth() const;

    QLineEdit *m_field;
    QToolButton *m_matchCase;
    QLabel *m_status;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_close;
    QHBoxLayout *m_firstRow;
    QVBoxLayout *m_rows;
    bool m_compact = false;
};
