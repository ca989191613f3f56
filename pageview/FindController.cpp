#include "FindController.h"

#include "FindBar.h"
#include "SourceView.h"

#include <QLocale>

namespace {

// Matches marked on screen at most; a screen holds far fewer.
constexpr int markedMatchLimit = 10000;

} // namespace

FindController::FindController(SourceView *view, FindBar *bar)
    : QObject(view)
    , m_view(view)
    , m_bar(bar)
{
    connect(&m_session, &FindSession::found, this, &FindController::showMatch);
    connect(&m_session, &FindSession::notFound, this, &FindController::showNotFound);
    connect(&m_session, &FindSession::countAdvanced, this, &FindController::updateStatus);
    connect(m_bar, &FindBar::textEdited, this, &FindController::searchAgain);
    connect(m_bar, &FindBar::matchCaseToggled, this, &FindController::searchAgain);
    connect(m_bar, &FindBar::nextRequested, this, &FindController::findNext);
    connect(m_bar, &FindBar::previousRequested, this, &FindController::findPrevious);
}

void FindController::setDocument(const QString &document)
{
    m_session.setDocument(document);
    m_matchStart = -1;
    m_caret = -1;
    m_failed = false;
    updateStatus();
}

void FindController::open()
{
    const QString selected = m_view->selectedText();
    if (!selected.isEmpty() && !selected.contains(u'\n') && !selected.contains(u'\r')) {
        m_bar->setText(selected);
        m_session.setSearch(TextSearch(selected, m_bar->matchCase() ? Qt::CaseSensitive : Qt::CaseInsensitive));
        m_matchStart = std::min(m_view->anchor(), m_view->cursorPosition());
        m_matchLength = selected.size();
        m_matchWrapped = false;
        m_failed = false;
        m_caret = -1;
    }
    updateStatus();
}

void FindController::searchAgain()
{
    m_session.setSearch(TextSearch(m_bar->text(), m_bar->matchCase() ? Qt::CaseSensitive : Qt::CaseInsensitive));
    // As the text grows, the search starts again from where it began.
    m_matchStart = -1;
    start(false);
}

void FindController::findNext()
{
    if (m_session.search().isEmpty()) {
        m_view->openFind();
        return;
    }
    start(false);
}

void FindController::findPrevious()
{
    if (m_session.search().isEmpty()) {
        m_view->openFind();
        return;
    }
    start(true);
}

bool FindController::onMatch(qsizetype anchor, qsizetype cursor) const
{
    return m_matchStart >= 0 && std::min(anchor, cursor) == m_matchStart && std::abs(cursor - anchor) == m_matchLength;
}

void FindController::start(bool backwards)
{
    m_failed = false;
    m_backwards = backwards;
    if (m_session.search().isEmpty()) {
        m_matchStart = -1;
        updateStatus();
        m_view->viewport()->update();
        return;
    }
    // Typing searches from the caret; the next match is after the current one, the
    // previous one before it. A caret moved away from the match since is where the
    // search goes on from.
    const qsizetype anchor = m_view->anchor();
    const qsizetype cursor = m_view->cursorPosition();
    qsizetype from = std::min(anchor, cursor);
    if (onMatch(anchor, cursor))
        from = backwards ? m_matchStart : m_matchStart + std::max<qsizetype>(m_matchLength, 1);
    m_session.find(from, backwards);
}

void FindController::showMatch(qsizetype start, qsizetype length, bool wrapped)
{
    m_matchStart = start;
    m_matchLength = length;
    m_matchWrapped = wrapped;
    m_failed = false;
    m_caret = -1;
    m_view->showMatch(start, start + length);
    updateStatus();
}

void FindController::showNotFound()
{
    m_matchStart = -1;
    m_failed = true;
    updateStatus();
    m_view->viewport()->update();
}

void FindController::selectionMoved(qsizetype anchor, qsizetype cursor)
{
    if (m_session.search().isEmpty() || m_failed || onMatch(anchor, cursor))
        return;
    m_matchStart = -1;
    m_caret = cursor;
    updateStatus();
}

void FindController::updateStatus()
{
    const QLocale locale;
    QString status;
    const qsizetype total = m_session.total();
    const QString totalText = total < 0 ? QStringLiteral("…") : locale.toString(total);
    if (m_session.search().isEmpty()) {
        status.clear();
    } else if (m_failed || total == 0) {
        status = QStringLiteral("No results");
    } else if (m_matchStart >= 0) {
        const qsizetype ordinal = m_session.ordinalAt(m_matchStart);
        status = QStringLiteral("%1 of %2").arg(ordinal < 0 ? QStringLiteral("…") : locale.toString(ordinal), totalText);
        // The search went round an end of the document to get here.
        if (m_matchWrapped)
            status += m_backwards ? QStringLiteral(", from the end") : QStringLiteral(", from the start");
    } else if (m_caret >= 0) {
        // The caret left the match: the count says which matches lie before it.
        const qsizetype ordinal = m_session.ordinalAt(m_caret);
        if (ordinal < 0)
            status = QStringLiteral("… of %1").arg(totalText);
        else if (ordinal == 1)
            status = QStringLiteral("before 1 of %1").arg(totalText);
        else
            status = QStringLiteral("after %1 of %2").arg(locale.toString(ordinal - 1), totalText);
    } else {
        status = QStringLiteral("%1 matches").arg(totalText);
    }
    m_bar->setStatus(status);
}

QList<qsizetype> FindController::matchesIn(const QString &document, qsizetype from, qsizetype to) const
{
    QList<qsizetype> matches;
    const TextSearch &search = m_session.search();
    if (!m_bar->isVisible() || search.isEmpty())
        return matches;
    for (qsizetype at = search.findNext(document, std::max<qsizetype>(0, from - search.length() + 1), to);
         at >= 0 && matches.size() < markedMatchLimit; at = search.findNext(document, at + search.length(), to)) {
        matches.append(at);
    }
    return matches;
}
