#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

// Reads the document block by block, in order, on a thread of its own, and says how
// far it has got. The document never changes while it is read: a new one means a new
// scan. What the blocks find goes to storage of the caller's, which outlives the scan.
// The thread touches nothing but that storage and a counter: the window's thread
// looks at the counter now and then, and says so when it has moved.
class BackgroundScan : public QObject
{
    Q_OBJECT

public:
    // Called on the scan's thread for each block [from, to) of the document.
    using Block = std::function<void(qsizetype index, qsizetype from, qsizetype to)>;

    explicit BackgroundScan(QObject *parent = nullptr);
    ~BackgroundScan() override;

    void start(const QString &document, qsizetype blockSize, Block block);
    // Stops a scan that runs, and waits until its thread has ended.
    void stop();

    // Blocks done so far; what they wrote may be read once this says so.
    qsizetype blocksDone() const { return m_done.load(std::memory_order_acquire); }
    qsizetype blockCount() const { return m_blocks; }
    bool finished() const { return blocksDone() == m_blocks; }

signals:
    // The scan went on: at most about every 4 ms, and once at its end.
    void advanced();

private:
    void look();

    QTimer m_watch;
    qsizetype m_seen = 0;
    std::thread m_thread;
    std::atomic_bool m_stop{false};
    std::atomic<qsizetype> m_done{0};
    qsizetype m_blocks = 0;
};
