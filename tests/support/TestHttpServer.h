#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A sequence with consecutive repeats folded into one ("receiving response..." repeats).
template<typename T>
QList<T> foldRepeats(const QList<T> &items)
{
    QList<T> result;
    for (const T &item : items) {
        if (result.isEmpty() || result.last() != item)
            result.append(item);
    }
    return result;
}

// A loopback HTTP server for tests, on a port the OS picks. Each path answers with a
// script of raw steps: bytes to send, pauses, and closing the connection. Every
// request is recorded as it arrived.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Step
    {
        QByteArray bytes;
        int pauseMs = 0;  // before sending the bytes
        bool close = false;
    };
    using Script = QList<Step>;

    struct Request
    {
        QByteArray method;
        QByteArray target;
        QByteArray raw;
        QByteArray header(const QByteArray &name) const;
    };

    explicit TestHttpServer(QObject *parent = nullptr);
    quint16 port() const { return m_server.serverPort(); }
    QString base() const;  // "127.0.0.1:PORT", without a scheme

    void route(const QByteArray &target, Script script);
    // A script chosen when the request arrives; used for unknown targets too.
    void setFallback(std::function<Script(const Request &)> fallback) { m_fallback = std::move(fallback); }

    QList<Request> requests;
    int connections = 0;
    // Connections the client has not closed yet.
    int openConnections() const { return m_open; }

    // A loopback port where nothing listens: connections to it are refused.
    static quint16 closedPort();

    static QByteArray response(int status, const QByteArray &body, const QByteArray &contentType = "text/html",
                               const QByteArray &extraHeaders = {});
    static Script ok(const QByteArray &body, const QByteArray &contentType = "text/html");
    static Script redirect(int status, const QByteArray &location);

private:
    void onNewConnection();
    void serve(QTcpSocket *socket, const Request &request);

    QTcpServer m_server;
    int m_open = 0;
    QHash<QByteArray, Script> m_routes;
    std::function<Script(const Request &)> m_fallback;
};
