#include "ImageList.h"

#include <QBitmap>
#include <QImage>

ImageList::ImageList(QSize size, QColor maskColor)
    : m_size(size)
    , m_maskColor(maskColor)
{
}

void ImageList::add(const QImage &picture)
{
    QPixmap pixmap = QPixmap::fromImage(picture.scaled(m_size));
    pixmap.setMask(pixmap.createMaskFromColor(m_maskColor, Qt::MaskInColor));
    m_pixmaps.append(pixmap);
}

QPixmap ImageList::pixmap(int index) const
{
    return m_pixmaps.value(index);
}
