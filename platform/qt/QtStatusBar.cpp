#include "QtStatusBar.h"

#include "TransferProgress.h"
#include "WindowFont.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QTextDocument>

namespace {

// A screen reader knows the bar by its role and reads its text as its name.
QAccessibleInterface *statusBarAccessible(const QString &, QObject *object)
{
    if (auto *bar = qobject_cast<QtStatusBar *>(object))
        return new QAccessibleWidget(bar, QAccessible::StatusBar);
    return nullptr;
}

// A quick fetch shows no progress at all: the bar appears only after this long.
constexpr int progressDelayMs = 500;
constexpr int textMargin = 3;

} // namespace

QtStatusBar::QtStatusBar(QWidget *parent)
    : QFrame(parent)
    , m_simple(new QLabel(this))
    , m_progress(new TransferProgress(this))
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setFont(windowFont());
    static const bool accessible = [] {
        QAccessible::installFactory(statusBarAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    m_simple->setTextFormat(Qt::PlainText);
    m_progress->hide();
    m_progressDelay.setSingleShot(true);
    m_progressDelay.setInterval(progressDelayMs);
    connect(&m_progressDelay, &QTimer::timeout, this, [this] {
        m_progressWanted = true;
        placeProgress();
    });
}

void QtStatusBar::setSimpleText(const QString &text)
{
    m_simple->setText(text);
    // Its name changing is what a screen reader announces.
    setAccessibleName(text);
    placeProgress();
    emit simpleTextChanged(text);
}

QString QtStatusBar::simpleText() const
{
    return m_simple->text();
}

bool QtStatusBar::setPanelText(const QString &key, const QString &text)
{
    for (Panel &panel : m_panels) {
        if (panel.key == key) {
            panel.text = text;
            return true;
        }
    }
    return false;
}

void QtStatusBar::setDetails(const QString &details)
{
    // Qt shows a tooltip as rich text when its first line looks like markup, and the
    // details hold the server's words: handed over as the rich text that says exactly
    // them, they are never read as markup. No details, no tooltip.
    setToolTip(details.isEmpty() ? QString() : Qt::convertFromPlainText(details, Qt::WhiteSpacePre));
    setAccessibleDescription(details);
}

void QtStatusBar::addPanel(const QString &key, const QString &text)
{
    m_panels.append({key, text});
}

QString QtStatusBar::panelText(const QString &key) const
{
    for (const Panel &panel : m_panels) {
        if (panel.key == key)
            return panel.text;
    }
    return {};
}

void QtStatusBar::beginTransfer()
{
    m_transferring = true;
    m_progressWanted = false;
    m_progress->setProgress(0, -1);
    m_progressDelay.start();
}

void QtStatusBar::showProgress(qint64 received, qint64 total)
{
    if (m_transferring)
        m_progress->setProgress(received, total);
}

void QtStatusBar::endTransfer()
{
    m_transferring = false;
    m_progressWanted = false;
    m_progressDelay.stop();
    m_progress->hide();
}

void QtStatusBar::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeProgress();
}

void QtStatusBar::placeProgress()
{
    const QRect inside = contentsRect().adjusted(textMargin, 0, -textMargin, 0);
    const int textWidth = m_simple->fontMetrics().horizontalAdvance(m_simple->text());
    m_simple->setGeometry(inside);
    if (!m_progressWanted)
        return;
    // The bar takes the room the status text leaves and never covers it; where there
    // is too little, it stays hidden.
    const int gap = fontMetrics().averageCharWidth() * 2;
    const int room = inside.width() - textWidth - gap;
    const int width = std::min(m_progress->sizeHint().width(), room);
    if (width < m_progress->sizeHint().width() / 2) {
        m_progress->hide();
        return;
    }
    const int height = std::min(inside.height(), m_progress->sizeHint().height());
    m_progress->setGeometry(inside.right() + 1 - width, inside.top() + (inside.height() - height) / 2, width, height);
    m_progress->show();
}
