#pragma once

#include <QObject>
#include <QRect>

class FindBar;
class FindController;
class GoToLineBar;
class QFont;
class SourceView;

// The find and go-to-line fields of a view: one of them open at a time, as a strip
// along the view's top that the text starts below. They keep the window's font
// whatever the view's zoom. Go to line waits for a huge page's count to reach a line
// instead of counting the page through at once.
class ViewFields : public QObject
{
    Q_OBJECT

public:
    explicit ViewFields(SourceView *view);

    FindBar *findBar() const { return m_findBar; }
    GoToLineBar *goToLineBar() const { return m_goToLineBar; }
    FindController *find() const { return m_find; }

    void setFont(const QFont &font);
    bool isOpen() const;
    // Lays out the open field along the top of inside, beside the vertical scroll bar;
    // returns the height it takes.
    int place(const QRect &inside);

    void openFind();
    void openGoToLine();
    void close();
    // A new document: a line waited for in the old one is not gone to.
    void documentReplaced() { m_pendingLine = 0; }
    // The view counted more of its lines; a line waited for is gone to once counted.
    void linesCounted(qsizetype lines, bool complete);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lineRequested(qsizetype line);

    SourceView *m_view;
    FindBar *m_findBar;
    GoToLineBar *m_goToLineBar;
    FindController *m_find;
    // A line asked for past those counted so far.
    qsizetype m_pendingLine = 0;
    qsizetype m_lines = 1;
    bool m_complete = true;
};
