#pragma once

#include "RuntimeError.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

// What is known about a transfer that failed, gathered from the handle and the job.
struct TransferFailure
{
    CURLcode code = CURLE_OK;
    QString url;          // the address first asked for, as shownAddress() shows it
    QString host;         // as sent: the ASCII form
    int port = 0;
    QString detail;       // libcurl's own words; may be empty
    int osError = 0;      // errno of a failed connect
    int lastStage = 0;    // the last stage reached
    bool tooLarge = false;
    bool outOfMemory = false; // one of our own allocations failed
    bool headersComplete = false; // of the last response
    QByteArray location;  // the target of a redirect that was refused
    int connectTimeoutSeconds = 0;
    int responseTimeoutSeconds = 0;
    qint64 maxDocumentBytes = 0;
};

// The error the user sees: libcurl's code as its number, and a sentence that says
// what happened in the user's terms, never one that stops at a colon.
RuntimeError describeFailure(const TransferFailure &failure);

// The message that goes with running out of memory while receiving or decoding.
RuntimeError notEnoughMemory();

// An address as a message shows it: the password left out (userinfo as `user@` at
// most), and the host as it is sent, in its ASCII form.
QString shownAddress(QByteArrayView url);

// The host of a request URL as it is sent: the ASCII (punycode) form, never decoded to
// Unicode, where a look-alike could pass for a well-known name.
QString sentHost(QByteArrayView url);
