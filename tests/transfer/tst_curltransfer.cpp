#include "Await.h"
#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "TestHttpServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <curl/curl.h>

using Step = TestHttpServer::Step;

namespace {

struct Fetch
{
    struct Result
    {
        QString document;
        Failure error;
        DocumentFacts facts;
    } result;
    QList<int> states;
};

Fetch fetch(CurlTransfer &transfer, const QString &address)
{
    Fetch f;
    QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [&f](int s) { f.states.append(s); });
    const std::optional<FetchResult> result = awaitValue(transfer.openURL(address));
    QObject::disconnect(&transfer, &Transfer::stateChanged, &transfer, nullptr);
    if (!result)
        f.result.error = RuntimeError{-1, QStringLiteral("the transfer never finished")};
    else
        f.result = {result->document.text, result->error, result->document.facts};
    return f;
}

QByteArray runFilter(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QByteArray compressed(const QByteArray &encoding, const QByteArray &data)
{
    if (encoding == "gzip")
        return runFilter(QStringLiteral("gzip"), {QStringLiteral("-c")}, data);
    if (encoding == "zstd")
        return runFilter(QStringLiteral("zstd"), {QStringLiteral("-c"), QStringLiteral("-q")}, data);
    if (encoding == "br")
        return runFilter(QStringLiteral("brotli"), {QStringLiteral("-c")}, data);
    // deflate is the zlib format: Qt's, without its four-byte length prefix.
    return qCompress(data).mid(4);
}

const QList<int> fullSuccess = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12};

} // namespace

class TestCurlTransfer : public QObject
{
    Q_OBJECT

    CurlGlobal m_curl;

private slots:
    void bodyArrivesWhole_data();
    void bodyArrivesWhole();
    void requestAsTyped();
    void stages_data();
    void stages();
    void redirects_data();
    void redirects();
    void failures_data();
    void failures();
    void errorStatusShowsItsBody_data();
    void errorStatusShowsItsBody();
    void encodings_data();
    void encodings();
    void limits_data();
    void limits();
    void addressesAsBrowsersReadThem_data();
    void addressesAsBrowsersReadThem();
    void redirectLocationsResolved_data();
    void redirectLocationsResolved();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void idnHostGoesOutAsPunycode();
    void proxyFromEnvironment();
    void https();
    void secondOpenWhileBusyIsRefused();
    void runningOutOfMemoryIsAnError();
    void factsOfTheDocument_data();
    void factsOfTheDocument();
    void destroyedMidTransferStopsAndResumesNothing();
};

void TestCurlTransfer::bodyArrivesWhole_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");
    QTest::newRow("small page") << QByteArray("<html>hello</html>") << QByteArray("text/html") << QStringLiteral("<html>hello</html>");
    QByteArray big;
    for (int i = 0; big.size() < 5 * 1024 * 1024; ++i)
        big += "<p>line " + QByteArray::number(i) + " of a long page</p>\n";
    QTest::newRow("five megabytes") << big << QByteArray("text/html") << QString::fromLatin1(big);
    QTest::newRow("NUL bytes") << QByteArray("a\0b\0\0c", 6) << QByteArray("text/plain")
                               << QString::fromLatin1(QByteArray("a\0b\0\0c", 6));
    QTest::newRow("charset from the header") << QByteArray("\x80 caf\xE9") << QByteArray("text/html; charset=windows-1252")
                                             << QStringLiteral("€ café");
    const QByteArray koi8 = QByteArray::fromHex("f0d2c9d7c5d4");
    QTest::newRow("Content-Type twice: the charset carries over to the same type")
        << koi8 << QByteArray("text/html; charset=koi8-r\r\nContent-Type: text/html") << QStringLiteral("Привет");
    QTest::newRow("Content-Type twice: another type drops the charset")
        << QByteArray("\xC3\xA9") << QByteArray("text/plain; charset=koi8-r\r\nContent-Type: text/html") << QStringLiteral("é");
    QTest::newRow("a charset inside a quoted parameter is not the charset")
        << QByteArray("\xD0\x9F") << QByteArray("text/html; foo=\"a; charset=koi8-r; b\"; charset=utf-8") << QStringLiteral("П");
}

void TestCurlTransfer::bodyArrivesWhole()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    TestHttpServer server;
    server.route("/page", TestHttpServer::ok(body, contentType));
    CurlTransfer transfer;

    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/page"));
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QTEST(f.result.document, "text");
}

void TestCurlTransfer::requestAsTyped()
{
    TestHttpServer server;
    server.route("/some/path?q=1&r=%41", TestHttpServer::ok("ok"));
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/some/path?q=1&r=%41"));
    QVERIFY(!f.result.error);
    QCOMPARE(f.result.document, QStringLiteral("ok"));
    QCOMPARE(server.requests.size(), 1);
    const TestHttpServer::Request &request = server.requests.first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.header("User-Agent"), QByteArray("Vellumin/1.00"));
    QCOMPARE(request.header("Host"), server.base().toLatin1());
    QVERIFY(request.header("Accept-Encoding").contains("gzip"));
}

void TestCurlTransfer::stages_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("bodySize");
    QTest::addColumn<bool>("redirect");
    QTest::newRow("numeric address, small body") << QStringLiteral("127.0.0.1") << 100 << false;
    QTest::newRow("host name, small body") << QStringLiteral("localhost") << 100 << false;
    QTest::newRow("numeric address, multi-megabyte body") << QStringLiteral("127.0.0.1") << 4 * 1024 * 1024 << false;
    QTest::newRow("one redirect") << QStringLiteral("127.0.0.1") << 100 << true;
}

void TestCurlTransfer::stages()
{
    QFETCH(QString, host);
    QFETCH(int, bodySize);
    QFETCH(bool, redirect);
    TestHttpServer server;
    const QByteArray body(bodySize, 'x');
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    // Pauses between the stages, so that each one really happens on its own.
    server.route("/page", {{{}, 50}, {head, 50}, {body.left(body.size() / 2), 50}, {body.mid(body.size() / 2), 50}});
    server.route("/start", TestHttpServer::redirect(302, "/page"));
    CurlTransfer transfer;

    const QString address = QStringLiteral("%1:%2%3").arg(host).arg(server.port()).arg(redirect ? "/start" : "/page");
    const Fetch f = fetch(transfer, address);
    QVERIFY(!f.result.error);
    QCOMPARE(f.result.document.size(), bodySize);
    QCOMPARE(foldRepeats(f.states), fullSuccess);
}

void TestCurlTransfer::redirects_data()
{
    QTest::addColumn<QByteArrayList>("targets"); // each redirects to the next; the last answers
    QTest::addColumn<int>("status");
    QTest::newRow("301") << QByteArrayList{"/a", "/end"} << 301;
    QTest::newRow("302") << QByteArrayList{"/a", "/end"} << 302;
    QTest::newRow("307") << QByteArrayList{"/a", "/end"} << 307;
    QTest::newRow("308") << QByteArrayList{"/a", "/end"} << 308;
    QTest::newRow("three hops") << QByteArrayList{"/a", "/b", "/c", "/end"} << 302;
}

void TestCurlTransfer::redirects()
{
    QFETCH(QByteArrayList, targets);
    QFETCH(int, status);
    TestHttpServer server;
    for (qsizetype i = 0; i + 1 < targets.size(); ++i)
        server.route(targets.at(i), TestHttpServer::redirect(status, "http://" + server.base().toLatin1() + targets.at(i + 1)));
    server.route("/end", TestHttpServer::ok("final page"));
    CurlTransfer transfer;

    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/a"));
    QVERIFY(!f.result.error);
    QCOMPARE(f.result.document, QStringLiteral("final page"));
    QCOMPARE(server.requests.size(), targets.size());
}

void TestCurlTransfer::failures_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");   // part of the description
    QTest::addColumn<QList<int>>("states"); // folded
    QTest::newRow("refused connection") << QStringLiteral("refused") << 7 << QStringLiteral("Connection refused")
                                        << QList<int>{1, 2, 3, 11};
    QTest::newRow("closed mid-body") << QStringLiteral("mid-body") << 18 << QStringLiteral("before the whole page arrived")
                                     << QList<int>{1, 2, 3, 4, 5, 6, 7, 11};
    QTest::newRow("closed without answering") << QStringLiteral("nothing") << 52 << QStringLiteral("without sending anything")
                                              << QList<int>{1, 2, 3, 4, 5, 6, 11};
    QTest::newRow("silent server") << QStringLiteral("silent") << 28 << QStringLiteral("sent nothing for 1 seconds")
                                   << QList<int>{1, 2, 3, 4, 5, 6, 11};
    QTest::newRow("redirect loop") << QStringLiteral("loop") << 47 << QStringLiteral("Too many redirects")
                                   << QList<int>{1, 2, 3, 4, 5, 6, 7, 11};
    QTest::newRow("redirect to a local file") << QStringLiteral("file") << 1 << QStringLiteral("file:///etc/hostname")
                                              << QList<int>{1, 2, 3, 4, 5, 6, 7, 11};
    QTest::newRow("unknown host") << QStringLiteral("nohost") << 6 << QStringLiteral("Could not resolve host: nosuch.invalid")
                                  << QList<int>{1, 11};
}

void TestCurlTransfer::failures()
{
    QFETCH(QString, what);
    QFETCH(QString, message);
    TestHttpServer server;
    server.route("/mid-body", {{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + QByteArray(100, 'x'), 0, true}});
    server.route("/nothing", {{{}, 0, true}});
    server.route("/silent", {{{}, 5000}});
    server.route("/loop", TestHttpServer::redirect(302, "/loop"));
    server.route("/file", TestHttpServer::redirect(302, "file:///etc/hostname"));

    QString address = server.base() + QLatin1Char('/') + what;
    if (what == QLatin1String("refused"))
        address = QStringLiteral("127.0.0.1:%1/").arg(TestHttpServer::closedPort());
    if (what == QLatin1String("nohost"))
        address = QStringLiteral("nosuch.invalid/");

    TransferSettings settings;
    settings.responseTimeoutSeconds = 1;
    CurlTransfer transfer(settings);
    const Fetch f = fetch(transfer, address);

    QVERIFY(f.result.error);
    QTEST(f.result.error->number, "number");
    QVERIFY2(f.result.error->description.contains(message), qPrintable(f.result.error->description));
    QVERIFY(f.result.document.isEmpty());
    QTEST(foldRepeats(f.states), "states");
}

void TestCurlTransfer::errorStatusShowsItsBody_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("404 with a page") << 404 << QByteArray("<h1>Not Found</h1>");
    QTest::newRow("500 with a page") << 500 << QByteArray("<h1>Oops</h1>");
    QTest::newRow("503 without a body") << 503 << QByteArray();
}

void TestCurlTransfer::errorStatusShowsItsBody()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    TestHttpServer server;
    server.route("/x", {{TestHttpServer::response(status, body)}});
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/x"));
    QVERIFY(!f.result.error);
    QCOMPARE(f.result.document, QString::fromLatin1(body));
    QCOMPARE(f.states.last(), 12);
}

void TestCurlTransfer::encodings_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("gzip") << QByteArray("gzip");
    QTest::newRow("deflate") << QByteArray("deflate");
    QTest::newRow("br") << QByteArray("br");
    QTest::newRow("zstd") << QByteArray("zstd");
    QTest::newRow("chunked") << QByteArray("chunked");
    QTest::newRow("gzip and chunked") << QByteArray("gzip+chunked");
}

void TestCurlTransfer::encodings()
{
    QFETCH(QByteArray, encoding);
    QByteArray page;
    for (int i = 0; i < 2000; ++i)
        page += "<p>Ünïcödé line " + QByteArray::number(i) + "</p>\n";
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n";
    QByteArray body = page;
    const QByteArray content = encoding.split('+').first();
    if (content != "chunked") {
        body = compressed(content, page);
        QVERIFY(!body.isEmpty());
        head += "Content-Encoding: " + content + "\r\n";
    }
    if (encoding.endsWith("chunked")) {
        QByteArray chunks;
        for (qsizetype at = 0; at < body.size(); at += 1000) {
            const QByteArray piece = body.mid(at, 1000);
            chunks += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
        }
        body = chunks + "0\r\n\r\n";
        head += "Transfer-Encoding: chunked\r\n\r\n";
    } else {
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    }
    TestHttpServer server;
    server.route("/page", {{head + body}});
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/page"));
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QCOMPARE(f.result.document, QString::fromUtf8(page));
}

void TestCurlTransfer::limits_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("tooLarge");
    const QByteArray over(1024 * 1024 + 1, 'x');
    const QByteArray exact(1024 * 1024, 'x');
    QTest::newRow("at the limit") << TestHttpServer::response(200, exact, "text/plain") << false;
    QTest::newRow("declared length over the limit") << TestHttpServer::response(200, over, "text/plain") << true;
    QTest::newRow("undeclared length over the limit")
        << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over) << true;
    const QByteArray bomb = compressed("gzip", QByteArray(8 * 1024 * 1024, '\0'));
    QTest::newRow("compression bomb")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + QByteArray::number(bomb.size()) + "\r\n\r\n" + bomb)
        << true;
}

void TestCurlTransfer::limits()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, tooLarge);
    TestHttpServer server;
    server.route("/big", {{response, 0, true}});
    TransferSettings settings;
    settings.maxDocumentBytes = 1024 * 1024;
    CurlTransfer transfer(settings);
    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/big"));
    if (tooLarge) {
        QVERIFY(f.result.error);
        QCOMPARE(f.result.error->number, ErrorNumber::DocumentTooLarge);
        QVERIFY2(f.result.error->description.contains(QStringLiteral("larger than 1 MiB")), qPrintable(f.result.error->description));
        QCOMPARE(f.states.last(), 11);
    } else {
        QVERIFY(!f.result.error);
        QCOMPARE(f.result.document.size(), 1024 * 1024);
    }
}

void TestCurlTransfer::addressesAsBrowsersReadThem_data()
{
    QTest::addColumn<QString>("typed"); // %1 is the server's port
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("surrounding spaces and a trailing line break") << QStringLiteral("  127.0.0.1:%1/page \r\n") << QByteArray("/page") << QByteArray("127.0.0.1");
    QTest::newRow("space and é in the path") << QStringLiteral("127.0.0.1:%1/a b/é") << QByteArray("/a%20b/%C3%A9") << QByteArray("127.0.0.1");
    QTest::newRow("CR LF inside never makes a header") << QStringLiteral("127.0.0.1:%1/x\r\nX-Injected: 1") << QByteArray("/xX-Injected:%201") << QByteArray("127.0.0.1");
    QTest::newRow("%2e segments are dot segments") << QStringLiteral("127.0.0.1:%1/foo/%2e/bar/%2E%2e/x") << QByteArray("/foo/x") << QByteArray("127.0.0.1");
    QTest::newRow("IPv4 in hex and short form, canonical") << QStringLiteral("http://0x7F.1:%1") << QByteArray("/") << QByteArray("127.0.0.1");
    QTest::newRow("backslashes are slashes") << QStringLiteral("http:\\\\127.0.0.1:%1\\a\\b") << QByteArray("/a/b") << QByteArray("127.0.0.1");
    QTest::newRow("host in capitals, lower-cased") << QStringLiteral("LOCALHOST:%1/") << QByteArray("/") << QByteArray("localhost");
    QTest::newRow("query encoded as browsers do") << QStringLiteral("127.0.0.1:%1/?q='a b'`{}") << QByteArray("/?q=%27a%20b%27`{}") << QByteArray("127.0.0.1");
}

void TestCurlTransfer::addressesAsBrowsersReadThem()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, host);
    TestHttpServer server;
    server.setFallback([](const TestHttpServer::Request &) { return TestHttpServer::ok("ok"); });
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, typed.arg(server.port()));
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QCOMPARE(server.requests.size(), 1);
    QTEST(server.requests.first().target, "target");
    QCOMPARE(server.requests.first().header("Host"), host + ':' + QByteArray::number(server.port()));
    QVERIFY(server.requests.first().header("X-Injected").isEmpty());
}

void TestCurlTransfer::redirectLocationsResolved_data()
{
    QTest::addColumn<QByteArray>("location"); // sent in answer to /dir/page; %1 is the server's port
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("relative, with dot segments and a fragment") << QByteArray("../b/./c?x#frag") << QByteArray("/b/c?x");
    QTest::newRow("scheme-relative") << QByteArray("//127.0.0.1:%1/abs") << QByteArray("/abs");
    QTest::newRow("path only, with a space and ü") << QByteArray("/\xC3\xBC x") << QByteArray("/%C3%BC%20x");
    QTest::newRow("a backslash is a slash") << QByteArray("\\other") << QByteArray("/other");
    QTest::newRow("query only") << QByteArray("?page=2") << QByteArray("/dir/page?page=2");
}

void TestCurlTransfer::redirectLocationsResolved()
{
    QFETCH(QByteArray, location);
    TestHttpServer server;
    server.route("/dir/page", TestHttpServer::redirect(302, QByteArray(location).replace("%1", QByteArray::number(server.port()))));
    server.setFallback([](const TestHttpServer::Request &) { return TestHttpServer::ok("arrived"); });
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/dir/page"));
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QCOMPARE(f.result.document, QStringLiteral("arrived"));
    QCOMPARE(server.requests.size(), 2);
    QTEST(server.requests.at(1).target, "target");
    // The stages never go backwards across the hop.
    QCOMPARE(foldRepeats(f.states), fullSuccess);
}

void TestCurlTransfer::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QString>("address"); // %1 is "127.0.0.1:PORT"
    QTest::addColumn<int>("number");
    QTest::newRow("NUL in the host") << QStringLiteral("http://") + QChar(0) + QStringLiteral("%1/") << ErrorNumber::InvalidAddress;
    QTest::newRow("ftp") << QStringLiteral("ftp://%1/") << ErrorNumber::UnsupportedScheme;
    QTest::newRow("file") << QStringLiteral("file:///etc/hostname") << ErrorNumber::UnsupportedScheme;
    QTest::newRow("empty") << QString() << ErrorNumber::InvalidAddress;
}

void TestCurlTransfer::refusedBeforeAnythingIsSent()
{
    QFETCH(QString, address);
    TestHttpServer server;
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, address.contains(QLatin1String("%1")) ? address.arg(server.base()) : address);
    QVERIFY(f.result.error);
    QTEST(f.result.error->number, "number");
    QCOMPARE(server.connections, 0);
    QCOMPARE(f.states, QList<int>{11});
}

void TestCurlTransfer::idnHostGoesOutAsPunycode()
{
    TestHttpServer server;
    server.setFallback([](const TestHttpServer::Request &) { return TestHttpServer::ok("idn"); });
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, QStringLiteral("bücher.localhost:%1/").arg(server.port()));
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QCOMPARE(server.requests.first().header("Host"), QByteArray("xn--bcher-kva.localhost:") + QByteArray::number(server.port()));
}

void TestCurlTransfer::proxyFromEnvironment()
{
    TestHttpServer proxy;
    proxy.setFallback([](const TestHttpServer::Request &) { return TestHttpServer::ok("through the proxy"); });
    qputenv("http_proxy", "http://" + proxy.base().toLatin1());
    CurlTransfer transfer;
    const Fetch f = fetch(transfer, QStringLiteral("page.example.invalid/x"));
    qunsetenv("http_proxy");

    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    QCOMPARE(f.result.document, QStringLiteral("through the proxy"));
    QCOMPARE(proxy.requests.first().target, QByteArray("http://page.example.invalid/x"));
}

void TestCurlTransfer::https()
{
    QTemporaryDir dir;
    QProcess server;
    server.start(QStringLiteral("python3"), {qEnvironmentVariable("VELLUMIN_TEST_SERVERS") + QStringLiteral("/https_server.py"), dir.path()});
    QVERIFY(server.waitForReadyRead(30000));
    const QString port = QString::fromLatin1(server.readLine().trimmed());
    QVERIFY(!port.isEmpty());
    const QString address = QStringLiteral("https://localhost:%1/").arg(port);

    {
        CurlTransfer transfer;
        const Fetch f = fetch(transfer, address);
        QVERIFY(f.result.error);
        QCOMPARE(f.result.error->number, int(CURLE_PEER_FAILED_VERIFICATION));
        QVERIFY2(f.result.error->description.contains(QStringLiteral("certificate of localhost is not trusted")),
                 qPrintable(f.result.error->description));
    }
    {
        qputenv("CURL_CA_BUNDLE", dir.filePath(QStringLiteral("ca.pem")).toLocal8Bit());
        CurlTransfer transfer;
        const Fetch f = fetch(transfer, address);
        qunsetenv("CURL_CA_BUNDLE");
        QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
        QCOMPARE(f.result.document, QStringLiteral("<html>secure page</html>"));
    }
    server.kill();
    server.waitForFinished();
}

void TestCurlTransfer::secondOpenWhileBusyIsRefused()
{
    TestHttpServer server;
    server.route("/slow", {{{}, 300}, {TestHttpServer::response(200, "slow page")}});
    CurlTransfer transfer;
    Pending<FetchResult> first = transfer.openURL(server.base() + QStringLiteral("/slow"));
    QVERIFY(transfer.busy());
    const std::optional<FetchResult> nested = awaitValue(transfer.openURL(server.base() + QStringLiteral("/slow")), 0);
    QVERIFY(nested && nested->error);
    QCOMPARE(nested->error->number, ErrorNumber::TransferBusy);

    const std::optional<FetchResult> result = awaitValue(std::move(first));
    QVERIFY(result && !result->error);
    QCOMPARE(result->document.text, QStringLiteral("slow page"));
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(!transfer.busy());
}

void TestCurlTransfer::factsOfTheDocument_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("a plain page") << QStringLiteral("plain");
    QTest::newRow("a redirect chain") << QStringLiteral("chain");
    QTest::newRow("a gzip page") << QStringLiteral("gzip");
}

void TestCurlTransfer::factsOfTheDocument()
{
    QFETCH(QString, what);
    QByteArray page;
    for (int i = 0; i < 500; ++i)
        page += "<p>Ünïcödé line " + QByteArray::number(i) + "</p>\r\n";
    const QByteArray gzipped = compressed("gzip", page);
    TestHttpServer server;
    server.route("/plain", TestHttpServer::ok(page, "text/html; charset=utf-8"));
    server.route("/chain", TestHttpServer::redirect(301, "/chain/2"));
    server.route("/chain/2", TestHttpServer::redirect(302, "http://localhost:" + QByteArray::number(server.port()) + "/chain/3"));
    server.route("/chain/3", TestHttpServer::redirect(307, "/plain"));
    server.route("/gzip", {{TestHttpServer::response(200, gzipped, "text/html; charset=utf-8", "Content-Encoding: gzip\r\n")}});
    CurlTransfer transfer;

    const Fetch f = fetch(transfer, server.base() + QLatin1Char('/') + what);
    QVERIFY2(!f.result.error, qPrintable(f.result.error ? f.result.error->description : QString()));
    const DocumentFacts &facts = f.result.facts;
    QCOMPARE(facts.protocol, QStringLiteral("HTTP/1.1"));
    QCOMPARE(facts.status, 200);
    QCOMPARE(facts.encoding, QByteArray("UTF-8"));
    QCOMPARE(facts.encodingOrigin, EncodingOrigin::ContentType);
    QCOMPARE(facts.bytes, page.size());
    QCOMPARE(facts.characters, QString::fromUtf8(page).size());
    QCOMPARE(facts.lines, 501);
    const qint64 body = what == QLatin1String("gzip") ? gzipped.size() : page.size();
    // The headers of the last response and its body as sent.
    QVERIFY2(facts.wireBytes > body && facts.wireBytes < body + 200, qPrintable(QString::number(facts.wireBytes)));
    if (what == QLatin1String("chain")) {
        QCOMPARE(facts.redirects, 3);
        QCOMPARE(facts.address, server.base().replace(QStringLiteral("127.0.0.1"), QStringLiteral("http://localhost")) + QStringLiteral("/plain"));
    } else {
        QCOMPARE(facts.redirects, 0);
        QCOMPARE(facts.address, QStringLiteral("http://") + server.base() + QLatin1Char('/') + what);
    }
}

void TestCurlTransfer::runningOutOfMemoryIsAnError()
{
    // Room for a declared length of 2^62 bytes cannot be had: the allocation fails
    // inside libcurl's write callback, where nothing may be thrown.
    TestHttpServer server;
    server.route("/huge", {{"HTTP/1.1 200 OK\r\nContent-Length: 4611686018427387904\r\n\r\n<html>", 0, true}});
    server.route("/small", TestHttpServer::ok("fits"));
    TransferSettings settings;
    settings.maxDocumentBytes = std::numeric_limits<qint64>::max();
    CurlTransfer transfer(settings);

    const Fetch f = fetch(transfer, server.base() + QStringLiteral("/huge"));
    QVERIFY(f.result.error);
    QCOMPARE(f.result.error->number, ErrorNumber::OutOfMemory);
    QVERIFY2(f.result.error->description.startsWith(QStringLiteral("Not enough memory to hold this document")),
             qPrintable(f.result.error->description));
    QCOMPARE(f.states.last(), int(InetState::Error));
    // The transfer goes on working.
    const Fetch next = fetch(transfer, server.base() + QStringLiteral("/small"));
    QVERIFY(!next.result.error);
    QCOMPARE(next.result.document, QStringLiteral("fits"));
}

void TestCurlTransfer::destroyedMidTransferStopsAndResumesNothing()
{
    TestHttpServer server;
    server.route("/stalled", {{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst half"}, {{}, 60000}});
    auto transfer = std::make_unique<CurlTransfer>();
    QList<int> states;
    connect(transfer.get(), &Transfer::stateChanged, this, [&states](int state) { states.append(state); });

    // A coroutine waiting for the transfer, with a witness of how it ends.
    struct Witness
    {
        bool *destroyed;
        ~Witness() { *destroyed = true; }
    };
    bool resumed = false;
    bool frameDestroyed = false;
    [](Pending<FetchResult> pending, bool *resumed, Witness) -> Command {
        co_await std::move(pending);
        *resumed = true;
        co_return std::nullopt;
    }(transfer->openURL(server.base() + QStringLiteral("/stalled")), &resumed, Witness{&frameDestroyed});
    QTRY_VERIFY(states.contains(InetState::ReceivingResponse));
    frameDestroyed = false; // the witness's moved-from copies have gone; only the frame's is left

    transfer.reset();
    QVERIFY(!resumed);
    QVERIFY(frameDestroyed);
    // The worker has stopped and closed its connection.
    QTRY_COMPARE(server.openConnections(), 0);
    QVERIFY(!states.contains(InetState::ResponseCompleted));
}

QTEST_GUILESS_MAIN(TestCurlTransfer)
#include "tst_curltransfer.moc"
