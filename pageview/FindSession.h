#pragma once

#include "BackgroundScan.h"
#include "TextSearch.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

// One search in the document: finding the next or the previous match from a place,
// wrapping around at the ends, and counting every match, so that the find field can
// say "3 of 120". Nothing here blocks the window for long: a search goes on in slices
// from the window's loop, and the count runs on a thread of its own.
class FindSession : public QObject
{
    Q_OBJECT

public:
    explicit FindSession(QObject *parent = nullptr);

    // The document searched; a new one counts again.
    void setDocument(const QString &document);
    // What to look for; the count starts over.
    void setSearch(const TextSearch &search);
    const TextSearch &search() const { return m_search; }

    // Looks for the first match at or after from (backwards: the last one that ends at
    // or before from), going round the document once. Answers with found or notFound.
    void find(qsizetype from, bool backwards);
    bool isFinding() const { return m_stepping.isActive(); }

    // How many matches there are, once counted; -1 until then.
    qsizetype total() const;
    // Which match the one at offset is (1 for the first), once the count has passed
    // it; -1 until then.
    qsizetype ordinalAt(qsizetype offset);

signals:
    // A match at [start, start + length); wrapped: the search went round an end.
    void found(qsizetype start, qsizetype length, bool wrapped);
    void notFound();
    // The count went on.
    void countAdvanced();

private:
    void step();
    // Searches up to budget characters on; returns how many it went through.
    qsizetype searchSome(qsizetype budget);
    void startCount();

    QString m_document;
    TextSearch m_search;
    // A find in progress: where it looks next, where it started, which way.
    QTimer m_stepping;
    qsizetype m_origin = 0;
    qsizetype m_position = 0;
    bool m_backwards = false;
    bool m_wrapped = false;
    bool m_finished = true;
    // The count: matches starting in each block, and where counting in the block began
    // (after a match that ran on from the block before).
    std::vector<qsizetype> m_blockMatches;
    std::vector<qsizetype> m_blockFrom;
    qsizetype m_carry = 0; // the count's thread only
    // Last, so that it is destroyed first: its thread writes to what is above.
    BackgroundScan m_count;
};
