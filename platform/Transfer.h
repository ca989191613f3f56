#pragma once

#include "RuntimeError.h"

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

struct OpenUrlResult
{
    QString document;
    Failure error;
};

// One whole-document retrieval at a time. openURL blocks its caller until the
// document has arrived or the transfer failed; stateChanged is emitted on the
// caller's thread while it runs, in the order the stages happened.
class Transfer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual OpenUrlResult openURL(const QString &address) = 0;
    virtual bool busy() const = 0;

signals:
    void stateChanged(int state);
};
