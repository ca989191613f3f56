#include "QtToolbar.h"

#include "Twips.h"

#include <QToolButton>

QtToolbar::QtToolbar(QWidget *parent)
    : QFrame(parent)
{
    setAutoFillBackground(true);
}

QToolButton *QtToolbar::addButton(const ToolbarButton &button, const QPixmap &picture, QSize size)
{
    auto *toolButton = new QToolButton(this);
    toolButton->setText(button.caption);
    // Pixel art stays crisp on dense screens and large fonts: doubled pixel for pixel,
    // never smoothed. The picture is 240 twips square, 16 pixels at 96 dpi.
    QIcon icon(picture);
    icon.addPixmap(picture.scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    toolButton->setIcon(icon);
    const int side = Twips::toPixels(240.0f, logicalDpiY());
    toolButton->setIconSize(QSize(side, side));
    toolButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolButton->setAutoRaise(true);
    toolButton->setFocusPolicy(Qt::NoFocus);
    toolButton->resize(size);
    connect(toolButton, &QToolButton::clicked, this, [this, button] { emit buttonClick(button); });
    return toolButton;
}
