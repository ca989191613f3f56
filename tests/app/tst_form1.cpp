#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "FakeServices.h"
#include "Form1.h"
#include "QtPageView.h"
#include "QtPopupMenu.h"
#include "QtStatusBar.h"
#include "QtTextBox.h"
#include "QtToolbar.h"
#include "SourceView.h"
#include "TransferProgress.h"
#include "TestHttpServer.h"

#include <QMenuBar>
#include <QToolButton>
#include <QtTest>

namespace {

// One logical pixel in twips, on the window's screen.
int px(const QWidget *w, double twips)
{
    return qRound(twips * w->logicalDpiY() / 1440.0);
}

struct Window : FakeServices
{
    std::unique_ptr<Form1> form;
    QStringList statusTexts;

    explicit Window(TransferSettings transfer = {})
    {
        form = std::make_unique<Form1>(services(transfer));
        QObject::connect(form->sbrStatus(), &QtStatusBar::simpleTextChanged, form.get(),
                         [this](const QString &text) { statusTexts.append(text); });
    }

    // Clicks Connect and returns at once, as the click handler does.
    void startConnect(const QString &address)
    {
        form->txtURL()->setText(address);
        QTest::mouseClick(form->connectButton(), Qt::LeftButton);
    }

    // Clicks Connect and lets the window run until the transfer is over.
    bool connectTo(const QString &address)
    {
        startConnect(address);
        const bool idle = QTest::qWaitFor([this] { return !form->Inet1()->busy(); }, 30000);
        // The handler resumes from the event loop once the transfer is idle.
        QCoreApplication::sendPostedEvents();
        return idle;
    }
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    CurlGlobal m_curl;

private slots:
    void startsEmptyWithTheViewFocused();
    void controlsAtTheirPlaces_data();
    void controlsAtTheirPlaces();
    void firstShowLaysOut();
    void maximiseAndRestore();
    void enterInAddressBoxStartsNothing();
    void historyKeysAndButtons_data();
    void historyKeysAndButtons();
    void backToAChangedPageClampsThePlace();
    void clickOnAStylesheetLink_data();
    void clickOnAStylesheetLink();
    void followAMarkupLink_data();
    void followAMarkupLink();
    void connectShowsThePage();
    void fetchingTwiceReplaces();
    void statusFollowsTheStages();
    void failedFetchReportsAndKeepsEverything();
    void windowAnswersDuringSlowTransfer();
    void closeAnsweredNoDuringTransferKeepsTheFetch();
    void destroyedDuringTransfer_data();
    void destroyedDuringTransfer();
    void closeAsks();
    void progressOfLongTransfers_data();
    void progressOfLongTransfers();
};

void TestForm1::startsEmptyWithTheViewFocused()
{
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Vellumin by Orvak"));
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("inactive"));
    QCOMPARE(w.form->sbrStatus()->panelText(QStringLiteral("STATUS")), QStringLiteral("inactive"));
    QCOMPARE(w.form->rchtxtHTML()->text(), QString());
    QCOMPARE(QApplication::focusWidget(), w.form->rchtxtHTML());
    QCOMPARE(w.form->txtURL()->text(), QStringLiteral("www.example.com"));
    QVERIFY(w.form->txtURL()->maxLength() > 1000000);
    QCOMPARE(w.form->txtURL()->parentWidget(), w.form->Toolbar1());
    QCOMPARE(w.form->connectButton()->text(), QStringLiteral("&Connect"));
    QVERIFY(!w.form->windowIcon().isNull());
    QVERIFY(!w.form->findChild<QMenuBar *>());
    QVERIFY(w.messageBox.prompts.isEmpty());
    // Tab goes from the view to the address box.
    QTest::keyClick(w.form->rchtxtHTML(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.form->txtURL());
    // The client area is 3375 x 2415 twips.
    QCOMPARE(w.form->width(), px(w.form.get(), 3375));
    QCOMPARE(w.form->height(), px(w.form.get(), 2415));
}

void TestForm1::controlsAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("view") << QStringLiteral("rchtxtHTML") << QRect(0, 360, 3375, 1810);
    QTest::newRow("toolbar") << QStringLiteral("Toolbar1") << QRect(0, 0, 3375, 330);
    QTest::newRow("button") << QStringLiteral("Connect") << QRect(0, 0, 1095, 330);
    QTest::newRow("address box") << QStringLiteral("txtURL") << QRect(1110, 50, 2255, 1070);
    QTest::newRow("status bar") << QStringLiteral("sbrStatus") << QRect(0, 2160, 3375, 255);
}

void TestForm1::controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    auto *control = w.form->findChild<QWidget *>(name);
    QVERIFY(control);
    const QRect actual = control->geometry();
    const QWidget *f = w.form.get();
    QVERIFY2(qAbs(actual.x() - px(f, twips.x())) <= 1, qPrintable(name));
    QVERIFY2(qAbs(actual.y() - px(f, twips.y())) <= 1, qPrintable(name));
    QVERIFY2(qAbs(actual.width() - px(f, twips.width())) <= 1, qPrintable(QStringLiteral("%1 width %2").arg(name).arg(actual.width())));
    QVERIFY2(qAbs(actual.height() - px(f, twips.height())) <= 1, qPrintable(QStringLiteral("%1 height %2").arg(name).arg(actual.height())));
}

void TestForm1::firstShowLaysOut()
{
    Window w;
    // Until the window is shown, the address box keeps the height it was made with.
    QCOMPARE(w.form->txtURL()->height(), px(w.form.get(), 285));
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QCOMPARE(w.form->txtURL()->height(), px(w.form.get(), 1070));
    // Only the top of it shows, inside the toolbar.
    QVERIFY(w.form->txtURL()->geometry().bottom() > w.form->Toolbar1()->height());
}

void TestForm1::maximiseAndRestore()
{
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QWidget *view = w.form->rchtxtHTML();
    QWidget *box = w.form->txtURL();
    const QPoint viewPos = view->pos();
    const QPoint boxPos = box->pos();
    const QSize smallView = view->size();

    w.form->showMaximized();
    QTRY_VERIFY(w.form->width() > 400);
    const Form1 *f = w.form.get();
    QTRY_COMPARE(view->width(), px(f, f->outerWidthTwips() - 120));
    QCOMPARE(view->height(), px(f, f->outerHeightTwips() - 1010));
    QCOMPARE(box->width(), px(f, f->outerWidthTwips() - 1240));
    QCOMPARE(box->height(), px(f, f->outerHeightTwips() - 1750));
    QCOMPARE(view->pos(), viewPos);
    QCOMPARE(box->pos(), boxPos);
    QCOMPARE(w.form->sbrStatus()->width(), w.form->width());
    QCOMPARE(w.form->Toolbar1()->width(), w.form->width());

    w.form->showNormal();
    QTRY_COMPARE(view->size(), smallView);
    QCOMPARE(view->pos(), viewPos);

    // Shrinking below every offset leaves zero sizes, and the program goes on.
    w.form->resize(5, 5);
    QTRY_COMPARE(box->width(), 0);
    QCOMPARE(box->height(), 0);
}

void TestForm1::enterInAddressBoxStartsNothing()
{
    TestHttpServer server;
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.form->txtURL()->setText(server.base() + QStringLiteral("/page"));
    w.form->txtURL()->setFocus();
    QTest::keyClick(w.form->txtURL(), Qt::Key_Return);
    QTest::keyClick(w.form->txtURL(), Qt::Key_Enter);
    QCoreApplication::processEvents();
    QCOMPARE(server.connections, 0);
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("inactive"));
    QVERIFY(w.statusTexts.isEmpty());
}

namespace {

// A page of numbered lines, longer than the window shows.
QByteArray numberedPage(const QByteArray &name, int lines)
{
    QByteArray page;
    for (int line = 0; line < lines; ++line)
        page += name + " line " + QByteArray::number(line) + "\n";
    return page;
}

} // namespace

void TestForm1::historyKeysAndButtons_data()
{
    // Each input: a key sequence, or "back button" / "forward button" on the view.
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("shown"); // the page on show afterwards
    QTest::addColumn<int>("fetchesOfB");
    QTest::newRow("Alt+Left goes back") << QStringList{"Alt+Left"} << "a" << 1;
    QTest::newRow("the mouse's back button goes back") << QStringList{"back button"} << "a" << 1;
    QTest::newRow("Alt+Right goes forward again") << QStringList{"Alt+Left", "Alt+Right"} << "b" << 2;
    QTest::newRow("the mouse's forward button goes forward") << QStringList{"back button", "forward button"} << "b" << 2;
    QTest::newRow("F5 reloads") << QStringList{"F5"} << "b" << 2;
    QTest::newRow("Ctrl+R reloads") << QStringList{"Ctrl+R"} << "b" << 2;
    QTest::newRow("Alt+Right on the last page fetches nothing") << QStringList{"Alt+Right"} << "b" << 1;
    QTest::newRow("Alt+Left twice stops at the first page") << QStringList{"Alt+Left", "Alt+Left"} << "a" << 1;
}

void TestForm1::historyKeysAndButtons()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, shown);
    QFETCH(int, fetchesOfB);
    TestHttpServer server;
    server.route("/a", TestHttpServer::ok(numberedPage("a", 400), "text/plain"));
    server.route("/b", TestHttpServer::ok(numberedPage("b", 400), "text/plain"));
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QtPageView *view = w.form->pageView();

    QVERIFY(w.connectTo(server.base() + QStringLiteral("/a")));
    const PageView::Place placeInA{w.form->rchtxtHTML()->text().indexOf(QStringLiteral("a line 250")) + 3, 230};
    view->restorePlace(placeInA.caret, placeInA.topLine);
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/b")));
    const PageView::Place placeInB{w.form->rchtxtHTML()->text().indexOf(QStringLiteral("b line 120")) + 1, 100};
    view->restorePlace(placeInB.caret, placeInB.topLine);
    QCOMPARE(view->place().caret, placeInB.caret);
    QCOMPARE(view->place().topLine, placeInB.topLine);

    for (const QString &input : inputs) {
        w.statusTexts.clear();
        if (input.endsWith(QLatin1String("button")))
            QTest::mouseClick(w.form->rchtxtHTML()->viewport(), input.startsWith(QLatin1String("back")) ? Qt::BackButton : Qt::ForwardButton,
                              {}, QPoint(20, 20));
        else
            QTest::keySequence(w.form.get(), QKeySequence::fromString(input));
        // A step that fetches runs to its end before the next input.
        if (!w.statusTexts.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(w.statusTexts.last(), QStringLiteral("complete!"), 30000);
    }

    QCOMPARE(w.form->rchtxtHTML()->text(), QString::fromUtf8(numberedPage(shown.toUtf8(), 400)));
    QCOMPARE(w.form->txtURL()->text().section(QLatin1Char('/'), -1), shown);
    const PageView::Place expected = shown == QLatin1String("a") ? placeInA : placeInB;
    QCOMPARE(view->place().caret, expected.caret);
    QCOMPARE(view->place().topLine, expected.topLine);
    const auto fetchesOf = [&server](const char *path) {
        return int(std::count_if(server.requests.cbegin(), server.requests.cend(),
                                 [path](const TestHttpServer::Request &request) { return request.target == path; }));
    };
    QCOMPARE(fetchesOf("/b"), fetchesOfB);
    QVERIFY(w.messageBox.prompts.isEmpty());
}

void TestForm1::backToAChangedPageClampsThePlace()
{
    TestHttpServer server;
    int servedA = 0;
    server.setFallback([&servedA](const TestHttpServer::Request &request) {
        if (request.target == "/b")
            return TestHttpServer::ok(numberedPage("b", 10), "text/plain");
        // The page is shorter when it is fetched again.
        return TestHttpServer::ok(numberedPage("a", ++servedA == 1 ? 400 : 300), "text/plain");
    });
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/a")));
    w.form->pageView()->restorePlace(w.form->rchtxtHTML()->text().size() - 2, 390);
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/b")));

    w.statusTexts.clear();
    QTest::keyClick(w.form.get(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(w.statusTexts.value(0), QStringLiteral("please wait..."));
    QTRY_COMPARE_WITH_TIMEOUT(w.statusTexts.last(), QStringLiteral("complete!"), 30000);
    const QString text = w.form->rchtxtHTML()->text();
    QCOMPARE(text.size(), numberedPage("a", 300).size());
    QCOMPARE(w.form->pageView()->place().caret, text.size());
    // The last line is as far down as the view scrolls.
    const qsizetype top = w.form->pageView()->place().topLine;
    QVERIFY2(top > 200 && top < 300, qPrintable(QString::number(top)));
    QCOMPARE(w.form->rchtxtHTML()->cursorPosition(), text.size());
}

void TestForm1::clickOnAStylesheetLink_data()
{
    QTest::addColumn<QString>("pressOn"); // the first character of this, pressed
    QTest::addColumn<int>("dragBy"); // pixels to the right before the release
    QTest::addColumn<QByteArray>("fetched"); // empty for nothing
    QTest::newRow("a click on an @import address follows it") << "other" << 0 << QByteArray("/css/other.css");
    QTest::newRow("a click on url() resolves against the stylesheet") << "../img" << 0 << QByteArray("/img/x.png");
    QTest::newRow("a drag that starts in a link selects") << "other" << 30 << QByteArray();
    QTest::newRow("a click beside a link follows nothing") << "color" << 0 << QByteArray();
    QTest::newRow("a data: address is no link") << "data:" << 0 << QByteArray();
}

void TestForm1::clickOnAStylesheetLink()
{
    QFETCH(QString, pressOn);
    QFETCH(int, dragBy);
    QFETCH(QByteArray, fetched);
    TestHttpServer server;
    const QByteArray sheet = "@import \"other.css\";\na { color: red;\n  background: url(../img/x.png) }\n"
                             "b { background: url(data:image/png,AAAA) }\n";
    server.route("/css/style.css", TestHttpServer::ok(sheet, "text/css"));
    server.route("/css/other.css", TestHttpServer::ok("b { color: blue }\n", "text/css"));
    server.route("/img/x.png", TestHttpServer::ok("not a picture", "text/plain"));
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/css/style.css")));
    SourceView *view = w.form->rchtxtHTML();
    QTRY_VERIFY(view->coloursReadyOnScreen());
    const qsizetype offset = view->text().indexOf(pressOn);
    const QPoint at = view->characterRect(offset + 1).center().toPoint();
    w.statusTexts.clear();

    QWidget *viewport = view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    if (dragBy)
        QTest::mouseMove(viewport, at + QPoint(dragBy, 0));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at + QPoint(dragBy, 0));
    const qsizetype clickedAt = view->cursorPosition();

    if (fetched.isEmpty()) {
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(w.statusTexts.isEmpty());
        QVERIFY(view->text().startsWith(QLatin1String("@import")));
        if (dragBy)
            QVERIFY(!view->selectedText().isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.statusTexts.value(w.statusTexts.size() - 1), QStringLiteral("complete!"), 30000);
    QCOMPARE(server.requests.last().target, fetched);
    QVERIFY(w.form->txtURL()->text().endsWith(QString::fromLatin1(fetched)));
    // And back, with the caret where the click left it.
    const qsizetype caret = clickedAt;
    w.statusTexts.clear();
    QTest::keyClick(w.form.get(), Qt::Key_Left, Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(w.statusTexts.value(w.statusTexts.size() - 1), QStringLiteral("complete!"), 30000);
    QCOMPARE(view->text(), QString::fromLatin1(sheet));
    QCOMPARE(view->cursorPosition(), caret);
}

void TestForm1::followAMarkupLink_data()
{
    QTest::addColumn<QString>("on"); // the value the caret or the pointer is in
    QTest::addColumn<QString>("how"); // click, enter, or enter twice
    QTest::addColumn<QByteArray>("fetched"); // empty for a failed fetch

    QTest::newRow("a click follows, against the page's first base") << "next" << "click" << QByteArray("/base/next.html");
    QTest::newRow("Enter follows") << "next" << "enter" << QByteArray("/base/next.html");
    QTest::newRow("a second Enter while it fetches starts nothing") << "/slow" << "enter twice" << QByteArray("/slow");
    QTest::newRow("a failed fetch says why and keeps the page") << "http" << "enter" << QByteArray();
}

void TestForm1::followAMarkupLink()
{
    QFETCH(QString, on);
    QFETCH(QString, how);
    QFETCH(QByteArray, fetched);
    TestHttpServer server;
    const QString page = QStringLiteral("<base href=\"/base/\"><base href=\"/other/\">\n<a href=\"next.html\">next</a>\n"
                                        "<a href=\"/slow\">slow</a>\n<a href=\"http://127.0.0.1:%1/closed\">closed</a>\n")
                             .arg(TestHttpServer::closedPort());
    server.route("/page.html", TestHttpServer::ok(page.toUtf8(), "text/html"));
    server.route("/base/next.html", TestHttpServer::ok("<p>next</p>\n", "text/html"));
    server.route("/slow", {{{}, 300}, {TestHttpServer::response(200, "<p>slow</p>\n")}});
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/page.html")));
    SourceView *view = w.form->rchtxtHTML();
    QTRY_VERIFY(view->coloursReadyOnScreen());
    const qsizetype offset = page.indexOf(QLatin1Char('"') + on) + 2;
    w.statusTexts.clear();

    if (how == u"click") {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->characterRect(offset).center().toPoint());
    } else {
        view->setSelection(offset, offset);
        QTest::keyClick(view, Qt::Key_Return);
        if (how == u"enter twice") {
            QVERIFY(w.form->Inet1()->busy());
            view->setSelection(page.indexOf(QStringLiteral("next.html")), page.indexOf(QStringLiteral("next.html")));
            QTest::keyClick(view, Qt::Key_Return);
        }
    }
    // As the button fetches: the stage texts from the first, the address in the box.
    QCOMPARE(w.statusTexts.value(0), QStringLiteral("please wait..."));
    QVERIFY(QTest::qWaitFor([&w] { return !w.form->Inet1()->busy(); }, 30000));
    QCoreApplication::sendPostedEvents();
    if (fetched.isEmpty()) {
        QCOMPARE(w.messageBox.prompts.size(), 1);
        QVERIFY(w.messageBox.prompts.first().contains(QStringLiteral("Connection refused")));
        QCOMPARE(view->text(), page);
        return;
    }
    QTRY_COMPARE(w.statusTexts.last(), QStringLiteral("complete!"));
    QCOMPARE(server.requests.size(), 2);
    QCOMPARE(server.requests.last().target, fetched);
    QCOMPARE(w.form->txtURL()->text(), QStringLiteral("http://") + server.base() + QString::fromLatin1(fetched));
    QCOMPARE(w.statusTexts.count(QStringLiteral("please wait...")), 1);
}

void TestForm1::connectShowsThePage()
{
    TestHttpServer server;
    const QString page = QStringLiteral("<html>\r\n<body>caf\u00E9\u00A0</body>\r\n</html>\r\n");
    server.route("/page", TestHttpServer::ok(page.toUtf8(), "text/html; charset=utf-8"));
    Window w;
    w.form->show();
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/page")));
    QCOMPARE(w.form->rchtxtHTML()->text(), page);
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("complete!"));
    QCOMPARE(w.form->txtURL()->text(), server.base() + QStringLiteral("/page"));
    QVERIFY(w.messageBox.prompts.isEmpty());

    // Alt+C is the button's access key.
    w.form->rchtxtHTML()->setText(QString());
    QTest::keyClick(w.form.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(w.form->rchtxtHTML()->text(), page);
}

void TestForm1::fetchingTwiceReplaces()
{
    TestHttpServer server;
    int served = 0;
    server.setFallback([&served](const TestHttpServer::Request &) {
        return TestHttpServer::ok("fetch " + QByteArray::number(++served));
    });
    Window w;
    w.form->show();
    QVERIFY(w.connectTo(server.base()));
    QCOMPARE(w.form->rchtxtHTML()->text(), QStringLiteral("fetch 1"));
    QVERIFY(w.connectTo(server.base()));
    QCOMPARE(w.form->rchtxtHTML()->text(), QStringLiteral("fetch 2"));
}

void TestForm1::statusFollowsTheStages()
{
    TestHttpServer server;
    const QByteArray body(200000, 'x');
    server.route("/slow", {{{}, 30}, {"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n", 30},
                           {body.left(100000), 30}, {body.mid(100000), 30}});
    Window w;
    w.form->show();
    QVERIFY(w.connectTo(server.base() + QStringLiteral("/slow")));

    QCOMPARE(foldRepeats(w.statusTexts), (QStringList{QStringLiteral("please wait..."), QStringLiteral("resloving host..."),
                                  QStringLiteral("host resloved..."), QStringLiteral("connecting..."),
                                  QStringLiteral("connected..."), QStringLiteral("requesting..."),
                                  QStringLiteral("request sent..."), QStringLiteral("receiving response..."),
                                  QStringLiteral("response received..."), QStringLiteral("disconnecting..."),
                                  QStringLiteral("complete!")}));
}

void TestForm1::failedFetchReportsAndKeepsEverything()
{
    const QString address = QStringLiteral("127.0.0.1:%1/").arg(TestHttpServer::closedPort());

    Window w;
    w.form->show();
    w.form->pageView()->setTextRTF(QStringLiteral("the page the user had"));
    QVERIFY(w.connectTo(address));

    QCOMPARE(w.messageBox.prompts.size(), 1);
    QVERIFY2(w.messageBox.prompts.first().startsWith(QStringLiteral("Error 7\n")), qPrintable(w.messageBox.prompts.first()));
    QVERIFY(w.messageBox.prompts.first().contains(QStringLiteral("Connection refused")));
    QCOMPARE(w.messageBox.titles.first(), QStringLiteral("Vellumin"));
    QCOMPARE(w.form->rchtxtHTML()->text(), QStringLiteral("the page the user had"));
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("connecting..."));
    QCOMPARE(w.form->txtURL()->text(), address);
    QCOMPARE(w.program.ended, 0);
}

void TestForm1::windowAnswersDuringSlowTransfer()
{
    TestHttpServer server;
    server.route("/slow", {{{}, 300}, {TestHttpServer::response(200, "slow page")}});
    Window w;
    w.form->show();
    w.form->rchtxtHTML()->setText(QStringLiteral("old"));

    w.startConnect(server.base() + QStringLiteral("/slow"));
    // The click handler has returned while the transfer runs.
    QVERIFY(w.form->Inet1()->busy());
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("please wait..."));
    // A second Connect starts nothing; Clear acts at once.
    QTest::mouseClick(w.form->connectButton(), Qt::LeftButton);
    w.form->Popup()->clearAction()->trigger();
    QCOMPARE(w.form->rchtxtHTML()->text(), QString());

    QTRY_COMPARE_WITH_TIMEOUT(w.form->rchtxtHTML()->text(), QStringLiteral("slow page"), 10000);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(w.statusTexts.count(QStringLiteral("please wait...")), 1);
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("complete!"));
}

void TestForm1::closeAnsweredNoDuringTransferKeepsTheFetch()
{
    TestHttpServer server;
    server.route("/slow", {{{}, 200}, {TestHttpServer::response(200, "arrived after the question")}});
    Window w;
    w.form->show();
    w.startConnect(server.base() + QStringLiteral("/slow"));
    QTRY_COMPARE(server.requests.size(), 1);

    // The page arrives while the question is still on screen.
    w.messageBox.nextAnswer = MsgBox::no;
    w.messageBox.onShow = [&] {
        [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return !w.form->Inet1()->busy(); }, 10000);
        QCoreApplication::sendPostedEvents();
    };
    QVERIFY(!w.form->close());
    w.messageBox.onShow = nullptr;

    QCOMPARE(w.program.ended, 0);
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.form->rchtxtHTML()->text(), QStringLiteral("arrived after the question"));
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("complete!"));
}

void TestForm1::destroyedDuringTransfer_data()
{
    QTest::addColumn<bool>("closedWithYes");
    QTest::newRow("closed, answered Yes") << true;
    QTest::newRow("destroyed without asking") << false;
}

void TestForm1::destroyedDuringTransfer()
{
    QFETCH(bool, closedWithYes);
    TestHttpServer server;
    // The server holds the response back far longer than the test runs.
    server.route("/stalled", {{{}, 60000}, {TestHttpServer::response(200, "never seen")}});
    {
        Window w;
        w.form->show();
        w.startConnect(server.base() + QStringLiteral("/stalled"));
        QTRY_COMPARE(server.requests.size(), 1);
        if (closedWithYes) {
            w.messageBox.nextAnswer = MsgBox::yes;
            QVERIFY(w.form->close());
            QCOMPARE(w.program.ended, 1);
        }
        // Destroying the window stops the transfer and ends the waiting Connect without
        // resuming it: nothing is written to the controls on their way out, nothing reported.
        QObject::connect(w.form->sbrStatus(), &QtStatusBar::simpleTextChanged, &server, [&](const QString &text) {
            QFAIL(qPrintable(QStringLiteral("status written during destruction: ") + text));
        });
        w.form.reset();
        QCOMPARE(w.messageBox.prompts.size(), closedWithYes ? 1 : 0);
    }
    // The worker has ended and its connection is closed.
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestForm1::closeAsks()
{
    Window w;
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.form->rchtxtHTML()->setText(QStringLiteral("unsaved page"));
    w.form->txtURL()->setText(QStringLiteral("typed address"));
    w.form->sbrStatus()->setSimpleText(QStringLiteral("complete!"));

    w.messageBox.nextAnswer = MsgBox::no;
    QVERIFY(!w.form->close());
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.form->rchtxtHTML()->text(), QStringLiteral("unsaved page"));
    QCOMPARE(w.form->txtURL()->text(), QStringLiteral("typed address"));
    QCOMPARE(w.form->sbrStatus()->simpleText(), QStringLiteral("complete!"));
    QCOMPARE(w.messageBox.prompts, QStringList{QStringLiteral("Are you sure you want to exit?")});

    w.messageBox.nextAnswer = MsgBox::yes;
    QVERIFY(w.form->close());
    QCOMPARE(w.messageBox.prompts.size(), 2);
    QCOMPARE(w.program.ended, 1);
}

void TestForm1::progressOfLongTransfers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("shows");
    QTest::addColumn<QString>("text"); // part of what the bar says
    QTest::newRow("a long transfer of a declared length") << QStringLiteral("/declared") << true << QStringLiteral(" of 4.0 kB");
    QTest::newRow("a long transfer of no declared length") << QStringLiteral("/undeclared") << true << QStringLiteral("kB");
    QTest::newRow("a long transfer that fails") << QStringLiteral("/broken") << true << QStringLiteral(" of 4.0 kB");
    QTest::newRow("a quick fetch shows none") << QStringLiteral("/quick") << false << QString();
}

void TestForm1::progressOfLongTransfers()
{
    QFETCH(QString, path);
    QFETCH(bool, shows);
    QFETCH(QString, text);
    const QByteArray piece(1000, 'x');
    TestHttpServer server;
    const QByteArray declared = "HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n";
    server.route("/declared", {{declared + piece}, {piece, 250}, {piece, 250}, {piece, 250}, {piece, 250}});
    server.route("/undeclared", {{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + piece}, {piece, 250}, {piece, 250},
                                 {piece, 250}, {{}, 250, true}});
    server.route("/broken", {{declared + piece}, {piece, 250}, {piece, 250}, {{}, 250, true}});
    server.route("/quick", TestHttpServer::ok(piece));
    Window w;
    w.form->resize(640, 300); // room for the bar beside the status text
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    TransferProgress *bar = w.form->sbrStatus()->progressBar();
    bool shown = false;
    QString said;
    QObject::connect(w.form->Inet1(), &Transfer::progressed, bar, [&] {
        if (bar->isVisible()) {
            shown = true;
            said = bar->text();
            // Never over the status text.
            QVERIFY(bar->geometry().left() > w.form->sbrStatus()->fontMetrics().horizontalAdvance(w.form->sbrStatus()->simpleText()));
        }
    });

    QVERIFY(w.connectTo(server.base() + path));
    QCOMPARE(shown, shows);
    QVERIFY2(said.contains(text), qPrintable(said));
    // Gone once the transfer has ended, whichever way.
    QVERIFY(!bar->isVisible());
    QCOMPARE(w.messageBox.prompts.size(), path == QLatin1String("/broken") ? 1 : 0);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
