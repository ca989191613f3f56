#pragma once

#include "PopupMenu.h"

#include <QObject>

class QAction;
class QMenu;
class QWidget;

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
