#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QSize>

// Pictures of one size, with one colour that counts as transparent.
class ImageList
{
public:
    ImageList(QSize size, QColor maskColor);
    void add(const QImage &picture);
    QPixmap pixmap(int index) const;

private:
    QSize m_size;
    QColor m_maskColor;
    QList<QPixmap> m_pixmaps;
};
