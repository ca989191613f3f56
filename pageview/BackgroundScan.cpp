#include "BackgroundScan.h"

#include <chrono>

BackgroundScan::BackgroundScan(QObject *parent)
    : QObject(parent)
{
}

BackgroundScan::~BackgroundScan()
{
    stop();
}

void BackgroundScan::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundScan::start(const QString &document, qsizetype blockSize, Block block)
{
    stop();
    m_stop = false;
    m_done.store(0, std::memory_order_release);
    const qsizetype size = document.size();
    m_blocks = std::max<qsizetype>(1, (size + blockSize - 1) / blockSize);
    // The thread keeps its own reference to the text: it stays valid whatever the
    // view does with its copy meanwhile.
    m_thread = std::thread([this, document, blockSize, size, block = std::move(block)] {
        using Clock = std::chrono::steady_clock;
        auto lastSaid = Clock::now();
        for (qsizetype index = 0; index < m_blocks && !m_stop; ++index) {
            block(index, index * blockSize, std::min(size, (index + 1) * blockSize));
            m_done.store(index + 1, std::memory_order_release);
            const auto now = Clock::now();
            if (index + 1 == m_blocks || now - lastSaid >= std::chrono::milliseconds(20)) {
                lastSaid = now;
                QMetaObject::invokeMethod(this, &BackgroundScan::advanced, Qt::QueuedConnection);
            }
        }
    });
}
