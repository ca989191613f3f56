#include "QtPopupMenu.h"

#include <QCursor>
#include <QMenu>

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
    m_menu->popup(QCursor::pos());
}
