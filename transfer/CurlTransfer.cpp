#include "CurlTransfer.h"

#include "Address.h"
#include "CurlHandle.h"
#include "Decoding.h"

#include <QEventLoop>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// "Receiving response" repeats while data arrives; this often is enough to show it.
constexpr auto receivingReportInterval = std::chrono::milliseconds(100);

// One transfer, run on the worker thread. Its address stays fixed while libcurl holds
// it as the callbacks' user data.
class Job
{
public:
    Job(CurlTransfer *owner, QByteArray url, const TransferSettings &settings)
        : m_owner(owner)
        , m_url(std::move(url))
        , m_settings(settings)
    {
    }

    // The handle goes first: closing its connections still calls back into this job.
    ~Job() { m_curl.reset(); }

    void run();
    OpenUrlResult takeResult() { return std::move(m_result); }
    void abort() { m_abort = true; }

private:
    void report(int state);
    void setOptions();
    RuntimeError describeFailure(CURLcode code) const;

    static int onResolverStart(void *, void *, void *job);
    static curl_socket_t onOpenSocket(void *job, curlsocktype purpose, curl_sockaddr *address);
    static int onCloseSocket(void *job, curl_socket_t socket);
    static int onPrereq(void *job, char *, char *, int, int);
    static int onDebug(CURL *, curl_infotype type, char *, size_t, void *job);
    static size_t onHeader(char *data, size_t size, size_t count, void *job);
    static size_t onWrite(char *data, size_t size, size_t count, void *job);
    static int onProgress(void *job, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CurlTransfer *m_owner;
    QByteArray m_url;
    TransferSettings m_settings;
    CurlHandle m_curl;
    std::atomic_bool m_abort{false};

    int m_lastState = InetState::None;
    Clock::time_point m_lastReceivingReport;
    QByteArray m_body;
    bool m_reserved = false;
    QByteArray m_location;
    bool m_tooLarge = false;
    int m_socketsClosed = 0;
    QByteArray m_caFile;
    OpenUrlResult m_result;
};

void Job::report(int state)
{
    // The status line never goes backwards: a redirect's new hop shows as the
    // transfer going on, and each stage appears once, except that receiving
    // repeats, at a readable rate, while data arrives.
    if (state == InetState::ReceivingResponse) {
        const Clock::time_point now = Clock::now();
        if (m_lastState == InetState::ReceivingResponse && now - m_lastReceivingReport < receivingReportInterval)
            return;
        if (m_lastState > InetState::ReceivingResponse)
            return;
        m_lastReceivingReport = now;
    } else if (state <= m_lastState) {
        return;
    }
    m_lastState = state;

    CurlTransfer *owner = m_owner;
    QMetaObject::invokeMethod(owner, [owner, state] { emit owner->stateChanged(state); }, Qt::QueuedConnection);
}

int Job::onResolverStart(void *, void *, void *job)
{
    static_cast<Job *>(job)->report(InetState::ResolvingHost);
    return 0;
}

curl_socket_t Job::onOpenSocket(void *job, curlsocktype purpose, curl_sockaddr *address)
{
    auto *self = static_cast<Job *>(job);
    if (purpose == CURLSOCKTYPE_IPCXN) {
        self->report(InetState::HostResolved);
        self->report(InetState::Connecting);
    }
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int Job::onCloseSocket(void *job, curl_socket_t socket)
{
    ++static_cast<Job *>(job)->m_socketsClosed;
    return ::close(socket);
}

int Job::onPrereq(void *job, char *, char *, int, int)
{
    auto *self = static_cast<Job *>(job);
    self->report(InetState::Connected);
    self->report(InetState::Requesting);
    return CURL_PREREQFUNC_OK;
}

int Job::onDebug(CURL *, curl_infotype type, char *, size_t, void *job)
{
    // Verbose mode is on only for this: nothing is printed.
    if (type == CURLINFO_HEADER_OUT)
        static_cast<Job *>(job)->report(InetState::RequestSent);
    return 0;
}

size_t Job::onHeader(char *data, size_t size, size_t count, void *job)
{
    auto *self = static_cast<Job *>(job);
    const QByteArrayView line(data, qsizetype(size * count));
    // Kept to name the target of a redirect that is refused.
    if (line.size() > 9 && QByteArrayView(line.first(9)).compare("location:", Qt::CaseInsensitive) == 0)
        self->m_location = line.sliced(9).trimmed().toByteArray();
    self->report(InetState::ReceivingResponse);
    return size * count;
}

size_t Job::onWrite(char *data, size_t size, size_t count, void *job)
{
    auto *self = static_cast<Job *>(job);
    const size_t bytes = size * count;
    if (self->m_body.size() + qint64(bytes) > self->m_settings.maxDocumentBytes) {
        self->m_tooLarge = true;
        return 0;
    }
    if (!self->m_reserved) {
        self->m_reserved = true;
        curl_off_t length = -1;
        curl_easy_getinfo(self->m_curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0)
            self->m_body.reserve(qsizetype(std::min<qint64>(length, self->m_settings.maxDocumentBytes)));
    }
    self->m_body.append(data, qsizetype(bytes));
    self->report(InetState::ReceivingResponse);
    return bytes;
}

int Job::onProgress(void *job, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Job *>(job)->m_abort ? 1 : 0;
}

void Job::setOptions()
{
    CURL *c = m_curl.get();
    curl_easy_setopt(c, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(c, CURLOPT_DEFAULT_PROTOCOL, "http");
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_settings.connectTimeoutSeconds));
    // A server that sends nothing for this long has stopped answering; a slow but
    // steady download goes on.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_settings.responseTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_settings.maxDocumentBytes));
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Vellumin/1.00");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // As curl's own command line does: a private certificate authority for those who
    // set one up.
    for (const char *variable : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        const QByteArray file = qgetenv(variable);
        if (!file.isEmpty()) {
            m_caFile = file;
            curl_easy_setopt(c, CURLOPT_CAINFO, m_caFile.constData());
            break;
        }
    }

    curl_easy_setopt(c, CURLOPT_RESOLVER_START_FUNCTION, &Job::onResolverStart);
    curl_easy_setopt(c, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &Job::onOpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &Job::onCloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &Job::onPrereq);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &Job::onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Job::onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Job::onWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Job::onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
}

RuntimeError Job::describeFailure(CURLcode code) const
{
    CURL *c = m_curl.get();
    char *effective = nullptr;
    curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective);
    const QUrl url(QString::fromUtf8(effective ? effective : m_url.constData()));
    const QString host = url.host();
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    const QString detail = QString::fromUtf8(m_curl.errorMessage());
    const int number = int(code);

    switch (code) {
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        if (m_tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            return {ErrorNumber::DocumentTooLarge,
                    QStringLiteral("The document is larger than %1 MiB, so it was not shown.").arg(m_settings.maxDocumentBytes / (1024 * 1024))};
        }
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        return {number, QStringLiteral("Could not resolve host: %1").arg(host)};
    case CURLE_COULDNT_RESOLVE_PROXY:
        return {number, QStringLiteral("Could not resolve the proxy: %1").arg(detail)};
    case CURLE_COULDNT_CONNECT: {
        long osError = 0;
        curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osError);
        const QString reason = osError ? QString::fromLocal8Bit(std::strerror(int(osError))) : detail;
        return {number, QStringLiteral("Could not connect to %1 port %2: %3").arg(host).arg(port).arg(reason)};
    }
    case CURLE_OPERATION_TIMEDOUT:
        if (m_lastState < InetState::Connected) {
            return {number, QStringLiteral("Could not connect to %1 port %2 within %3 seconds.").arg(host).arg(port).arg(m_settings.connectTimeoutSeconds)};
        }
        return {number, QStringLiteral("The server %1 sent nothing for %2 seconds, so the transfer was stopped.").arg(host).arg(m_settings.responseTimeoutSeconds)};
    case CURLE_GOT_NOTHING:
        return {number, QStringLiteral("The server %1 closed the connection without sending anything.").arg(host)};
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return {number, QStringLiteral("The server closed the connection before the whole page arrived.")};
    case CURLE_TOO_MANY_REDIRECTS:
        return {number, QStringLiteral("Too many redirects: the page at %1 kept sending Vellumin elsewhere.").arg(QString::fromUtf8(m_url))};
    case CURLE_UNSUPPORTED_PROTOCOL: {
        if (!m_location.isEmpty()) {
            return {number, QStringLiteral("The page redirected to an address that is not http or https, which Vellumin does not follow: %1").arg(QString::fromUtf8(m_location))};
        }
        return {number, QStringLiteral("Vellumin fetches http and https addresses only (%1).").arg(detail)};
    }
    case CURLE_URL_MALFORMAT:
        return {number, QStringLiteral("The address is not valid: %1").arg(detail)};
    case CURLE_PEER_FAILED_VERIFICATION:
        return {number, QStringLiteral("The certificate of %1 is not trusted, so the page was not fetched (%2).").arg(host, detail)};
    case CURLE_SSL_CONNECT_ERROR:
        return {number, QStringLiteral("A secure connection to %1 could not be made: %2").arg(host, detail)};
    case CURLE_BAD_CONTENT_ENCODING:
        return {number, QStringLiteral("The server sent a compressed page that could not be decoded.")};
    case CURLE_SEND_ERROR:
        return {number, QStringLiteral("The request could not be sent to %1: %2").arg(host, detail)};
    case CURLE_ABORTED_BY_CALLBACK:
        return {number, QStringLiteral("The transfer was stopped.")};
    default:
        break;
    }
    const QString text = detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : detail;
    return {number, QStringLiteral("The page could not be fetched: %1").arg(text)};
}

void Job::run()
{
    if (!m_curl) {
        m_result.error = RuntimeError{int(CURLE_FAILED_INIT), QStringLiteral("The transfer could not be set up.")};
        report(InetState::Error);
        return;
    }
    setOptions();
    const CURLcode code = curl_easy_perform(m_curl.get());
    if (code != CURLE_OK) {
        m_result.error = describeFailure(code);
        report(InetState::Error);
        return;
    }

    char *contentType = nullptr;
    curl_easy_getinfo(m_curl.get(), CURLINFO_CONTENT_TYPE, &contentType);
    const QByteArray type(contentType ? contentType : "");

    report(InetState::ResponseReceived);
    report(InetState::Disconnecting);
    // Ending the handle closes the connection it kept, unless the server closed it.
    m_curl.reset();
    if (m_socketsClosed > 0)
        report(InetState::Disconnected);

    m_result.document = Encoding::decode(m_body, type);
    m_body = QByteArray();
    report(InetState::ResponseCompleted);
}

} // namespace

CurlTransfer::CurlTransfer(TransferSettings settings, QObject *parent)
    : Transfer(parent)
    , m_settings(settings)
{
}

OpenUrlResult CurlTransfer::openURL(const QString &address)
{
    if (m_busy)
        return {{}, RuntimeError{ErrorNumber::TransferBusy, QStringLiteral("A page is already being fetched.")}};

    auto url = Address::toRequestUrl(address);
    if (auto *refusal = std::get_if<Address::Refusal>(&url)) {
        emit stateChanged(InetState::Error);
        const int number = refusal->reason == Address::Refusal::UnsupportedScheme ? ErrorNumber::UnsupportedScheme
                                                                                  : ErrorNumber::InvalidAddress;
        return {{}, RuntimeError{number, refusal->message}};
    }

    m_busy = true;
    Job job(this, std::get<QByteArray>(std::move(url)), m_settings);
    QEventLoop loop;
    std::thread worker([&job, &loop] {
        job.run();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends when the application quits: the transfer stops then.
    job.abort();
    worker.join();
    m_busy = false;
    return job.takeResult();
}
