#include "CurlTransfer.h"

#include "Address.h"
#include "TransferJob.h"

CurlTransfer::CurlTransfer(TransferSettings settings, QObject *parent)
    : Transfer(parent)
    , m_settings(settings)
{
}

CurlTransfer::~CurlTransfer()
{
    endJob();
    m_completion.abandon();
}

void CurlTransfer::endJob()
{
    if (!m_job)
        return;
    m_job->abort();
    m_worker.join();
    m_job.reset();
    // Nothing of a transfer that was stopped is told afterwards.
    const std::lock_guard lock(m_reportsLock);
    m_reports.clear();
}

void CurlTransfer::stop()
{
    if (!m_job)
        return;
    endJob();
    emit busyChanged(false);
    FetchResult stopped;
    stopped.stopped = true;
    m_completion.complete(std::move(stopped));
}

Pending<FetchResult> CurlTransfer::openURL(const QString &address)
{
    if (m_job) {
        return Pending<FetchResult>::ready(
            {{}, RuntimeError{ErrorNumber::TransferBusy, QStringLiteral("A page is already being fetched.")}});
    }

    auto url = Address::toRequestUrl(address);
    if (auto *refusal = std::get_if<Address::Refusal>(&url)) {
        emit stateChanged(InetState::Error);
        const int number = refusal->reason == Address::Refusal::UnsupportedScheme ? ErrorNumber::UnsupportedScheme
                                                                                  : ErrorNumber::InvalidAddress;
        return Pending<FetchResult>::ready({{}, RuntimeError{number, refusal->message}});
    }

    // The job reports from the worker into a queue that this object's thread empties.
    m_job = std::make_unique<TransferJob>(
        std::get<QByteArray>(std::move(url)), m_settings, [this](int state) { post({Report::Stage, state}); },
        [this](qint64 received, qint64 total) { post({Report::Progress, 0, received, total}); });
    Pending<FetchResult> result = m_completion.pending();
    m_worker = std::thread([this, job = m_job.get()] {
        job->run();
        post({Report::Finished});
    });
    emit busyChanged(true);
    return result;
}

void CurlTransfer::post(Report report)
{
    {
        const std::lock_guard lock(m_reportsLock);
        m_reports.push_back(report);
    }
    // Dropped if this object is gone by then.
    QMetaObject::invokeMethod(this, &CurlTransfer::deliverReports, Qt::QueuedConnection);
}

void CurlTransfer::deliverReports()
{
    std::vector<Report> reports;
    {
        const std::lock_guard lock(m_reportsLock);
        reports.swap(m_reports);
    }
    for (const Report &report : reports) {
        switch (report.kind) {
        case Report::Stage: emit stateChanged(report.state); break;
        case Report::Progress: emit progressed(report.received, report.total); break;
        case Report::Finished: finish(); break;
        }
    }
}

void CurlTransfer::finish()
{
    if (!m_job)
        return;
    m_worker.join();
    FetchResult result = m_job->takeResult();
    m_job.reset();
    emit busyChanged(false);
    // The waiting handler resumes next, with the transfer already idle.
    m_completion.complete(std::move(result));
}
