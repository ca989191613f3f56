#pragma once

#include "RuntimeError.h"

// moc cannot read the coroutine headers, and needs nothing from them.
#ifndef Q_MOC_RUN
#include "Pending.h"
#endif

#include <QByteArray>
#include <QObject>
#include <QString>

// Stages a transfer reports through stateChanged.
namespace InetState {
constexpr int None = 0;
constexpr int ResolvingHost = 1;
constexpr int HostResolved = 2;
constexpr int Connecting = 3;
constexpr int Connected = 4;
constexpr int Requesting = 5;
constexpr int RequestSent = 6;
constexpr int ReceivingResponse = 7;
constexpr int ResponseReceived = 8;
constexpr int Disconnecting = 9;
constexpr int Disconnected = 10;
constexpr int Error = 11;
constexpr int ResponseCompleted = 12;
} // namespace InetState

// Where the encoding of a document came from.
enum class EncodingOrigin {
    ByteOrderMark,
    ContentType,    // the charset of the Content-Type header
    Meta,           // a <meta> in the document
    XmlDeclaration,
    ValidUtf8,      // undeclared, and valid UTF-8
    Fallback,       // undeclared and not UTF-8: windows-1252
    MetaWhileParsing, // a <meta> in the head that the parser met past the prescan
};

// What is known about a fetched document, beyond its text.
struct DocumentFacts
{
    QString address;        // the address finally fetched
    int redirects = 0;      // how many redirects led there
    QString protocol;       // "HTTP/1.1", "HTTP/2"
    int status = 0;         // 200, 404, ...
    QByteArray encoding;    // the encoding the text was decoded with
    EncodingOrigin encodingOrigin = EncodingOrigin::Fallback;
    qint64 wireBytes = 0;   // what arrived: the last response's headers and body as sent
    qint64 bytes = 0;       // the document's bytes, after decompression
    qint64 characters = 0;  // Unicode characters of the text
    qint64 lines = 0;
    qint64 elapsedMs = 0;   // the whole transfer, redirects included
};

// A whole document, as a transfer hands it over.
struct FetchedDocument
{
    QString text;
    // The Content-Type the server sent, as it sent it; empty when there was none.
    QByteArray contentType;
    // Its MIME type, as browsers read it ("text/html"); empty when there is none.
    QByteArray mimeType;
    DocumentFacts facts;
};

struct FetchResult
{
    FetchedDocument document;
    Failure error;
    // The user stopped the transfer: there is neither a document nor an error.
    bool stopped = false;
};

// One whole-document retrieval at a time. openURL starts the transfer and returns at
// once; the caller co_awaits the result, which arrives on the caller's thread when
// the whole document is there or the transfer has failed. Meanwhile stateChanged
// reports each stage on the same thread, in the order the stages happened.
class Transfer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual Pending<FetchResult> openURL(const QString &address) = 0;
    virtual bool busy() const = 0;
    // Ends a running transfer now and frees what it held; its result says it was
    // stopped. Nothing happens when no transfer runs.
    virtual void stop() = 0;

signals:
    void stateChanged(int state);
    // A transfer started (busy) or ended, whichever way.
    void busyChanged(bool busy);
    // How much of the body has arrived, as sent (compressed or not), against the
    // length the server declared; -1 when it declared none. At most ten times a second.
    void progressed(qint64 received, qint64 total);
};
