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
    ++m_run;
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

    // The job reports from the worker; each stage is queued to this object's thread,
    // and dropped if this object is gone by then.
    m_job = std::make_unique<TransferJob>(
        std::get<QByteArray>(std::move(url)), m_settings,
        [this](int state) {
            QMetaObject::invokeMethod(this, [this, state] { emit stateChanged(state); }, Qt::QueuedConnection);
        },
        [this](qint64 received, qint64 total) {
            QMetaObject::invokeMethod(this, [this, received, total] { emit progressed(received, total); }, Qt::QueuedConnection);
        });
    Pending<FetchResult> result = m_completion.pending();
    m_worker = std::thread([this, job = m_job.get(), run = m_run] {
        job->run();
        QMetaObject::invokeMethod(this, [this, run] { finish(run); }, Qt::QueuedConnection);
    });
    emit busyChanged(true);
    return result;
}

void CurlTransfer::finish(quint64 run)
{
    if (run != m_run || !m_job)
        return;
    m_worker.join();
    FetchResult result = m_job->takeResult();
    m_job.reset();
    emit busyChanged(false);
    // The waiting handler resumes next, with the transfer already idle.
    m_completion.complete(std::move(result));
}
