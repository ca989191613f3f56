#pragma once

#include "PageView.h"

#include <QObject>
#include <QPointF>

class SourceView;

// The page view as the window's handlers see it: the source view behind the PageView
// interface, in twips, with the plain-text setter, the save format and the MouseDown
// event (button and keys as numbers, the position in twips).
class QtPageView : public QObject, public PageView
{
    Q_OBJECT

public:
    // The adapter lives as long as view, which owns it.
    explicit QtPageView(SourceView *view);

    SourceView *view() const { return m_view; }

    void setTextRTF(const QString &text) override;
    void setText(const QString &text) override;
    QString text() const override;
    void setContentType(const QByteArray &mimeType) override;
    void setDocumentAddress(const QString &address) override;
    QString saveFile(const QString &path, int format) override;
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;
    Place place() const override;
    void restorePlace(qsizetype caret, qsizetype topLine) override;

signals:
    // Button: a MouseButton; shift: ShiftState bits; x, y in twips from the view's
    // top left.
    void mouseDown(int button, int shift, float x, float y);
    // The page in the view has been read through: how many parse errors it has.
    void parseErrorsCounted(qint64 count);

private:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF position);

    SourceView *m_view;
    QByteArray m_mimeType;
};
