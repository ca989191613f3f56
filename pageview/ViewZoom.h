#pragma once

#include <QObject>

class QWheelEvent;
class SourceView;

// The page view's zoom: the system's fixed font scaled in the steps browsers have,
// by Ctrl++, Ctrl+-, Ctrl+0 and Ctrl with the wheel.
class ViewZoom : public QObject
{
    Q_OBJECT

public:
    explicit ViewZoom(SourceView &view);

    int percent() const { return m_percent; }
    void setPercent(int percent);
    void zoomIn();
    void zoomOut();
    // True when the wheel turned with Ctrl held and zoomed the view.
    bool wheel(QWheelEvent *event);

private:
    SourceView &m_view;
    int m_percent = 100;
    qreal m_basePointSize = 0;
};
