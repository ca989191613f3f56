#pragma once

#include "CurlHandle.h"
#include "StageFilter.h"
#include "Transfer.h"
#include "TransferSettings.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Encoding {
class DocumentDecoder;
}

// One transfer, run on a worker thread from start to end: the libcurl options, the
// callbacks that turn libcurl's events into stages and the body into text as it
// arrives, and the error that ends it. libcurl holds the job's address as the
// callbacks' user data, so it stays where it was made.
class TransferJob
{
public:
    // Called on the worker thread with each stage that is shown, and with how much
    // of the body has arrived (at most ten times a second).
    using StageSink = std::function<void(int state)>;
    using ProgressSink = std::function<void(qint64 received, qint64 total)>;

    TransferJob(QByteArray url, const TransferSettings &settings, StageSink stages, ProgressSink progress = {});
    ~TransferJob();
    TransferJob(const TransferJob &) = delete;
    TransferJob &operator=(const TransferJob &) = delete;

    // Blocks until the document is whole or the transfer failed. Nothing is thrown:
    // every failure, running out of memory included, ends up in the result.
    void run() noexcept;
    // Asks a running transfer to stop soon; safe from any thread.
    void abort();
    FetchResult takeResult() { return std::move(m_result); }

private:
    void perform();
    void setOptions();
    CURLcode runUntilDone();
    CURLcode followRedirects();
    void finishDocument();
    void gatherFacts();
    void report(int state);
    void startDocument();
    void releaseDocument();

    static int onResolverStart(void *, void *, void *job);
    static curl_socket_t onOpenSocket(void *job, curlsocktype purpose, curl_sockaddr *address);
    static int onCloseSocket(void *job, curl_socket_t socket);
    static int onPrereq(void *job, char *, char *, int, int);
    static int onDebug(CURL *, curl_infotype type, char *, size_t, void *job);
    static size_t onHeader(char *data, size_t size, size_t count, void *job);
    static size_t onWrite(char *data, size_t size, size_t count, void *job);
    static int onProgress(void *job, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    QByteArray m_url;         // as first asked for
    QByteArray m_currentUrl;  // after the redirects so far
    TransferSettings m_settings;
    StageSink m_stages;
    ProgressSink m_progress;
    StageFilter m_filter;
    StageFilter::Clock::time_point m_lastProgress;
    std::atomic_bool m_abort{false};

    CurlHandle m_curl;
    // Guards m_multi between abort() on another thread, which wakes it, and the
    // worker, which ends it.
    std::mutex m_multiLock;
    CurlMulti m_multi;
    std::unique_ptr<Encoding::DocumentDecoder> m_decoder;
    qint64 m_received = 0;    // of the response being received, after decompression
    qint64 m_headerBytes = 0; // of the response being received
    StageFilter::Clock::time_point m_started;
    // The response being received: its Location, and whether it is a redirect that
    // will be followed (its body is not the document).
    QByteArray m_location;
    QList<QByteArray> m_contentTypes; // every Content-Type line, in order
    bool m_redirecting = false;
    bool m_headersComplete = false;
    int m_redirects = 0;
    std::optional<RuntimeError> m_refusedRedirect;
    bool m_tooLarge = false;
    bool m_outOfMemory = false;
    int m_socketsClosed = 0;
    FetchResult m_result;
};
