#include "QtTextBox.h"

#include "Twips.h"
#include "WindowFont.h"

#include <limits>

QtTextBox::QtTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    // Addresses can be very long; QLineEdit would stop at 32,767 characters.
    setMaxLength(std::numeric_limits<int>::max());
    // The box grows taller than its toolbar; the text stays at the top, where it shows.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFont(windowFont());
    setAccessibleName(QStringLiteral("Address"));
}

void QtTextBox::setHeightTwips(float twips)
{
    resize(width(), Twips::toPixels(twips, logicalDpiY()));
}

void QtTextBox::setWidthTwips(float twips)
{
    resize(Twips::toPixels(twips, logicalDpiX()), height());
}
