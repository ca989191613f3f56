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

// A whole document, as a transfer hands it over.
struct FetchedDocument
{
    QString text;
    // The Content-Type the server sent, as it sent it; empty when there was none.
    QByteArray contentType;
};

struct FetchResult
{
    FetchedDocument document;
    Failure error;
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

signals:
    void stateChanged(int state);
};
