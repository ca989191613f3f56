#include "StageFilter.h"

#include "Transfer.h"

bool StageFilter::pass(int state, Clock::time_point now)
{
    if (state == InetState::ReceivingResponse) {
        if (m_last > InetState::ReceivingResponse)
            return false;
        if (m_last == InetState::ReceivingResponse && now - m_lastReceiving < m_receivingInterval)
            return false;
        m_lastReceiving = now;
    } else if (state <= m_last) {
        return false;
    }
    m_last = state;
    return true;
}
