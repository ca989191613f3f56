#pragma once

#include "PopupMenu.h"
#include "StatusBar.h"
#include "TextBox.h"
#include "Toolbar.h"

#include <QColor>
#include <QFrame>
#include <QLineEdit>
#include <QList>
#include <QPixmap>

class QAction;
class QLabel;
class QMenu;
class QToolButton;

// The font the window description asks for, or the nearest sans serif there is.
QFont windowFont();

// Resize a control in twips at its screen's resolution; its top-left corner stays.
void setHeightInTwips(QWidget &widget, float twips);
void setWidthInTwips(QWidget &widget, float twips);

class QtTextBox : public QLineEdit, public TextBox
{
    Q_OBJECT

public:
    explicit QtTextBox(QWidget *parent = nullptr);
    QString text() const override { return QLineEdit::text(); }
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;
};

// A status bar in simple style: it shows one line of simple text. Its panels are kept
// but not displayed, as the simple style has it.
class QtStatusBar : public QFrame, public StatusBar
{
    Q_OBJECT

public:
    explicit QtStatusBar(QWidget *parent = nullptr);

    void setSimpleText(const QString &text) override;
    QString simpleText() const override;
    bool setPanelText(const QString &key, const QString &text) override;

    void addPanel(const QString &key, const QString &text);
    QString panelText(const QString &key) const;

signals:
    void simpleTextChanged(const QString &text);

private:
    struct Panel
    {
        QString key;
        QString text;
    };

    QLabel *m_simple;
    QList<Panel> m_panels;
};

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

class QtToolbar : public QFrame
{
    Q_OBJECT

public:
    explicit QtToolbar(QWidget *parent = nullptr);
    QToolButton *addButton(const ToolbarButton &button, const QPixmap &picture, QSize size);

signals:
    void buttonClick(const ToolbarButton &button);
};

// The view's context menu: Copy, a separator, Save and Clear.
class QtPopupMenu : public QObject, public PopupMenu
{
    Q_OBJECT

public:
    explicit QtPopupMenu(QWidget *parent);
    void popup() override;

    QAction *copyAction() const { return m_copy; }
    QAction *saveAction() const { return m_save; }
    QAction *clearAction() const { return m_clear; }

private:
    QMenu *m_menu;
    QAction *m_copy;
    QAction *m_save;
    QAction *m_clear;
};
