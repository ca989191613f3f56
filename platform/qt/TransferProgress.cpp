#include "TransferProgress.h"

#include "DataSize.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The moving block is this part of the bar and goes across it in this many steps.
constexpr double blockShare = 0.3;
constexpr int stepsAcross = 10;

} // namespace

TransferProgress::TransferProgress(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TransferProgress::setProgress(qint64 received, qint64 total)
{
    m_received = received;
    m_total = total;
    ++m_step;
    update();
}

QString TransferProgress::text() const
{
    return m_total > 0 ? DataSize::partOf(m_received, m_total) : DataSize::text(m_received);
}

QSize TransferProgress::sizeHint() const
{
    // Room for the widest text the bar will show, "999.9 of 999.9 MB".
    const int textWidth = fontMetrics().horizontalAdvance(QStringLiteral("999.9 of 999.9 MB"));
    return {textWidth + fontMetrics().averageCharWidth() * 2, fontMetrics().height()};
}

void TransferProgress::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF track = QRectF(rect()).adjusted(0.5, 1.5, -0.5, -1.5);
    const qreal radius = std::min<qreal>(3.0, track.height() / 2);
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.fillPath(trackPath, pal.color(QPalette::Base));

    QRectF filled = track;
    if (m_total > 0) {
        filled.setWidth(track.width() * std::clamp(double(m_received) / double(m_total), 0.0, 1.0));
    } else {
        // Back and forth across the bar, one step per report.
        const int period = 2 * stepsAcross;
        const int position = m_step % period < stepsAcross ? m_step % period : period - m_step % period;
        const qreal block = track.width() * blockShare;
        filled = QRectF(track.left() + (track.width() - block) * position / stepsAcross, track.top(), block, track.height());
    }
    painter.save();
    painter.setClipPath(trackPath);
    painter.fillRect(filled, pal.color(QPalette::Highlight));
    painter.restore();
    painter.setPen(QPen(pal.color(QPalette::Mid), 1.0));
    painter.drawPath(trackPath);

    // The text reads on the track and on the filled part alike.
    const QString shown = text();
    painter.setPen(pal.color(QPalette::Text));
    painter.drawText(track, Qt::AlignCenter, shown);
    painter.setClipRect(filled);
    painter.setPen(pal.color(QPalette::HighlightedText));
    painter.drawText(track, Qt::AlignCenter, shown);
}
