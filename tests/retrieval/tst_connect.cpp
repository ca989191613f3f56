#include "Connect.h"
#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "Fakes.h"
#include "ProgressTexts.h"
#include "TestHttpServer.h"

#include <QtTest>

Q_DECLARE_METATYPE(History::Step)

namespace {

// One Connect click against fakes, with the failure it reports, if any.
struct Click
{
    FakeStatusBar status;
    FakeTextBox address{QStringLiteral("www.example.com")};
    FakeTransfer transfer;
    FakePageView view;
    History history;
    std::shared_ptr<Failure> reported = std::make_shared<Failure>();
    int reports = 0;

    Click()
    {
        QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [this](int state) { Inet1_StateChanged(state, status); });
    }

    Command press(const QString &key = QStringLiteral("Connect"))
    {
        return reporting(Toolbar1_ButtonClick({key, {}}, status, address, transfer, view, history));
    }

    Command step(History::Step step) { return reporting(connectStep(step, status, address, transfer, view, history)); }

    Command reporting(Command command)
    {
        command.onFailure([this, reported = reported](const RuntimeError &error) {
            *reported = error;
            ++reports;
        });
        return command;
    }

    // Runs one line of a history script: "open ADDRESS", "back", "forward", "reload",
    // any of them after "fail " to make that fetch fail, or "place CARET TOPLINE" to
    // move in the document on show. A fetched page's text is "page of ADDRESS".
    void run(const QString &line)
    {
        QStringList words = line.split(QLatin1Char(' '));
        if (words.first() == QLatin1String("place")) {
            view.here = {words.at(1).toLongLong(), words.at(2).toLongLong()};
            return;
        }
        const bool fail = words.first() == QLatin1String("fail");
        if (fail)
            words.removeFirst();
        History::Step step = History::Step::New;
        if (words.first() == QLatin1String("back"))
            step = History::Step::Back;
        else if (words.first() == QLatin1String("forward"))
            step = History::Step::Forward;
        else if (words.first() == QLatin1String("reload"))
            step = History::Step::Reload;
        else
            address.value = words.at(1);
        const QString target = step == History::Step::New ? address.value : history.addressFor(step);
        transfer.result = {};
        if (fail) {
            transfer.result.error = RuntimeError{7, QStringLiteral("Could not connect")};
        } else {
            // Lines enough for any place a script moves to.
            transfer.result.document.text = QStringLiteral("page of %1\n").arg(target).repeated(20);
            transfer.result.document.facts.address = target;
        }
        if (step == History::Step::New)
            press();
        else
            this->step(step);
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
    void historySteps_data();
    void historySteps();
    void stepsDuringATransferDoNothing_data();
    void stepsDuringATransferDoNothing();
    void stoppedStepKeepsThePlace();
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

void TestConnect::historySteps_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("shown");      // the address whose page is on show
    QTest::addColumn<QString>("box");        // the address box afterwards
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<qsizetype>("current");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<qsizetype>("topLine");
    QTest::addColumn<int>("reports");

    QTest::newRow("back shows the page before, caret and scroll where they were")
        << QStringList{"open a", "place 25 3", "open b", "place 9 1", "back"}
        << "a" << "a" << QStringList{"a", "b"} << qsizetype(0) << qsizetype(25) << qsizetype(3) << 0;
    QTest::newRow("forward after back returns to the later page and its place")
        << QStringList{"open a", "place 25 3", "open b", "place 9 1", "back", "place 2 0", "forward"}
        << "b" << "b" << QStringList{"a", "b"} << qsizetype(1) << qsizetype(9) << qsizetype(1) << 0;
    QTest::newRow("back twice, forward once")
        << QStringList{"open a", "place 1 1", "open b", "place 2 2", "open c", "back", "back", "forward"}
        << "b" << "b" << QStringList{"a", "b", "c"} << qsizetype(1) << qsizetype(2) << qsizetype(2) << 0;
    QTest::newRow("a new page after back drops the pages ahead")
        << QStringList{"open a", "open b", "back", "open c"}
        << "c" << "c" << QStringList{"a", "c"} << qsizetype(1) << qsizetype(0) << qsizetype(0) << 0;
    QTest::newRow("reload shows the page again where the reader was")
        << QStringList{"open a", "place 40 6", "reload"}
        << "a" << "a" << QStringList{"a"} << qsizetype(0) << qsizetype(40) << qsizetype(6) << 0;
    QTest::newRow("a failed back keeps the page, the place and the history")
        << QStringList{"open a", "open b", "place 9 1", "fail back"}
        << "b" << "a" << QStringList{"a", "b"} << qsizetype(1) << qsizetype(9) << qsizetype(1) << 1;
    QTest::newRow("after a failed back, back still goes back")
        << QStringList{"open a", "place 25 3", "open b", "fail back", "back"}
        << "a" << "a" << QStringList{"a", "b"} << qsizetype(0) << qsizetype(25) << qsizetype(3) << 1;
    QTest::newRow("a failed new page adds no entry")
        << QStringList{"open a", "open b", "place 9 1", "fail open c", "back"}
        << "a" << "a" << QStringList{"a", "b"} << qsizetype(0) << qsizetype(0) << qsizetype(0) << 1;
    QTest::newRow("back from the first page fetches nothing")
        << QStringList{"open a", "place 9 1", "back"}
        << "a" << "a" << QStringList{"a"} << qsizetype(0) << qsizetype(9) << qsizetype(1) << 0;
    QTest::newRow("forward from the last page fetches nothing")
        << QStringList{"open a", "open b", "place 9 1", "forward"}
        << "b" << "b" << QStringList{"a", "b"} << qsizetype(1) << qsizetype(9) << qsizetype(1) << 0;
    QTest::newRow("nothing to reload before the first page")
        << QStringList{"reload"}
        << QString() << QString("www.example.com") << QStringList{} << qsizetype(-1) << qsizetype(0) << qsizetype(0) << 0;
}

void TestConnect::historySteps()
{
    QFETCH(QStringList, script);
    QFETCH(QString, shown);
    QFETCH(QString, box);
    QFETCH(QStringList, entries);
    QFETCH(qsizetype, current);
    QFETCH(qsizetype, caret);
    QFETCH(qsizetype, topLine);
    QFETCH(int, reports);
    Click click;

    for (const QString &line : script)
        click.run(line);

    QCOMPARE(click.view.document.section(QLatin1Char('\n'), 0, 0), shown.isEmpty() ? QString() : "page of " + shown);
    QCOMPARE(click.address.value, box);
    QCOMPARE(click.history.addresses(), entries);
    QCOMPARE(click.history.currentIndex(), current);
    QCOMPARE(click.view.here.caret, caret);
    QCOMPARE(click.view.here.topLine, topLine);
    QCOMPARE(click.reports, reports);
    QVERIFY(!click.history.underWay());
    // Every fetch that ran started with the status line's first text.
    QCOMPARE(click.status.history.count(QStringLiteral("please wait...")), click.transfer.addresses.size());
}

void TestConnect::stepsDuringATransferDoNothing_data()
{
    QTest::addColumn<History::Step>("step");
    QTest::newRow("back") << History::Step::Back;
    QTest::newRow("forward") << History::Step::Forward;
    QTest::newRow("reload") << History::Step::Reload;
    QTest::newRow("new") << History::Step::New;
}

void TestConnect::stepsDuringATransferDoNothing()
{
    QFETCH(History::Step, step);
    Click click;
    click.run(QStringLiteral("open a"));
    click.run(QStringLiteral("open b"));
    click.run(QStringLiteral("back"));
    click.transfer.holdResult = true;
    click.address.value = QStringLiteral("c");
    click.transfer.result.document.text = QStringLiteral("page of c");
    click.transfer.result.document.facts.address = QStringLiteral("c");
    const Command running = click.press();
    QVERIFY(!running.done());

    const Command ignored = click.step(step);
    QVERIFY(ignored.done());
    QCOMPARE(click.transfer.addresses.size(), 4);
    QCOMPARE(click.address.value, QStringLiteral("c"));

    click.transfer.finish();
    QTRY_VERIFY(running.done());
    QCOMPARE(click.view.document, QStringLiteral("page of c"));
    QCOMPARE(click.history.addresses(), (QStringList{"a", "c"}));
    QCOMPARE(click.reports, 0);
}

void TestConnect::stoppedStepKeepsThePlace()
{
    Click click;
    click.run(QStringLiteral("open a"));
    click.run(QStringLiteral("open b"));
    click.run(QStringLiteral("place 9 1"));
    const QString shown = click.view.document;
    click.transfer.holdResult = true;
    const Command back = click.step(History::Step::Back);
    QVERIFY(!back.done());
    QCOMPARE(click.status.simple, QStringLiteral("please wait..."));

    click.transfer.stop();
    QTRY_VERIFY(back.done());
    QCOMPARE(click.status.simple, QStringLiteral("transfer stopped"));
    QCOMPARE(click.view.document, shown);
    QCOMPARE(click.view.here.caret, 9);
    QCOMPARE(click.history.currentIndex(), 1);
    QVERIFY(!click.history.underWay());
    // The history takes the next step as if the stopped one had not been.
    click.transfer.holdResult = false;
    click.run(QStringLiteral("forward"));
    QCOMPARE(click.transfer.addresses.size(), 3);
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

    History history;
    const Command command = Toolbar1_ButtonClick({QStringLiteral("Connect"), {}}, status, address, transfer, view, history);
    QTRY_VERIFY_WITH_TIMEOUT(command.done(), 30000);
    QCOMPARE(foldRepeats(status.history), texts);
}

QTEST_GUILESS_MAIN(TestConnect)
#include "tst_connect.moc"
