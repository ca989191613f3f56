#include "Command.h"
#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "FakeServices.h"
#include "Form1.h"
#include "QtTextBox.h"
#include "QtToolbar.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback server on a thread of its own, so that it answers however busy the
// window's thread is: each connection gets one small page and is closed.
class QuickServer
{
public:
    QuickServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length);
        ::listen(m_listener, 64);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~QuickServer()
    {
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

private:
    void serve()
    {
        static const char answer[] = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\ndone";
        while (!m_stopping) {
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                request.append(buffer, got);
            }
            ::send(connection, answer, sizeof answer - 1, MSG_NOSIGNAL);
            ::close(connection);
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic_bool m_stopping{false};
    std::thread m_thread;
};

// Runs the event loop until the transfer reports the stage, or for at most ten seconds.
bool runUntilStage(Transfer &transfer, int stage)
{
    QEventLoop loop;
    bool reached = false;
    QObject::connect(&transfer, &Transfer::stateChanged, &loop, [&](int state) {
        if (state == stage) {
            reached = true;
            loop.quit();
        }
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return reached;
}

// A moment's delay that differs from one round to the next, so that the destruction
// meets the worker at every point of its last steps.
void jitter(int round)
{
    [[maybe_unused]] volatile int sink = 0;
    for (int i = 0; i < (round * 7919) % 20000; ++i)
        sink = i;
}

void start(Transfer &transfer, const QString &address, bool *resumed)
{
    [](Pending<FetchResult> pending, bool *resumed) -> Command {
        co_await std::move(pending);
        *resumed = true;
        co_return std::nullopt;
    }(transfer.openURL(address), resumed);
}

} // namespace

// The transfer destroyed as it completes, thousands of times: nothing of it may run on
// what is gone, and no libcurl handle is used after it was ended. Run under the thread
// and address sanitizers, this shows races that a single run hardly ever does.
class TestTransferLifetime : public QObject
{
    Q_OBJECT

    CurlGlobal m_curl;
    QuickServer m_server;

private slots:
    void transferDestroyedAsItCompletes_data();
    void transferDestroyedAsItCompletes();
    void windowClosedAsItsTransferCompletes_data();
    void windowClosedAsItsTransferCompletes();
};

void TestTransferLifetime::transferDestroyedAsItCompletes_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("rounds");
    QTest::newRow("as the response is received") << int(InetState::ResponseReceived) << 600;
    QTest::newRow("as the connection is ended") << int(InetState::Disconnecting) << 600;
    QTest::newRow("as the document is complete") << int(InetState::ResponseCompleted) << 600;
}

void TestTransferLifetime::transferDestroyedAsItCompletes()
{
    QFETCH(int, stage);
    QFETCH(int, rounds);
    for (int round = 0; round < rounds; ++round) {
        auto transfer = std::make_unique<CurlTransfer>();
        bool resumed = false;
        start(*transfer, m_server.address(), &resumed);
        QVERIFY2(runUntilStage(*transfer, stage), qPrintable(QString::number(round)));
        jitter(round);
        transfer.reset();
        QVERIFY(!resumed);
    }
}

void TestTransferLifetime::windowClosedAsItsTransferCompletes_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("rounds");
    QTest::newRow("as the response is received") << int(InetState::ResponseReceived) << 120;
    QTest::newRow("as the connection is ended") << int(InetState::Disconnecting) << 120;
}

void TestTransferLifetime::windowClosedAsItsTransferCompletes()
{
    QFETCH(int, stage);
    QFETCH(int, rounds);
    for (int round = 0; round < rounds; ++round) {
        FakeServices fakes;
        fakes.messageBox.nextAnswer = MsgBox::yes;
        auto form = std::make_unique<Form1>(fakes.services());
        form->txtURL()->setText(m_server.address());
        emit form->Toolbar1()->buttonClick({QStringLiteral("Connect"), QStringLiteral("&Connect")});
        QVERIFY2(runUntilStage(*form->Inet1(), stage), qPrintable(QString::number(round)));
        jitter(round);
        // As on the user's Yes: the program is asked to end, and main's window goes.
        QVERIFY(form->close());
        QCOMPARE(fakes.program.ended, 1);
        form.reset();
    }
}

QTEST_MAIN(TestTransferLifetime)
#include "tst_transferlifetime.moc"
