#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The session's history of fetched documents, for Back, Forward and Reload: kept in
// memory only, gone when the program ends.
//
// A fetch goes through three calls: begin() when it starts, then commit() once the
// document is in, or abandon() when it failed. A failed fetch leaves the history as
// it was. Every completed new fetch adds an entry after the current one and drops
// those ahead of it, as browsers do; a new fetch of the current entry's own address
// replaces that entry instead, as browsers do, so pressing Connect twice does not
// make Back show the same page again.
class History
{
public:
    enum class Step { New, Back, Forward, Reload };

    // Where the reader was in a document. The history only keeps it; the view says
    // what the numbers mean, and clamps them when the document came back changed.
    struct Place
    {
        qsizetype caret = 0;
        qsizetype topLine = 0;
        bool operator==(const Place &) const = default;
    };

    // More entries than anyone goes back through; the oldest are dropped.
    static constexpr qsizetype maxEntries = 50;

    // Whether the step has an entry to go to, and no fetch is under way. New can
    // always be taken when nothing is under way.
    bool canTake(Step step) const;
    // The address that Back, Forward or Reload fetches; empty when there is none.
    QString addressFor(Step step) const;

    // A fetch starts. False, and nothing changes, while another is under way or when
    // the step has no entry to go to.
    bool begin(Step step);
    // The fetch begun is complete. address: where the document came from, after
    // redirects. leaving: where the reader was in the document being replaced, kept
    // with its entry. Gives the place to restore for Back, Forward and Reload, nothing
    // for a new document.
    std::optional<Place> commit(const QString &address, Place leaving);
    // The fetch begun failed or was given up.
    void abandon();

    bool underWay() const { return m_pending.has_value(); }
    qsizetype count() const { return m_entries.size(); }
    // -1 before the first fetch.
    qsizetype currentIndex() const { return m_current; }
    QString currentAddress() const;
    // Every entry's address, oldest first.
    QStringList addresses() const;

private:
    struct Entry
    {
        QString address;
        Place place;
    };

    qsizetype targetIndex(Step step) const;

    QList<Entry> m_entries;
    qsizetype m_current = -1;
    std::optional<Step> m_pending;
};
