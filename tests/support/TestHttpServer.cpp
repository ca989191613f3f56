#include "TestHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

QByteArray TestHttpServer::Request::header(const QByteArray &name) const
{
    const QList<QByteArray> lines = raw.split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::base() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void TestHttpServer::route(const QByteArray &target, Script script)
{
    m_routes.insert(target, std::move(script));
}

quint16 TestHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray TestHttpServer::response(int status, const QByteArray &body, const QByteArray &contentType,
                                    const QByteArray &extraHeaders)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Test\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n";
    return head + body;
}

TestHttpServer::Script TestHttpServer::ok(const QByteArray &body, const QByteArray &contentType)
{
    return {{response(200, body, contentType)}};
}

TestHttpServer::Script TestHttpServer::redirect(int status, const QByteArray &location)
{
    return {{response(status, {}, {}, "Location: " + location + "\r\n")}};
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++connections;
        ++m_open;
        connect(socket, &QTcpSocket::disconnected, this, [this] { --m_open; });
        auto *buffer = new QByteArray;
        connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            Request request;
            request.raw = buffer->left(end + 4);
            buffer->remove(0, end + 4);
            const QList<QByteArray> requestLine = request.raw.left(request.raw.indexOf("\r\n")).split(' ');
            request.method = requestLine.value(0);
            request.target = requestLine.value(1);
            requests.append(request);
            serve(socket, request);
        });
    }
}

void TestHttpServer::serve(QTcpSocket *socket, const Request &request)
{
    Script script;
    if (m_routes.contains(request.target))
        script = m_routes.value(request.target);
    else if (m_fallback)
        script = m_fallback(request);
    else
        script = {{response(404, "not found")}};

    // Steps run one after another, each after its pause, on this thread's loop.
    int delay = 0;
    QPointer<QTcpSocket> guard(socket);
    for (const Step &step : std::as_const(script)) {
        delay += step.pauseMs;
        QTimer::singleShot(delay, this, [guard, step] {
            if (!guard)
                return;
            if (!step.bytes.isEmpty())
                guard->write(step.bytes);
            if (step.close) {
                guard->flush();
                guard->disconnectFromHost();
            }
        });
    }
}
