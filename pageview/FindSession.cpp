#include "FindSession.h"

namespace {

// A slice of searching between two turns of the window's loop: a few milliseconds.
constexpr qsizetype sliceLength = 4 * 1024 * 1024;
constexpr qsizetype countBlock = 1024 * 1024;

} // namespace

FindSession::FindSession(QObject *parent)
    : QObject(parent)
{
    m_stepping.setInterval(0);
    connect(&m_stepping, &QTimer::timeout, this, &FindSession::step);
    connect(&m_count, &BackgroundScan::advanced, this, &FindSession::countAdvanced);
}

void FindSession::setDocument(const QString &document)
{
    m_stepping.stop();
    m_document = document;
    startCount();
}

void FindSession::setSearch(const TextSearch &search)
{
    m_stepping.stop();
    m_search = search;
    startCount();
}

void FindSession::startCount()
{
    m_count.stop();
    m_blockMatches.clear();
    m_blockFrom.clear();
    if (m_search.isEmpty())
        return;
    const qsizetype blocks = std::max<qsizetype>(1, (m_document.size() + countBlock - 1) / countBlock);
    m_blockMatches.assign(size_t(blocks), 0);
    m_blockFrom.assign(size_t(blocks), 0);
    m_carry = 0;
    // The thread gets a search of its own, sharing no string with the window's thread,
    // which may replace its own while the count runs.
    m_count.start(m_document, countBlock, [this, view = QStringView(m_document),
                                           search = TextSearch(m_search.needle(), m_search.caseSensitivity())](qsizetype index, qsizetype from, qsizetype to) {
        const qsizetype start = std::max(from, m_carry);
        m_blockFrom[size_t(index)] = start;
        const TextSearch::Count count = start < to ? search.countMatches(view, start, to) : TextSearch::Count{0, start};
        m_blockMatches[size_t(index)] = count.matches;
        m_carry = count.next;
    });
}

qsizetype FindSession::total() const
{
    if (m_search.isEmpty())
        return 0;
    if (!m_count.finished())
        return -1;
    qsizetype sum = 0;
    for (qsizetype matches : m_blockMatches)
        sum += matches;
    return sum;
}

qsizetype FindSession::ordinalAt(qsizetype offset)
{
    const qsizetype block = offset / countBlock;
    if (m_search.isEmpty() || block >= m_count.blocksDone())
        return -1;
    qsizetype before = 0;
    for (qsizetype i = 0; i < block; ++i)
        before += m_blockMatches[size_t(i)];
    const qsizetype from = m_blockFrom[size_t(block)];
    if (offset > from)
        before += m_search.countMatches(m_document, from, offset).matches;
    return before + 1;
}

void FindSession::find(qsizetype from, bool backwards)
{
    m_stepping.stop();
    if (m_search.isEmpty() || m_document.isEmpty()) {
        emit notFound();
        return;
    }
    m_origin = m_position = std::clamp<qsizetype>(from, 0, m_document.size());
    m_backwards = backwards;
    m_wrapped = false;
    m_finished = false;
    step();
}

void FindSession::step()
{
    // A slice's worth of searching, over as many turns round the document as it takes:
    // a small document is searched through at once.
    for (qsizetype budget = sliceLength; budget > 0 && !m_finished;)
        budget -= searchSome(budget);
    if (m_finished)
        m_stepping.stop();
    else if (!m_stepping.isActive())
        m_stepping.start();
}

qsizetype FindSession::searchSome(qsizetype budget)
{
    const QStringView view(m_document);
    const qsizetype length = m_search.length();
    qsizetype at = -1;
    qsizetype searched = 0;
    bool reachedLimit = false;
    if (!m_backwards) {
        // Forwards: [position, end), then from the start round to the origin.
        const qsizetype limit = m_wrapped ? m_origin : view.size();
        const qsizetype to = std::min(limit, m_position + budget);
        if (m_position < to)
            at = m_search.findNext(view, m_position, to);
        searched = std::max<qsizetype>(to - m_position, 1);
        m_position = to;
        reachedLimit = to >= limit;
    } else {
        // Backwards: matches that end at or before position, then from the end down.
        const qsizetype limit = m_wrapped ? m_origin - length + 1 : 0;
        const qsizetype to = m_position - length + 1;
        const qsizetype from = std::max(limit, to - budget);
        if (from < to)
            at = m_search.findPrevious(view, from, to);
        searched = std::max<qsizetype>(to - from, 1);
        m_position = from + length - 1;
        reachedLimit = from <= limit;
    }
    if (at >= 0) {
        m_finished = true;
        emit found(at, length, m_wrapped);
    } else if (reachedLimit && m_wrapped) {
        m_finished = true;
        emit notFound();
    } else if (reachedLimit) {
        m_wrapped = true;
        m_position = m_backwards ? view.size() : 0;
    }
    return searched;
}
