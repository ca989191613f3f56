#pragma once

#include "Transfer.h"
#include "TransferSettings.h"

#include <memory>
#include <thread>

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
    void finish(quint64 run);
    void endJob();

    TransferSettings m_settings;
    std::unique_ptr<TransferJob> m_job;
    std::thread m_worker;
    // Counts the transfers started: a finish queued by one that was stopped is ignored.
    quint64 m_run = 0;
    Completion<FetchResult> m_completion;
};
