#include "Connect.h"
#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "Fakes.h"
#include "ProgressTexts.h"
#include "TestHttpServer.h"

#include <QtTest>

namespace {

// One Connect click against fakes, with the failure it reports, if any.
struct Click
{
    FakeStatusBar status;
    FakeTextBox address{QStringLiteral("www.example.com")};
    FakeTransfer transfer;
    FakePageView view;
    std::shared_ptr<Failure> reported = std::make_shared<Failure>();
    int reports = 0;

    Click()
    {
        QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [this](int state) { Inet1_StateChanged(state, status); });
    }

    Command press(const QString &key = QStringLiteral("Connect"))
    {
        Command command = Toolbar1_ButtonClick({key, {}}, status, address, transfer, view);
        command.onFailure([this, reported = reported](const RuntimeError &error) {
            *reported = error;
            ++reports;
        });
        return command;
    }
};

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void fetchShowsDocumentAndCompletes();
    void onlyTheConnectKeyFetches_data();
    void onlyTheConnectKeyFetches();
    void failureKeepsViewAndLastStatus_data();
    void failureKeepsViewAndLastStatus();
    void windowAnswersWhileTheTransferRuns();
    void transferGoneMidwayResumesNothing();
    void stoppedEndsQuietlyAndKeepsTheView();
    void statusFollowsARealTransfer_data();
    void statusFollowsARealTransfer();
};

void TestConnect::fetchShowsDocumentAndCompletes()
{
    Click click;
    click.address.value = QStringLiteral("  Example.com/a b ");
    click.view.document = QStringLiteral("old page");
    click.transfer.states = {1, 2, 3, 4, 5, 6, 7, 7, 8, 9, 10, 12};
    click.transfer.result.document.text = QStringLiteral("{\\rtf1 not rendered}\r\n<html>");
    click.transfer.result.document.facts.address = QStringLiteral("http://example.com/a%20b");

    const Command command = click.press();

    QVERIFY(command.done());
    QCOMPARE(click.reports, 0);
    // The address goes to the transfer exactly as typed.
    QCOMPARE(click.transfer.addresses, QStringList{QStringLiteral("  Example.com/a b ")});
    QCOMPARE(click.view.document, click.transfer.result.document.text);
    QCOMPARE(click.view.calls, QStringList{QStringLiteral("TextRTF")});
    QCOMPARE(click.status.history.first(), QStringLiteral("please wait..."));
    QCOMPARE(click.status.history.last(), QStringLiteral("complete!"));
    QCOMPARE(click.status.history.at(click.status.history.size() - 2), QStringLiteral("disconnecting..."));
    // The bar tells what was fetched.
    QVERIFY2(click.status.details.contains(QStringLiteral("Address: http://example.com/a%20b")), qPrintable(click.status.details));
}

void TestConnect::onlyTheConnectKeyFetches_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("lower case") << QStringLiteral("connect");
    QTest::newRow("upper case") << QStringLiteral("CONNECT");
    QTest::newRow("trailing space") << QStringLiteral("Connect ");
    QTest::newRow("empty") << QString();
}

void TestConnect::onlyTheConnectKeyFetches()
{
    QFETCH(QString, key);
    Click click;
    click.status.simple = QStringLiteral("inactive");

    QVERIFY(click.press(key).done());
    QCOMPARE(click.reports, 0);
    QVERIFY(click.transfer.addresses.isEmpty());
    QVERIFY(click.status.history.isEmpty());
    QVERIFY(click.view.calls.isEmpty());
}

void TestConnect::failureKeepsViewAndLastStatus_data()
{
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QString>("lastStatus");
    QTest::newRow("refused while connecting") << QList<int>{1, 2, 3, 11} << QStringLiteral("connecting...");
    QTest::newRow("dropped mid-body") << QList<int>{1, 2, 3, 4, 5, 6, 7, 11} << QStringLiteral("receiving response...");
    QTest::newRow("refused before sending") << QList<int>{11} << QStringLiteral("please wait...");
}

void TestConnect::failureKeepsViewAndLastStatus()
{
    QFETCH(QList<int>, states);
    QFETCH(QString, lastStatus);
    Click click;
    click.view.document = QStringLiteral("what the user had");
    click.status.details = QStringLiteral("details of what the user had");
    click.transfer.states = states;
    click.transfer.result.error = RuntimeError{7, QStringLiteral("Could not connect")};

    click.press();

    QCOMPARE(click.reports, 1);
    QCOMPARE(click.reported->value().number, 7);
    QCOMPARE(click.view.document, QStringLiteral("what the user had"));
    QVERIFY(click.view.calls.isEmpty());
    QCOMPARE(click.status.simple, lastStatus);
    QVERIFY(!click.status.history.contains(QStringLiteral("complete!")));
    QCOMPARE(click.status.details, QStringLiteral("details of what the user had"));
}

void TestConnect::windowAnswersWhileTheTransferRuns()
{
    Click click;
    click.transfer.holdResult = true;
    click.transfer.result.document.text = QStringLiteral("the page");
    click.view.document = QStringLiteral("old");

    const Command first = click.press();
    // The handler has given the window back while the transfer runs.
    QVERIFY(!first.done());
    QCOMPARE(click.status.simple, QStringLiteral("please wait..."));
    // A second click starts nothing and writes nothing.
    QVERIFY(click.press().done());
    QCOMPARE(click.transfer.addresses.size(), 1);
    QCOMPARE(click.status.history.count(QStringLiteral("please wait...")), 1);
    // The view still answers: what happens to it meanwhile is replaced at the end.
    click.view.setText(QString());

    click.transfer.finish();
    // The handler resumes from the event loop, once the transfer has finished its part.
    QVERIFY(!first.done());
    QTRY_VERIFY(first.done());
    QCOMPARE(click.reports, 0);
    QCOMPARE(click.view.document, QStringLiteral("the page"));
    QCOMPARE(click.status.simple, QStringLiteral("complete!"));
}

void TestConnect::transferGoneMidwayResumesNothing()
{
    Click click;
    click.transfer.holdResult = true;
    click.view.document = QStringLiteral("kept");
    const Command command = click.press();

    click.transfer.abandon();
    QVERIFY(!command.done());
    QCOMPARE(click.reports, 0);
    QCOMPARE(click.view.document, QStringLiteral("kept"));
    QVERIFY(click.view.calls.isEmpty());
    QCOMPARE(click.status.simple, QStringLiteral("please wait..."));
}

void TestConnect::stoppedEndsQuietlyAndKeepsTheView()
{
    Click click;
    click.transfer.holdResult = true;
    click.transfer.result.document.text = QStringLiteral("never shown");
    click.view.document = QStringLiteral("kept");
    click.status.details = QStringLiteral("details kept");
    const Command command = click.press();

    click.transfer.stop();
    QTRY_VERIFY(command.done());
    QCOMPARE(click.reports, 0);
    QCOMPARE(click.view.document, QStringLiteral("kept"));
    QVERIFY(click.view.calls.isEmpty());
    QCOMPARE(click.status.simple, QStringLiteral("transfer stopped"));
    QCOMPARE(click.status.details, QStringLiteral("details kept"));
}

void TestConnect::statusFollowsARealTransfer_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QStringList>("texts"); // the status line, repeats folded
    // The misspellings are the program's own texts.
    const QStringList start = {QStringLiteral("please wait..."), QStringLiteral("resloving host..."),
                               QStringLiteral("host resloved..."), QStringLiteral("connecting..."),
                               QStringLiteral("connected..."), QStringLiteral("requesting..."),
                               QStringLiteral("request sent..."), QStringLiteral("receiving response...")};
    QTest::newRow("a page: every stage, then complete")
        << QByteArray("/page")
        << start + QStringList{QStringLiteral("response received..."), QStringLiteral("disconnecting..."), QStringLiteral("complete!")};
    QTest::newRow("dropped mid-body: the last stage stays") << QByteArray("/dropped") << start;
}

void TestConnect::statusFollowsARealTransfer()
{
    QFETCH(QByteArray, path);
    QFETCH(QStringList, texts);
    const CurlGlobal curl;
    TestHttpServer server;
    server.route("/page", TestHttpServer::ok("<html>page</html>"));
    server.route("/dropped", {{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf", 0, true}});
    CurlTransfer transfer;
    FakeStatusBar status;
    FakeTextBox address(server.base() + QString::fromLatin1(path));
    FakePageView view;
    QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [&status](int state) { Inet1_StateChanged(state, status); });

    const Command command = Toolbar1_ButtonClick({QStringLiteral("Connect"), {}}, status, address, transfer, view);
    QTRY_VERIFY_WITH_TIMEOUT(command.done(), 30000);
    QCOMPARE(foldRepeats(status.history), texts);
}

QTEST_GUILESS_MAIN(TestConnect)
#include "tst_connect.moc"
