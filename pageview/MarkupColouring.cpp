#include "MarkupColouring.h"

namespace {

// The tokenizer looks this far past a piece's end to decide what starts in it.
constexpr qsizetype lookahead = 40;
constexpr size_t recentLimit = 4096;

} // namespace

MarkupColouring::MarkupColouring(QObject *parent)
    : QObject(parent)
{
    connect(&m_scan, &BackgroundScan::advanced, this, &MarkupColouring::advanced);
}

void MarkupColouring::reset(const QString &document, std::optional<MarkupSyntax> syntax)
{
    m_scan.stop();
    m_document = document;
    m_syntax = syntax;
    m_recent.clear();
    m_checkpoints.clear();
    if (!syntax)
        return;
    // Checkpoint k + 1 is written by block k; checkpoint 0 is the document's start.
    const qsizetype blocks = std::max<qsizetype>(1, (document.size() + checkpointSpacing - 1) / checkpointSpacing);
    m_checkpoints.assign(size_t(blocks) + 1, MarkupState(*syntax));
    m_scan.start(m_document, checkpointSpacing, [this, view = QStringView(m_document)](qsizetype index, qsizetype from, qsizetype to) {
        m_checkpoints[size_t(index) + 1] = tokenizeMarkup(view.sliced(from, to - from), m_checkpoints[size_t(index)],
                                                          nullptr, view.sliced(to).first(std::min(lookahead, view.size() - to)));
    });
}

bool MarkupColouring::isReadyAt(qsizetype from) const
{
    // The checkpoint at or before from is written.
    return m_syntax && from / checkpointSpacing <= m_scan.blocksDone();
}

MarkupState MarkupColouring::stateAt(qsizetype offset)
{
    // From the nearest known state before offset: a row coloured lately, or a checkpoint.
    qsizetype from = (offset / checkpointSpacing) * checkpointSpacing;
    MarkupState state = m_checkpoints[size_t(offset / checkpointSpacing)];
    if (auto it = m_recent.upper_bound(offset); it != m_recent.begin()) {
        --it;
        if (it->first >= from) {
            from = it->first;
            state = it->second;
        }
    }
    if (from == offset)
        return state;
    const QStringView view(m_document);
    return tokenizeMarkup(view.sliced(from, offset - from), state, nullptr,
                          view.sliced(offset).first(std::min(lookahead, view.size() - offset)));
}

QList<MarkupSpan> MarkupColouring::spans(qsizetype from, qsizetype to)
{
    QList<MarkupSpan> result;
    if (!isReadyAt(from) || from >= to)
        return result;
    const QStringView view(m_document);
    const MarkupState state = stateAt(from);
    const MarkupState after = tokenizeMarkup(view.sliced(from, to - from), state, &result,
                                             view.sliced(to).first(std::min(lookahead, view.size() - to)));
    if (m_recent.size() >= recentLimit)
        m_recent.clear();
    m_recent.insert_or_assign(to, after);
    return result;
}
