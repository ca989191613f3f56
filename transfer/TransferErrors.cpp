#include "TransferErrors.h"

#include "Transfer.h"

#include <QUrl>

#include <cstring>

namespace {

// libcurl refuses a single header line longer than this, and says only that it ran
// out of memory.
constexpr int maxHeaderLineKiB = 100;

} // namespace

QString shownAddress(QByteArrayView url)
{
    // The URLs here are our parser's serialisations, or a server's Location: the
    // userinfo is whatever stands between "//" and the last "@" of the authority.
    QByteArray shown = url.toByteArray();
    const qsizetype slashes = shown.indexOf("//");
    if (slashes >= 0) {
        const qsizetype authority = slashes + 2;
        qsizetype end = authority;
        while (end < shown.size() && !QByteArrayView("/?#\\").contains(shown.at(end)))
            ++end;
        const qsizetype at = shown.lastIndexOf('@', end - 1);
        if (at >= authority) {
            const qsizetype colon = shown.indexOf(':', authority);
            if (colon >= 0 && colon < at)
                shown.remove(colon, at - colon);
        }
    }
    return QString::fromUtf8(shown);
}

QString sentHost(QByteArrayView url)
{
    return QUrl::fromEncoded(url.toByteArray()).host(QUrl::FullyEncoded);
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
