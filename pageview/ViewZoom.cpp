#include "ViewZoom.h"

#include "SourceView.h"

#include <QFontDatabase>
#include <QShortcut>
#include <QWheelEvent>

#include <algorithm>
#include <array>

namespace {

// The zoom steps, as browsers have them.
constexpr std::array zoomSteps = {50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};

} // namespace

ViewZoom::ViewZoom(SourceView &view)
    : QObject(&view)
    , m_view(view)
    , m_basePointSize(QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSizeF())
{
    // The keys work wherever the focus is in the window, as the view's others do.
    const auto key = [this](const QKeySequence &sequence, auto slot) {
        auto *shortcut = new QShortcut(sequence, &m_view);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), &ViewZoom::zoomIn);
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), &ViewZoom::zoomIn);
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), &ViewZoom::zoomOut);
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setPercent(100); });
}

void ViewZoom::setPercent(int percent)
{
    percent = std::clamp(percent, SourceView::minimumZoom, SourceView::maximumZoom);
    if (percent == m_percent)
        return;
    m_percent = percent;
    QFont zoomed = m_view.font();
    zoomed.setPointSizeF(m_basePointSize * percent / 100.0);
    m_view.setFont(zoomed);
}

void ViewZoom::zoomIn()
{
    const auto next = std::upper_bound(zoomSteps.begin(), zoomSteps.end(), m_percent);
    setPercent(next != zoomSteps.end() ? *next : m_percent);
}

void ViewZoom::zoomOut()
{
    const auto at = std::lower_bound(zoomSteps.begin(), zoomSteps.end(), m_percent);
    setPercent(at != zoomSteps.begin() ? *std::prev(at) : m_percent);
}

bool ViewZoom::wheel(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier))
        return false;
    // One zoom step a notch of the wheel.
    const int notches = event->angleDelta().y() / 120;
    for (int i = 0; i < std::abs(notches); ++i)
        notches > 0 ? zoomIn() : zoomOut();
    event->accept();
    return true;
}
