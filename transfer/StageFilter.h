#pragma once

#include <chrono>

// Which of the transfer's stages reach the status line. Each stage shows once and the
// line never goes backwards, so a redirect's next hop shows as the transfer going on;
// only "receiving response" repeats while data arrives, at a readable rate.
class StageFilter
{
public:
    using Clock = std::chrono::steady_clock;

    explicit StageFilter(std::chrono::milliseconds receivingInterval = std::chrono::milliseconds(100))
        : m_receivingInterval(receivingInterval)
    {
    }

    // Whether the stage, reached at now, is shown.
    bool pass(int state, Clock::time_point now);
    // The last stage shown.
    int last() const { return m_last; }

private:
    std::chrono::milliseconds m_receivingInterval;
    int m_last = 0;
    Clock::time_point m_lastReceiving;
};
