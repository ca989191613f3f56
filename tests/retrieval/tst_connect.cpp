#include "Connect.h"
#include "Fakes.h"
#include "ProgressTexts.h"

#include <QtTest>

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void fetchShowsDocumentAndCompletes();
    void onlyTheConnectKeyFetches_data();
    void onlyTheConnectKeyFetches();
    void failureKeepsViewAndLastStatus_data();
    void failureKeepsViewAndLastStatus();
    void clickDuringTransferStartsNothing();
    void progressTexts_data();
    void progressTexts();
};

void TestConnect::fetchShowsDocumentAndCompletes()
{
    FakeStatusBar status;
    FakeTextBox address(QStringLiteral("  Example.com/a b "));
    FakeTransfer transfer;
    FakePageView view;
    view.document = QStringLiteral("old page");
    transfer.states = {1, 2, 3, 4, 5, 6, 7, 7, 8, 9, 10, 12};
    transfer.result.document = QStringLiteral("{\\rtf1 not rendered}\r\n<html>");
    QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [&](int state) { Inet1_StateChanged(state, status); });

    const Failure failure = Toolbar1_ButtonClick({QStringLiteral("Connect"), {}}, status, address, transfer, view);

    QVERIFY(!failure);
    // The address goes to the transfer exactly as typed.
    QCOMPARE(transfer.addresses, QStringList{QStringLiteral("  Example.com/a b ")});
    QCOMPARE(view.document, transfer.result.document);
    QCOMPARE(view.calls, QStringList{QStringLiteral("TextRTF")});
    QCOMPARE(status.history.first(), QStringLiteral("please wait..."));
    QCOMPARE(status.history.last(), QStringLiteral("complete!"));
    QCOMPARE(status.history.at(status.history.size() - 2), QStringLiteral("disconnecting..."));
}

void TestConnect::onlyTheConnectKeyFetches_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("lower case") << QStringLiteral("connect");
    QTest::newRow("upper case") << QStringLiteral("CONNECT");
    QTest::newRow("trailing space") << QStringLiteral("Connect ");
    QTest::newRow("another button") << QStringLiteral("Stop");
    QTest::newRow("empty") << QString();
}

void TestConnect::onlyTheConnectKeyFetches()
{
    QFETCH(QString, key);
    FakeStatusBar status;
    status.simple = QStringLiteral("inactive");
    FakeTextBox address(QStringLiteral("www.example.com"));
    FakeTransfer transfer;
    FakePageView view;

    QVERIFY(!Toolbar1_ButtonClick({key, {}}, status, address, transfer, view));
    QVERIFY(transfer.addresses.isEmpty());
    QVERIFY(status.history.isEmpty());
    QVERIFY(view.calls.isEmpty());
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
    FakeStatusBar status;
    FakeTextBox address(QStringLiteral("127.0.0.1:9"));
    FakeTransfer transfer;
    FakePageView view;
    view.document = QStringLiteral("what the user had");
    transfer.states = states;
    transfer.result.error = RuntimeError{7, QStringLiteral("Could not connect")};
    QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [&](int state) { Inet1_StateChanged(state, status); });

    const Failure failure = Toolbar1_ButtonClick({QStringLiteral("Connect"), {}}, status, address, transfer, view);

    QVERIFY(failure);
    QCOMPARE(failure->number, 7);
    QCOMPARE(view.document, QStringLiteral("what the user had"));
    QVERIFY(view.calls.isEmpty());
    QCOMPARE(status.simple, lastStatus);
    QVERIFY(!status.history.contains(QStringLiteral("complete!")));
}

void TestConnect::clickDuringTransferStartsNothing()
{
    FakeStatusBar status;
    status.simple = QStringLiteral("receiving response...");
    FakeTextBox address(QStringLiteral("www.example.com"));
    FakeTransfer transfer;
    transfer.isBusy = true;
    FakePageView view;

    QVERIFY(!Toolbar1_ButtonClick({QStringLiteral("Connect"), {}}, status, address, transfer, view));
    QVERIFY(transfer.addresses.isEmpty());
    QCOMPARE(status.simple, QStringLiteral("receiving response..."));
}

void TestConnect::progressTexts_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text"); // empty: the line keeps its text
    QTest::newRow("0 no state") << 0 << QString();
    QTest::newRow("1") << 1 << QStringLiteral("resloving host...");
    QTest::newRow("2") << 2 << QStringLiteral("host resloved...");
    QTest::newRow("3") << 3 << QStringLiteral("connecting...");
    QTest::newRow("4") << 4 << QStringLiteral("connected...");
    QTest::newRow("5") << 5 << QStringLiteral("requesting...");
    QTest::newRow("6") << 6 << QStringLiteral("request sent...");
    QTest::newRow("7") << 7 << QStringLiteral("receiving response...");
    QTest::newRow("8") << 8 << QStringLiteral("response received...");
    QTest::newRow("9") << 9 << QStringLiteral("disconnecting...");
    QTest::newRow("10 disconnected") << 10 << QString();
    QTest::newRow("11 error") << 11 << QString();
    QTest::newRow("12 completed") << 12 << QString();
    QTest::newRow("negative") << -1 << QString();
    QTest::newRow("16-bit max") << 32767 << QString();
}

void TestConnect::progressTexts()
{
    QFETCH(int, state);
    QFETCH(QString, text);
    FakeStatusBar status;
    status.simple = QStringLiteral("before");
    Inet1_StateChanged(state, status);
    QCOMPARE(status.simple, text.isEmpty() ? QStringLiteral("before") : text);
    QCOMPARE(status.history.size(), text.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestConnect)
#include "tst_connect.moc"
