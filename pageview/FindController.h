#pragma once

#include "FindSession.h"

#include <QList>
#include <QObject>

class FindBar;
class SourceView;

// The find field's work: what is searched for, the current match, and the field's
// count ("3 of 120", "No results"), which follows the caret when the user moves it
// off the match. The view shows the match it is handed and marks the matches on
// screen it asks for.
class FindController : public QObject
{
    Q_OBJECT

public:
    FindController(SourceView *view, FindBar *bar);

    // A new document: the count starts again and there is no current match.
    void setDocument(const QString &document);
    // Opens the field; a selection on one line is what to look for.
    void open();
    void findNext();
    void findPrevious();
    // The caret or the selection moved; the count says where it now stands.
    void selectionMoved(qsizetype anchor, qsizetype cursor);

    // The matches that start in [from, to), for marking; none while the field is closed.
    QList<qsizetype> matchesIn(const QString &document, qsizetype from, qsizetype to) const;
    qsizetype matchLength() const { return m_session.search().length(); }

private:
    void searchAgain();
    void start(bool backwards);
    void showMatch(qsizetype start, qsizetype length, bool wrapped);
    void showNotFound();
    void updateStatus();
    bool onMatch(qsizetype anchor, qsizetype cursor) const;

    SourceView *m_view;
    FindBar *m_bar;
    FindSession m_session;
    // The current match, and how the last search went round the ends.
    qsizetype m_matchStart = -1;
    qsizetype m_matchLength = 0;
    bool m_matchWrapped = false;
    bool m_backwards = false;
    bool m_failed = false;
    // Where the caret stands when it has left the match: matches before it are counted.
    qsizetype m_caret = -1;
};
