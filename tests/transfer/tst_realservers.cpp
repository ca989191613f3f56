#include "Await.h"
#include "CurlHandle.h"
#include "CurlTransfer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The transfer against Debian's nginx, started by the test on loopback ports with a
// configuration of its own (tests/servers/nginx_server.py): HTTP/1.1 in the clear and
// over TLS, HTTP/2 over TLS, each with a private CA. What the server says it sent
// (its access log) is held against what arrived.
class TestRealServers : public QObject
{
    Q_OBJECT

    CurlGlobal m_curl;
    QTemporaryDir m_work;
    QProcess m_nginx;
    QStringList m_bases; // by server: clear HTTP/1.1, HTTP/1.1 over TLS, HTTP/2 over TLS
    QHash<QString, QByteArray> m_files; // what the document root holds, by path

    void writeFile(const QString &path, const QByteArray &bytes);
    QStringList accessLogFrom(qint64 offset) const;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pagesArriveExactly_data();
    void pagesArriveExactly();
};

namespace {

enum Server { ClearHttp11, TlsHttp11, TlsHttp2 };

// Where two texts part, for a failure's message: comparing megabytes prints nothing useful.
QByteArray firstDifference(const QString &actual, const QString &expected)
{
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return QStringLiteral("%1 characters arrived, %2 expected; they part at %3: \"%4\" instead of \"%5\"")
        .arg(actual.size()).arg(expected.size()).arg(at)
        .arg(actual.mid(at, 40), expected.mid(at, 40)).toUtf8();
}

} // namespace

void TestRealServers::writeFile(const QString &path, const QByteArray &bytes)
{
    const QString file = m_work.filePath(QStringLiteral("root") + path);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
    m_files.insert(path, bytes);
}

QStringList TestRealServers::accessLogFrom(qint64 offset) const
{
    QFile log(m_work.filePath(QStringLiteral("server/access.log")));
    if (!log.open(QIODevice::ReadOnly) || !log.seek(offset))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void TestRealServers::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("server")));

    writeFile(QStringLiteral("/page.html"), "<!DOCTYPE html>\n<title>Grüße</title>\r\n<p>nginx served this, ünïcödé and all.</p>\n");
    writeFile(QStringLiteral("/404.html"), "<h1>Not here</h1>\n<p>The tests' own 404 page.</p>\n");
    QByteArray text;
    for (int i = 0; text.size() < 1024 * 1024; ++i)
        text += "Line " + QByteArray::number(i) + ": the quick brown fox jumps over the lazy dog, née Ølberg.\n";
    writeFile(QStringLiteral("/gzip/page.txt"), text);
    writeFile(QStringLiteral("/chunked/page.txt"), text.left(300 * 1024));
    QByteArray big;
    big.reserve(50 * 1024 * 1024 + 100);
    for (int i = 0; big.size() < 50 * 1024 * 1024; ++i)
        big += "line " + QByteArray::number(i) + " of fifty megabytes\n";
    writeFile(QStringLiteral("/big.txt"), big);

    // Our standard input stays open for the server's whole life; when it closes, the
    // helper stops nginx, even if this test dies.
    m_nginx.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_nginx.start(QStringLiteral("python3"), {qEnvironmentVariable("VELLUMIN_TEST_SERVERS") + QStringLiteral("/nginx_server.py"),
                                              m_work.filePath(QStringLiteral("server")), m_work.filePath(QStringLiteral("root"))});
    QTRY_VERIFY_WITH_TIMEOUT(m_nginx.canReadLine() || m_nginx.state() == QProcess::NotRunning, 60000);
    const QByteArray line = m_nginx.readLine();
    const QList<QByteArray> ports = line.trimmed().split(' ');
    QVERIFY2(ports.size() == 3, line.constData());
    m_bases = {QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(ports[0]),
               QStringLiteral("https://127.0.0.1:") + QString::fromLatin1(ports[1]),
               QStringLiteral("https://127.0.0.1:") + QString::fromLatin1(ports[2])};
    qputenv("CURL_CA_BUNDLE", m_work.filePath(QStringLiteral("server/ca.pem")).toLocal8Bit());
}

void TestRealServers::cleanupTestCase()
{
    qunsetenv("CURL_CA_BUNDLE");
    m_nginx.closeWriteChannel();
    QVERIFY(m_nginx.waitForFinished(30000));
    QCOMPARE(m_nginx.exitCode(), 0);
}

void TestRealServers::pagesArriveExactly_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("file");       // the document that must arrive
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("redirects");
    QTest::addColumn<QStringList>("logged"); // the access log's lines for the fetch
    const struct
    {
        Server server;
        const char *name;
        const char *protocol; // as nginx logs it
    } servers[] = {{ClearHttp11, "HTTP/1.1", "HTTP/1.1"}, {TlsHttp11, "HTTP/1.1 over TLS", "HTTP/1.1"},
                   {TlsHttp2, "HTTP/2 over TLS", "HTTP/2.0"}};
    for (const auto &s : servers) {
        const QString p = QString::fromLatin1(s.protocol);
        const bool http2 = s.server == TlsHttp2;
        const auto row = [&](const char *what) -> QTestData & { return QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(s.name), QLatin1String(what)))); };
        row("a page") << int(s.server) << QStringLiteral("/page.html") << QStringLiteral("/page.html") << 200 << 0
                      << QStringList{QStringLiteral("/page.html %1 200 - -").arg(p)};
        row("gzip") << int(s.server) << QStringLiteral("/gzip/page.txt") << QStringLiteral("/gzip/page.txt") << 200 << 0
                    << QStringList{QStringLiteral("/gzip/page.txt %1 200 gzip %2").arg(p, http2 ? QStringLiteral("-") : QStringLiteral("chunked"))};
        // HTTP/2 has frames instead of chunks.
        row("length unknown in advance") << int(s.server) << QStringLiteral("/chunked/page.txt") << QStringLiteral("/chunked/page.txt") << 200 << 0
                                         << QStringList{QStringLiteral("/chunked/page.txt %1 200 - %2").arg(p, http2 ? QStringLiteral("-") : QStringLiteral("chunked"))};
        row("a relative redirect") << int(s.server) << QStringLiteral("/old") << QStringLiteral("/page.html") << 200 << 1
                                   << QStringList{QStringLiteral("/old %1 301 - -").arg(p), QStringLiteral("/page.html %1 200 - -").arg(p)};
        row("404 with the site's own page") << int(s.server) << QStringLiteral("/missing") << QStringLiteral("/404.html") << 404 << 0
                                            << QStringList{QStringLiteral("/missing %1 404 - -").arg(p)};
        row("50 MB") << int(s.server) << QStringLiteral("/big.txt") << QStringLiteral("/big.txt") << 200 << 0
                     << QStringList{QStringLiteral("/big.txt %1 200 - -").arg(p)};
    }
}

void TestRealServers::pagesArriveExactly()
{
    QFETCH(int, server);
    QFETCH(QString, path);
    QFETCH(QString, file);
    QFETCH(int, status);
    QFETCH(int, redirects);
    QFETCH(QStringList, logged);
    const qint64 logSize = QFileInfo(m_work.filePath(QStringLiteral("server/access.log"))).size();

    CurlTransfer transfer;
    const std::optional<FetchResult> result = awaitValue(transfer.openURL(m_bases.at(server) + path), 120000);
    QVERIFY(result);
    QVERIFY2(!result->error, qPrintable(result->error ? result->error->description : QString()));
    const FetchedDocument &document = result->document;
    const QString expected = QString::fromUtf8(m_files.value(file));
    QVERIFY2(document.text == expected, firstDifference(document.text, expected).constData());
    QCOMPARE(document.facts.protocol, server == TlsHttp2 ? QStringLiteral("HTTP/2") : QStringLiteral("HTTP/1.1"));
    QCOMPARE(document.facts.status, status);
    QCOMPARE(document.facts.redirects, redirects);
    QCOMPARE(document.facts.address, m_bases.at(server) + (redirects > 0 ? file : path));
    QCOMPARE(document.facts.bytes, m_files.value(file).size());
    QCOMPARE(document.facts.encoding, QByteArray("UTF-8"));
    // A gzipped page came compressed: a few times smaller on the wire than whole.
    if (path.startsWith(QLatin1String("/gzip/")))
        QVERIFY2(document.facts.wireBytes * 4 < document.facts.bytes, qPrintable(QString::number(document.facts.wireBytes)));
    // nginx writes its log line once the response is out, which may be just after it arrived.
    QTRY_COMPARE(accessLogFrom(logSize), logged);
}

QTEST_GUILESS_MAIN(TestRealServers)
#include "tst_realservers.moc"
