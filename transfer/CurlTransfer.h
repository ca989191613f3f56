#pragma once

#include "Transfer.h"
#include "TransferSettings.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TransferJob;

// The transfer on libcurl. The blocking transfer runs on a worker thread and reports
// each stage to the window's thread, queued, in order; the result follows the last
// stage. Destroying the transfer stops a running job and waits for its thread, and
// the coroutine that awaited it is destroyed, never resumed.
class CurlTransfer : public Transfer
{
    Q_OBJECT

public:
    explicit CurlTransfer(TransferSettings settings = {}, QObject *parent = nullptr);
    ~CurlTransfer() override;

    Pending<FetchResult> openURL(const QString &address) override;
    bool busy() const override { return m_job != nullptr; }
    void stop() override;

private:
    // What the worker tells the window's thread, in the order it happened.
    struct Report
    {
        enum Kind { Stage, Progress, Finished } kind;
        int state = 0;
        qint64 received = 0;
        qint64 total = 0;
    };

    void post(Report report);
    void deliverReports();
    void finish();
    void endJob();

    TransferSettings m_settings;
    std::unique_ptr<TransferJob> m_job;
    std::thread m_worker;
    // Filled by the worker, emptied here: the lock is what hands each report over.
    std::mutex m_reportsLock;
    std::vector<Report> m_reports;
    Completion<FetchResult> m_completion;
};
