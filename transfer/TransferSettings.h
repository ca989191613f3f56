#pragma once

#include <QtGlobal>

struct TransferSettings
{
    // Longest wait for a connection, and for the server's response to go on.
    int connectTimeoutSeconds = 60;
    int responseTimeoutSeconds = 60;
    // A larger document is refused; counted after decompression.
    qint64 maxDocumentBytes = qint64(256) * 1024 * 1024;
};
