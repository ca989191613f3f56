#include "TransferErrors.h"

#include "Transfer.h"

#include <cstring>
#include <utility>

namespace {

// libcurl refuses a single header line longer than this, and says only that it ran
// out of memory.
constexpr int maxHeaderLineKiB = 100;

} // namespace

namespace {

// Where the authority of a URL lies: after "//", up to the path, query or fragment.
std::pair<qsizetype, qsizetype> authorityOf(QByteArrayView url)
{
    const qsizetype slashes = url.indexOf("//");
    if (slashes < 0)
        return {0, 0};
    const qsizetype start = slashes + 2;
    qsizetype end = start;
    while (end < url.size() && !QByteArrayView("/?#\\").contains(url.at(end)))
        ++end;
    return {start, end};
}

} // namespace

QString shownAddress(QByteArrayView url)
{
    // The userinfo is whatever stands before the authority's last "@"; its password,
    // after the first ":".
    QByteArray shown = url.toByteArray();
    const auto [start, end] = authorityOf(url);
    const qsizetype at = end > start ? shown.lastIndexOf('@', end - 1) : -1;
    if (at >= start) {
        const qsizetype colon = shown.indexOf(':', start);
        if (colon >= 0 && colon < at)
            shown.remove(colon, at - colon);
    }
    return QString::fromUtf8(shown);
}

QString sentHost(QByteArrayView url)
{
    // Read from the URL's bytes, which hold the host as it goes out.
    const auto [start, end] = authorityOf(url);
    QByteArrayView host = url.sliced(start, end - start);
    if (const qsizetype at = host.lastIndexOf('@'); at >= 0)
        host = host.sliced(at + 1);
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        host = host.sliced(1, (close < 0 ? host.size() : close) - 1);
    } else if (const qsizetype colon = host.lastIndexOf(':'); colon >= 0) {
        host = host.first(colon);
    }
    return QString::fromUtf8(host);
}

RuntimeError notEnoughMemory()
{
    return {ErrorNumber::OutOfMemory, QStringLiteral("Not enough memory to hold this document, so it was not shown.")};
}

RuntimeError describeFailure(const TransferFailure &f)
{
    const int number = int(f.code);
    // libcurl leaves its buffer empty for some errors; its own sentence for the code
    // stands in.
    const QString detail = f.detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(f.code)) : f.detail;

    if (f.outOfMemory)
        return notEnoughMemory();
    // All our own allocations succeeded: libcurl's "out of memory" while a response's
    // headers arrive is its refusal of a header line too long to keep.
    if (f.code == CURLE_OUT_OF_MEMORY && !f.headersComplete && f.lastStage >= InetState::RequestSent) {
        return {number, QStringLiteral("The server sent a header line longer than %1 KB, which Vellumin does not accept, "
                                       "so the page was not fetched.").arg(maxHeaderLineKiB)};
    }
    if (f.code == CURLE_OUT_OF_MEMORY)
        return notEnoughMemory();
    switch (f.code) {
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        if (f.tooLarge || f.code == CURLE_FILESIZE_EXCEEDED) {
            return {ErrorNumber::DocumentTooLarge,
                    QStringLiteral("The document is larger than %1 MiB, so it was not shown.").arg(f.maxDocumentBytes / (1024 * 1024))};
        }
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        return {number, QStringLiteral("Could not resolve host: %1").arg(f.host)};
    case CURLE_COULDNT_RESOLVE_PROXY:
        return {number, QStringLiteral("Could not resolve the proxy: %1").arg(detail)};
    case CURLE_COULDNT_CONNECT: {
        const QString reason = f.osError ? QString::fromLocal8Bit(std::strerror(f.osError)) : detail;
        return {number, QStringLiteral("Could not connect to %1 port %2: %3").arg(f.host).arg(f.port).arg(reason)};
    }
    case CURLE_OPERATION_TIMEDOUT:
        if (f.lastStage < InetState::Connected) {
            return {number, QStringLiteral("Could not connect to %1 port %2 within %3 seconds.").arg(f.host).arg(f.port).arg(f.connectTimeoutSeconds)};
        }
        return {number, QStringLiteral("The server %1 sent nothing for %2 seconds, so the transfer was stopped.").arg(f.host).arg(f.responseTimeoutSeconds)};
    case CURLE_GOT_NOTHING:
        return {number, QStringLiteral("The server %1 closed the connection without sending anything.").arg(f.host)};
    case CURLE_RECV_ERROR:
        if (!f.headersComplete && f.detail.contains(QLatin1String("header"), Qt::CaseInsensitive)) {
            return {number, QStringLiteral("The server sent more headers than Vellumin accepts, so the page was not fetched "
                                           "(%1).").arg(detail)};
        }
        if (f.detail.contains(QLatin1String("chunk"), Qt::CaseInsensitive)) {
            return {number, QStringLiteral("The server sent the page in malformed chunks, so it was not shown (%1).").arg(detail)};
        }
        [[fallthrough]];
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return {number, QStringLiteral("The server closed the connection before the whole page arrived.")};
    case CURLE_TOO_MANY_REDIRECTS:
        return {number, QStringLiteral("Too many redirects: the page at %1 kept sending Vellumin elsewhere.").arg(f.url)};
    case CURLE_UNSUPPORTED_PROTOCOL:
        if (!f.location.isEmpty()) {
            return {number, QStringLiteral("The page redirected to an address that is not http or https, which Vellumin does not follow: %1").arg(shownAddress(f.location))};
        }
        // The address was http or https; what came back was something else.
        if (f.lastStage >= InetState::RequestSent) {
            return {number, QStringLiteral("The server's answer is not HTTP, so the page was not fetched (%1).").arg(detail)};
        }
        return {number, QStringLiteral("Vellumin fetches http and https addresses only (%1).").arg(detail)};
    case CURLE_URL_MALFORMAT:
        return {number, QStringLiteral("The address is not valid: %1").arg(detail)};
    case CURLE_PEER_FAILED_VERIFICATION:
        return {number, QStringLiteral("The certificate of %1 is not trusted, so the page was not fetched (%2).").arg(f.host, detail)};
    case CURLE_SSL_CONNECT_ERROR:
        return {number, QStringLiteral("A secure connection to %1 could not be made: %2").arg(f.host, detail)};
    case CURLE_BAD_CONTENT_ENCODING:
        return {number, QStringLiteral("The server sent a compressed page that could not be decoded.")};
    case CURLE_SEND_ERROR:
        return {number, QStringLiteral("The request could not be sent to %1: %2").arg(f.host, detail)};
    case CURLE_ABORTED_BY_CALLBACK:
        return {number, QStringLiteral("The transfer was stopped.")};
    default:
        break;
    }
    return {number, QStringLiteral("The page could not be fetched: %1").arg(detail)};
}
