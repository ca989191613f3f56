#include "TransferJob.h"

#include "Address.h"
#include "DocumentDecoder.h"
#include "MimeType.h"
#include "TransferErrors.h"

#include <QUrl>

#include <new>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// libcurl is a C library: nothing may be thrown through it. Each callback runs its
// body here. Running out of memory, the one thing our callbacks can throw, stops the
// transfer with the callback's error value, and the job reports it once libcurl has
// returned.
template<typename Body, typename Result>
Result guarded(bool &outOfMemory, Result onError, Body &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        outOfMemory = true;
        return onError;
    }
}

// How long the worker waits in one go; an abort wakes it at once.
constexpr int pollTimeoutMs = 1000;

// As browsers: more redirects than this end the transfer.
constexpr int maxRedirects = 20;

// The statuses whose Location browsers follow.
bool isRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

EncodingOrigin origin(Encoding::EncodingSource source)
{
    using Encoding::EncodingSource;
    switch (source) {
    case EncodingSource::ByteOrderMark: return EncodingOrigin::ByteOrderMark;
    case EncodingSource::ContentType: return EncodingOrigin::ContentType;
    case EncodingSource::Meta: return EncodingOrigin::Meta;
    case EncodingSource::XmlDeclaration: return EncodingOrigin::XmlDeclaration;
    case EncodingSource::ValidUtf8: return EncodingOrigin::ValidUtf8;
    case EncodingSource::MetaWhileParsing: return EncodingOrigin::MetaWhileParsing;
    case EncodingSource::Fallback: break;
    }
    return EncodingOrigin::Fallback;
}

} // namespace

TransferJob::TransferJob(QByteArray url, const TransferSettings &settings, StageSink stages, ProgressSink progress)
    : m_url(std::move(url))
    , m_currentUrl(m_url)
    , m_settings(settings)
    , m_stages(std::move(stages))
    , m_progress(std::move(progress))
{
}

TransferJob::~TransferJob()
{
    // Closing the connections the multi handle kept still calls back into this job.
    {
        const std::lock_guard lock(m_multiLock);
        m_multi.reset();
    }
    m_curl.reset();
}

void TransferJob::abort()
{
    m_abort = true;
    const std::lock_guard lock(m_multiLock);
    if (m_multi)
        curl_multi_wakeup(m_multi.get());
}

void TransferJob::report(int state)
{
    if (m_filter.pass(state, StageFilter::Clock::now()))
        m_stages(state);
}

void TransferJob::run() noexcept
{
    try {
        perform();
        return;
    } catch (const std::bad_alloc &) {
    } catch (...) {
    }
    // The text so far goes first, so that what follows has room.
    releaseDocument();
    try {
        m_result = {{}, notEnoughMemory()};
        report(InetState::Error);
    } catch (...) {
        // Not even the message fits; the window still learns that the fetch failed.
        m_result = {};
    }
}

void TransferJob::perform()
{
    m_started = StageFilter::Clock::now();
    if (!m_curl || !m_multi) {
        m_result.error = RuntimeError{int(CURLE_FAILED_INIT), QStringLiteral("The transfer could not be set up.")};
        report(InetState::Error);
        return;
    }
    setOptions();
    const CURLcode code = followRedirects();
    if (m_refusedRedirect) {
        releaseDocument();
        m_result.error = *m_refusedRedirect;
        report(InetState::Error);
        return;
    }
    if (code != CURLE_OK) {
        releaseDocument();
        TransferFailure failure;
        failure.code = code;
        char *effective = nullptr;
        curl_easy_getinfo(m_curl.get(), CURLINFO_EFFECTIVE_URL, &effective);
        const QByteArray asked = effective ? QByteArray(effective) : m_currentUrl;
        const QUrl url = QUrl::fromEncoded(asked);
        failure.url = shownAddress(m_url);
        failure.host = sentHost(asked);
        failure.port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
        failure.detail = QString::fromUtf8(m_curl.errorMessage());
        long osError = 0;
        curl_easy_getinfo(m_curl.get(), CURLINFO_OS_ERRNO, &osError);
        failure.osError = int(osError);
        failure.lastStage = m_filter.last();
        failure.tooLarge = m_tooLarge;
        failure.outOfMemory = m_outOfMemory;
        failure.headersComplete = m_headersComplete;
        failure.location = m_location;
        failure.connectTimeoutSeconds = m_settings.connectTimeoutSeconds;
        failure.responseTimeoutSeconds = m_settings.responseTimeoutSeconds;
        failure.maxDocumentBytes = m_settings.maxDocumentBytes;
        m_result.error = describeFailure(failure);
        report(InetState::Error);
        return;
    }
    finishDocument();
}

CURLcode TransferJob::followRedirects()
{
    // Each hop's Location is read against the address it came from, by the same
    // parser that read the typed address; libcurl only ever gets a URL to request.
    while (true) {
        const CURLcode code = runUntilDone();
        if (code != CURLE_OK || !m_redirecting)
            return code;
        auto next = Address::resolveRedirect(m_location, m_currentUrl);
        if (const auto *refusal = std::get_if<Address::Refusal>(&next)) {
            const CURLcode refused = refusal->reason == Address::Refusal::UnsupportedScheme ? CURLE_UNSUPPORTED_PROTOCOL
                                                                                             : CURLE_URL_MALFORMAT;
            m_refusedRedirect = RuntimeError{int(refused), refusal->message};
            // The refused address may carry a password; the message shows the user at most.
            if (refusal->reason == Address::Refusal::UnsupportedScheme) {
                m_refusedRedirect->description =
                    QStringLiteral("The page redirected to an address that is not http or https, which Vellumin does not "
                                   "follow: %1").arg(shownAddress(m_location.trimmed()));
            }
            return refused;
        }
        if (m_redirects == maxRedirects)
            return CURLE_TOO_MANY_REDIRECTS;
        ++m_redirects;
        m_currentUrl = std::get<QByteArray>(std::move(next));
        curl_easy_setopt(m_curl.get(), CURLOPT_URL, m_currentUrl.constData());
    }
}

CURLcode TransferJob::runUntilDone()
{
    CURLM *multi = m_multi.get();
    curl_multi_add_handle(multi, m_curl.get());
    CURLcode code = CURLE_OK;
    int running = 1;
    while (running) {
        if (m_abort) {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            code = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running && curl_multi_poll(multi, nullptr, 0, pollTimeoutMs, nullptr) != CURLM_OK) {
            code = CURLE_OUT_OF_MEMORY;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_curl.get())
            code = message->data.result;
    }
    curl_multi_remove_handle(multi, m_curl.get());
    return code;
}

void TransferJob::startDocument()
{
    // A header sent more than once is one list; the MIME type is read from all of it.
    m_result.document.contentType = m_contentTypes.join(", ");
    if (const std::optional<MimeType> type = extractMimeType(m_contentTypes))
        m_result.document.mimeType = type->essence();
    m_decoder = std::make_unique<Encoding::DocumentDecoder>(m_result.document.contentType);
    curl_off_t length = -1;
    curl_easy_getinfo(m_curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > 0)
        m_decoder->expect(std::min<qint64>(length, m_settings.maxDocumentBytes));
}

void TransferJob::releaseDocument()
{
    m_decoder.reset();
    m_result.document = {};
}

void TransferJob::gatherFacts()
{
    DocumentFacts &facts = m_result.document.facts;
    CURL *c = m_curl.get();
    facts.address = shownAddress(m_currentUrl);
    facts.redirects = m_redirects;
    long version = 0;
    curl_easy_getinfo(c, CURLINFO_HTTP_VERSION, &version);
    switch (version) {
    case CURL_HTTP_VERSION_1_0: facts.protocol = QStringLiteral("HTTP/1.0"); break;
    case CURL_HTTP_VERSION_1_1: facts.protocol = QStringLiteral("HTTP/1.1"); break;
    case CURL_HTTP_VERSION_2_0: facts.protocol = QStringLiteral("HTTP/2"); break;
    case CURL_HTTP_VERSION_3: facts.protocol = QStringLiteral("HTTP/3"); break;
    default: break;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    facts.status = int(status);
    curl_off_t body = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &body);
    facts.wireBytes = m_headerBytes + qint64(body);
    facts.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(StageFilter::Clock::now() - m_started).count();
}

void TransferJob::finishDocument()
{
    gatherFacts();
    report(InetState::ResponseReceived);
    report(InetState::Disconnecting);
    // Ending the handles closes the connection they kept, unless the server closed it.
    {
        const std::lock_guard lock(m_multiLock);
        m_multi.reset();
    }
    m_curl.reset();
    if (m_socketsClosed > 0)
        report(InetState::Disconnected);

    if (!m_decoder)
        startDocument(); // an empty body never reached the write callback
    m_result.document.text = m_decoder->finish();
    DocumentFacts &facts = m_result.document.facts;
    facts.encoding = m_decoder->encoding();
    facts.encodingOrigin = origin(m_decoder->source());
    facts.bytes = m_decoder->bytes();
    facts.characters = m_decoder->characters();
    facts.lines = m_decoder->lines();
    m_decoder.reset();
    report(InetState::ResponseCompleted);
}

int TransferJob::onResolverStart(void *, void *, void *job)
{
    auto *self = static_cast<TransferJob *>(job);
    return guarded(self->m_outOfMemory, 1, [self] {
        self->report(InetState::ResolvingHost);
        return 0;
    });
}

curl_socket_t TransferJob::onOpenSocket(void *job, curlsocktype purpose, curl_sockaddr *address)
{
    auto *self = static_cast<TransferJob *>(job);
    const bool reported = guarded(self->m_outOfMemory, false, [self, purpose] {
        if (purpose == CURLSOCKTYPE_IPCXN) {
            self->report(InetState::HostResolved);
            self->report(InetState::Connecting);
        }
        return true;
    });
    if (!reported)
        return CURL_SOCKET_BAD;
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int TransferJob::onCloseSocket(void *job, curl_socket_t socket)
{
    ++static_cast<TransferJob *>(job)->m_socketsClosed;
    return ::close(socket);
}

int TransferJob::onPrereq(void *job, char *, char *, int, int)
{
    auto *self = static_cast<TransferJob *>(job);
    return guarded(self->m_outOfMemory, int(CURL_PREREQFUNC_ABORT), [self] {
        self->report(InetState::Connected);
        self->report(InetState::Requesting);
        return int(CURL_PREREQFUNC_OK);
    });
}

int TransferJob::onDebug(CURL *, curl_infotype type, char *, size_t, void *job)
{
    // Verbose mode is on only for this: nothing is printed.
    auto *self = static_cast<TransferJob *>(job);
    return guarded(self->m_outOfMemory, 0, [self, type] {
        if (type == CURLINFO_HEADER_OUT)
            self->report(InetState::RequestSent);
        return 0;
    });
}

size_t TransferJob::onHeader(char *data, size_t size, size_t count, void *job)
{
    auto *self = static_cast<TransferJob *>(job);
    const size_t bytes = size * count;
    return guarded(self->m_outOfMemory, size_t(0), [self, data, bytes] {
        const QByteArrayView line(data, qsizetype(bytes));
        if (line.startsWith("HTTP/")) {
            // A new response: what the last one said no longer counts.
            self->m_location.clear();
            self->m_contentTypes.clear();
            self->m_redirecting = false;
            self->m_headerBytes = 0;
            self->m_received = 0;
            self->m_headersComplete = false;
        } else if (line.size() > 9 && QByteArrayView(line.first(9)).compare("location:", Qt::CaseInsensitive) == 0) {
            self->m_location = line.sliced(9).trimmed().toByteArray();
        } else if (line.size() > 13 && QByteArrayView(line.first(13)).compare("content-type:", Qt::CaseInsensitive) == 0) {
            self->m_contentTypes.append(line.sliced(13).trimmed().toByteArray());
        } else if (line.trimmed().isEmpty()) {
            // The headers are complete.
            long status = 0;
            curl_easy_getinfo(self->m_curl.get(), CURLINFO_RESPONSE_CODE, &status);
            self->m_redirecting = isRedirect(status) && !self->m_location.isEmpty();
            self->m_headersComplete = true;
        }
        self->m_headerBytes += qint64(bytes);
        self->report(InetState::ReceivingResponse);
        return bytes;
    });
}

size_t TransferJob::onWrite(char *data, size_t size, size_t count, void *job)
{
    auto *self = static_cast<TransferJob *>(job);
    const size_t bytes = size * count;
    // Every body counts, a redirect's too: a server must not keep the transfer busy
    // with one that never ends.
    if (self->m_received + qint64(bytes) > self->m_settings.maxDocumentBytes) {
        self->m_tooLarge = true;
        return 0;
    }
    self->m_received += qint64(bytes);
    // A redirect's body is not the document: it goes as it arrives.
    if (self->m_redirecting)
        return bytes;
    const size_t taken = guarded(self->m_outOfMemory, size_t(0), [self, data, bytes] {
        if (!self->m_decoder)
            self->startDocument();
        self->m_decoder->feed(QByteArrayView(data, qsizetype(bytes)));
        self->report(InetState::ReceivingResponse);
        return bytes;
    });
    // What was decoded so far goes at once: the memory is needed elsewhere.
    if (taken != bytes)
        self->releaseDocument();
    return taken;
}

int TransferJob::onProgress(void *job, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t)
{
    auto *self = static_cast<TransferJob *>(job);
    if (self->m_abort)
        return 1;
    if (!self->m_progress || received == 0)
        return 0;
    return guarded(self->m_outOfMemory, 1, [self, total, received] {
        // Often enough to watch, seldom enough to cost the transfer nothing.
        const auto now = StageFilter::Clock::now();
        if (now - self->m_lastProgress >= std::chrono::milliseconds(100)) {
            self->m_lastProgress = now;
            self->m_progress(qint64(received), total > 0 ? qint64(total) : -1);
        }
        return 0;
    });
}

void TransferJob::setOptions()
{
    CURL *c = m_curl.get();
    // The URL is the parser's serialisation: libcurl is to take it as it is.
    curl_easy_setopt(c, CURLOPT_URL, m_currentUrl.constData());
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    // An answer without a status line is not HTTP, whatever is listening there.
    curl_easy_setopt(c, CURLOPT_HTTP09_ALLOWED, 0L);
    // Redirects are followed by the job itself, with the URL parser.
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_settings.connectTimeoutSeconds));
    // A server that sends nothing for this long has stopped answering; a slow but
    // steady download goes on.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_settings.responseTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_settings.maxDocumentBytes));
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Vellumin/" VELLUMIN_VERSION);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // Fewer, larger pieces of body: less overhead per byte on big pages.
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024L);
    // As curl's own command line does: a private certificate authority for those who
    // set one up. libcurl keeps its own copy of the path.
    for (const char *variable : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        const QByteArray file = qgetenv(variable);
        if (!file.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_CAINFO, file.constData());
            break;
        }
    }

    curl_easy_setopt(c, CURLOPT_RESOLVER_START_FUNCTION, &TransferJob::onResolverStart);
    curl_easy_setopt(c, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &TransferJob::onOpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &TransferJob::onCloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &TransferJob::onPrereq);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &TransferJob::onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &TransferJob::onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &TransferJob::onWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &TransferJob::onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
}
