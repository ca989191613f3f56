#include "BackgroundScan.h"


BackgroundScan::BackgroundScan(QObject *parent)
    : QObject(parent)
{
    // Often enough that a view waiting for the end of a huge page (Ctrl+End) is told
    // within a few milliseconds; a look only reads a counter.
    m_watch.setInterval(4);
    connect(&m_watch, &QTimer::timeout, this, &BackgroundScan::look);
}

BackgroundScan::~BackgroundScan()
{
    stop();
}

void BackgroundScan::stop()
{
    m_watch.stop();
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundScan::look()
{
    const qsizetype done = blocksDone();
    if (done == m_blocks)
        m_watch.stop();
    if (done != m_seen) {
        m_seen = done;
        emit advanced();
    }
}

void BackgroundScan::start(const QString &document, qsizetype blockSize, Block block)
{
    stop();
    m_stop = false;
    m_seen = 0;
    m_done.store(0, std::memory_order_release);
    const qsizetype size = document.size();
    m_blocks = std::max<qsizetype>(1, (size + blockSize - 1) / blockSize);
    // The thread keeps its own reference to the text: it stays valid whatever the
    // view does with its copy meanwhile.
    m_thread = std::thread([this, document, blockSize, size, block = std::move(block)] {
        for (qsizetype index = 0; index < m_blocks && !m_stop; ++index) {
            block(index, index * blockSize, std::min(size, (index + 1) * blockSize));
            m_done.store(index + 1, std::memory_order_release);
        }
    });
    m_watch.start();
}
