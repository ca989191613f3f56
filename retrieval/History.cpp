#include "History.h"

// The entry a step goes to, or -1 when there is none.
qsizetype History::targetIndex(Step step) const
{
    switch (step) {
    case Step::New:
        return -1;
    case Step::Back:
        return m_current > 0 ? m_current - 1 : -1;
    case Step::Forward:
        return m_current >= 0 && m_current + 1 < m_entries.size() ? m_current + 1 : -1;
    case Step::Reload:
        return m_current;
    }
    return -1;
}

bool History::canTake(Step step) const
{
    if (underWay())
        return false;
    return step == Step::New || targetIndex(step) >= 0;
}

QString History::addressFor(Step step) const
{
    const qsizetype target = targetIndex(step);
    return target >= 0 ? m_entries.at(target).address : QString();
}

QString History::currentAddress() const
{
    return m_current >= 0 ? m_entries.at(m_current).address : QString();
}

QStringList History::addresses() const
{
    QStringList out;
    out.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        out.append(entry.address);
    return out;
}

bool History::begin(Step step)
{
    if (!canTake(step))
        return false;
    m_pending = step;
    return true;
}

std::optional<History::Place> History::commit(const QString &address, Place leaving)
{
    if (!m_pending)
        return std::nullopt;
    const Step step = *m_pending;
    m_pending.reset();
    if (m_current >= 0)
        m_entries[m_current].place = leaving;

    if (step != Step::New) {
        m_current = targetIndex(step);
        Entry &entry = m_entries[m_current];
        // A redirect may have taken the fetch elsewhere this time.
        entry.address = address;
        return entry.place;
    }

    if (m_current >= 0 && m_entries.at(m_current).address == address)
        return std::nullopt;
    m_entries.resize(m_current + 1);
    m_entries.append({address, Place()});
    if (m_entries.size() > maxEntries)
        m_entries.removeFirst();
    m_current = m_entries.size() - 1;
    return std::nullopt;
}

void History::abandon()
{
    m_pending.reset();
}
