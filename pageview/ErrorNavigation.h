#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class QHelpEvent;
class SourceView;

// The page view's parse-error marks as a person uses them: underlined (Alt+E turns
// them off and on), explained in a tooltip where the pointer rests on one, and visited
// with F8 and Shift+F8.
class ErrorNavigation : public QObject
{
    Q_OBJECT

public:
    explicit ErrorNavigation(SourceView &view);

    void setShown(bool shown);
    void next();
    void previous();
    // The page's parse errors once it is read through; -1 before, and for a page that
    // is not HTML.
    qsizetype count() const;
    // What the mark under a point of the viewport says; empty where there is none.
    QString tipAt(QPoint viewportPos) const;
    // The viewport's tooltip event: the mark's words, or no tooltip.
    bool showTip(QHelpEvent *event) const;

private:
    SourceView &m_view;
};
