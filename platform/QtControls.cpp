#include "QtControls.h"

#include "Twips.h"

#include <QAction>
#include <QBitmap>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include <limits>

QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

void setHeightInTwips(QWidget &widget, float twips)
{
    widget.resize(widget.width(), Twips::toPixels(twips, widget.logicalDpiY()));
}

void setWidthInTwips(QWidget &widget, float twips)
{
    widget.resize(Twips::toPixels(twips, widget.logicalDpiX()), widget.height());
}

QtTextBox::QtTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    // Addresses can be very long; QLineEdit would stop at 32,767 characters.
    setMaxLength(std::numeric_limits<int>::max());
    // The box grows taller than its toolbar; the text stays at the top, where it shows.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFont(windowFont());
}

void QtTextBox::setHeightTwips(float twips)
{
    setHeightInTwips(*this, twips);
}

void QtTextBox::setWidthTwips(float twips)
{
    setWidthInTwips(*this, twips);
}

QtStatusBar::QtStatusBar(QWidget *parent)
    : QFrame(parent)
    , m_simple(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setFont(windowFont());
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->addWidget(m_simple);
    m_simple->setTextFormat(Qt::PlainText);
}

void QtStatusBar::setSimpleText(const QString &text)
{
    m_simple->setText(text);
    emit simpleTextChanged(text);
    // The user watches the transfer go by: show each text as soon as it is set.
    m_simple->repaint();
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

QtPopupMenu::QtPopupMenu(QWidget *parent)
    : QObject(parent)
    , m_menu(new QMenu(QStringLiteral("&Popup"), parent))
{
    m_copy = m_menu->addAction(QStringLiteral("&Copy"));
    m_copy->setObjectName(QStringLiteral("Copy"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("bar"));
    m_save = m_menu->addAction(QStringLiteral("&Save"));
    m_save->setObjectName(QStringLiteral("Save"));
    m_clear = m_menu->addAction(QStringLiteral("&Clear"));
    m_clear->setObjectName(QStringLiteral("Clear"));
    m_menu->setObjectName(QStringLiteral("Popup"));
}

void QtPopupMenu::popup()
{
    m_menu->exec(QCursor::pos());
}
