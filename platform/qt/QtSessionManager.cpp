#include "QtSessionManager.h"

#include <QSessionManager>

bool QtSessionManager::allowsInteraction()
{
    return m_manager.allowsInteraction();
}

void QtSessionManager::cancel()
{
    m_manager.cancel();
}

void QtSessionManager::release()
{
    m_manager.release();
}
