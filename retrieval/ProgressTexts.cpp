#include "ProgressTexts.h"

#include "StatusBar.h"
#include "Transfer.h"

std::optional<QString> progressText(int state)
{
    switch (state) {
    case InetState::ResolvingHost: return QStringLiteral("resloving host...");
    case InetState::HostResolved: return QStringLiteral("host resloved...");
    case InetState::Connecting: return QStringLiteral("connecting...");
    case InetState::Connected: return QStringLiteral("connected...");
    case InetState::Requesting: return QStringLiteral("requesting...");
    case InetState::RequestSent: return QStringLiteral("request sent...");
    case InetState::ReceivingResponse: return QStringLiteral("receiving response...");
    case InetState::ResponseReceived: return QStringLiteral("response received...");
    case InetState::Disconnecting: return QStringLiteral("disconnecting...");
    default: return std::nullopt;
    }
}

void Inet1_StateChanged(int state, StatusBar &sbrStatus)
{
    if (const std::optional<QString> text = progressText(state))
        sbrStatus.setSimpleText(*text);
}
