#pragma once

#include "Transfer.h"
#include "TransferSettings.h"

// The transfer component on libcurl. The blocking transfer runs on a worker thread;
// openURL waits in a local event loop, so the window keeps painting and handling
// input, and each stage reaches stateChanged on the caller's thread in order.
class CurlTransfer : public Transfer
{
    Q_OBJECT

public:
    explicit CurlTransfer(TransferSettings settings = {}, QObject *parent = nullptr);

    OpenUrlResult openURL(const QString &address) override;
    bool busy() const override { return m_busy; }

private:
    TransferSettings m_settings;
    bool m_busy = false;
};
