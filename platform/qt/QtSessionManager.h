#pragma once

#include "SessionManager.h"

class QSessionManager;

class QtSessionManager : public SessionManager
{
public:
    explicit QtSessionManager(QSessionManager &manager) : m_manager(manager) {}
    bool allowsInteraction() override;
    void cancel() override;
    void release() override;

private:
    QSessionManager &m_manager;
};
