#include "Idna.h"
#include "Url.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestUrl : public QObject
{
    Q_OBJECT

private:
    void addEntries(bool concerningHttp);
    void checkEntry();

private slots:
    void httpAndHttpsEntries_data();
    void httpAndHttpsEntries() { checkEntry(); }
    void otherEntries_data();
    void otherEntries() { checkEntry(); }
    void failures_data();
    void failures();
    void fileUrls_data();
    void fileUrls();
    void domainToAscii_data();
    void domainToAscii();
};

namespace {

QString jsonString(const QJsonValue &value)
{
    return value.isNull() ? QString() : value.toString();
}

bool isHttpOrHttps(const QString &url)
{
    const QString lower = url.trimmed().toLower();
    return lower.startsWith(u"http:") || lower.startsWith(u"https:");
}

// Row names are printed: controls and non-ASCII are shown as escapes.
QByteArray printable(const QString &s)
{
    QByteArray out;
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1());
        else
            out.append(char(c.unicode()));
    }
    return out;
}

QString pathname(const Url::Record &url)
{
    if (url.opaquePath)
        return *url.opaquePath;
    QString out;
    for (const QString &segment : url.path)
        out += u'/' + segment;
    return out;
}

QString search(const Url::Record &url)
{
    return url.query && !url.query->isEmpty() ? u'?' + *url.query : QString();
}

} // namespace

// Every entry of the shared test data about http and https: an http or https result,
// or a failure for an http or https input or base.
void TestUrl::httpAndHttpsEntries_data()
{
    addEntries(true);
}

// The rest, for the parts of the parser that other schemes take.
void TestUrl::otherEntries_data()
{
    addEntries(false);
}

void TestUrl::addEntries(bool concerningHttp)
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QJsonObject>("expected");

    QFile file(QStringLiteral(VELLUMIN_URL_TEST_DATA));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QJsonArray entries = QJsonDocument::fromJson(file.readAll()).array();
    QVERIFY(!entries.isEmpty());
    int index = 0;
    for (const QJsonValue &value : entries) {
        ++index;
        if (!value.isObject())
            continue;
        const QJsonObject entry = value.toObject();
        const QString input = entry.value(u"input").toString();
        const QString base = jsonString(entry.value(u"base"));
        const bool failure = entry.value(u"failure").toBool();
        const QString protocol = entry.value(u"protocol").toString();
        const bool concernsHttp = failure ? isHttpOrHttps(input) || isHttpOrHttps(base)
                                          : protocol == u"http:" || protocol == u"https:";
        if (concernsHttp != concerningHttp)
            continue;
        QTest::addRow("%d: <%s> against <%s>", index, printable(input).constData(), printable(base).constData())
                << input << base << entry;
    }
}

void TestUrl::checkEntry()
{
    QFETCH(QString, input);
    QFETCH(QString, base);
    QFETCH(QJsonObject, expected);

    std::optional<Url::Record> baseUrl;
    if (!base.isNull()) {
        baseUrl = Url::parse(base).url;
        // A base that does not parse makes every input fail.
        if (!baseUrl) {
            QVERIFY(expected.value(u"failure").toBool());
            return;
        }
    }
    const Url::ParseResult result = Url::parse(input, baseUrl ? &*baseUrl : nullptr);
    if (expected.value(u"failure").toBool()) {
        QVERIFY2(!result.url, qPrintable(result.url ? result.url->href() : QString()));
        QVERIFY(!result.failure.isEmpty());
        return;
    }
    QVERIFY2(result.url, qPrintable(result.failure));
    QCOMPARE(result.url->href(), expected.value(u"href").toString());
    QCOMPARE(result.url->scheme + u':', expected.value(u"protocol").toString());
    QCOMPARE(result.url->username, expected.value(u"username").toString());
    QCOMPARE(result.url->password, expected.value(u"password").toString());
    QCOMPARE(result.url->host.value_or(QString()), expected.value(u"hostname").toString());
    QCOMPARE(result.url->port ? QString::number(*result.url->port) : QString(), expected.value(u"port").toString());
    QCOMPARE(pathname(*result.url), expected.value(u"pathname").toString());
    QCOMPARE(search(*result.url), expected.value(u"search").toString());
}

void TestUrl::failures_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("failure");
    QTest::newRow("last IPv4 part too large") << QStringLiteral("http://192.168.0.257/") << QStringLiteral("an invalid host: 192.168.0.257");
    QTest::newRow("octal 08 is not a number") << QStringLiteral("http://1.2.3.08") << QStringLiteral("an invalid host: 1.2.3.08");
    QTest::newRow("host shown as typed, percent escapes and all") << QStringLiteral("http://ho%7Fst/") << QStringLiteral("an invalid host: ho%7Fst");
    QTest::newRow("control character in host shown percent-encoded")
        << QStringLiteral("http://a\x01" "b/") << QStringLiteral("an invalid host: a%01b");
    QTest::newRow("space in host") << QStringLiteral("http://example example.com/") << QStringLiteral("an invalid host: example example.com");
    QTest::newRow("unclosed IPv6") << QStringLiteral("http://[::1/") << QStringLiteral("an invalid host: [::1");
    QTest::newRow("port letters") << QStringLiteral("http://f:b/c") << QStringLiteral("an invalid port: b");
    QTest::newRow("port with spaces, up to the path") << QStringLiteral("http://f: 21 / b") << QStringLiteral("an invalid port:  21 ");
    QTest::newRow("port out of range") << QStringLiteral("http://f:65536/") << QStringLiteral("a port above 65535: 65536");
    QTest::newRow("user but no host") << QStringLiteral("http://user@/x") << QStringLiteral("no host");
    QTest::newRow("port but no host") << QStringLiteral("http://:80/") << QStringLiteral("no host");
    QTest::newRow("nothing after the slashes") << QStringLiteral("https://") << QStringLiteral("no host");
    QTest::newRow("relative without a base") << QStringLiteral("/path") << QStringLiteral("no scheme, and no address to read it relative to");
}

void TestUrl::failures()
{
    QFETCH(QString, input);
    const Url::ParseResult result = Url::parse(input);
    QVERIFY(!result.url);
    QTEST(result.failure, "failure");
}

// The data file here has no file: entries; these are the URL Standard's own examples.
void TestUrl::fileUrls_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("href");
    QTest::newRow("drive letter with a bar") << QStringLiteral("file:///C|/demo") << QString() << QStringLiteral("file:///C:/demo");
    QTest::newRow("dot-dot stops at the drive") << QStringLiteral("..") << QStringLiteral("file:///C:/demo") << QStringLiteral("file:///C:/");
    QTest::newRow("localhost is no host") << QStringLiteral("file://loc%61lhost/") << QString() << QStringLiteral("file:///");
    QTest::newRow("host kept") << QStringLiteral("file://server/share") << QString() << QStringLiteral("file://server/share");
}

void TestUrl::fileUrls()
{
    QFETCH(QString, input);
    QFETCH(QString, base);
    std::optional<Url::Record> baseUrl;
    if (!base.isNull())
        baseUrl = Url::parse(base).url;
    const Url::ParseResult result = Url::parse(input, baseUrl ? &*baseUrl : nullptr);
    QVERIFY2(result.url, qPrintable(result.failure));
    QTEST(result.url->href(), "href");
}

// The options browsers give UTS #46, each shown by a domain that only it decides.
void TestUrl::domainToAscii_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("ascii"); // null for failure
    QTest::newRow("lowercased") << QStringLiteral("EXAMPLE.COM") << QStringLiteral("example.com");
    QTest::newRow("nontransitional: ß kept") << QStringLiteral("faß.example") << QStringLiteral("xn--fa-hia.example");
    QTest::newRow("symbols allowed") << QStringLiteral("☕.example") << QStringLiteral("xn--53h.example");
    QTest::newRow("no hyphen check: leading") << QStringLiteral("-x.example") << QStringLiteral("-x.example");
    QTest::newRow("no hyphen check: trailing") << QStringLiteral("x-.example") << QStringLiteral("x-.example");
    QTest::newRow("no hyphen check: third and fourth") << QStringLiteral("ab--c.example") << QStringLiteral("ab--c.example");
    QTest::newRow("no DNS length check: empty label") << QStringLiteral("a..b") << QStringLiteral("a..b");
    QTest::newRow("no DNS length check: long label") << QString(70, u'x') << QString(70, u'x');
    QTest::newRow("no STD3 rules: underscore") << QStringLiteral("a_b.example") << QStringLiteral("a_b.example");
    QTest::newRow("joiners checked: ZWJ after a letter") << QStringLiteral("a\u200Db.example") << QString();
    QTest::newRow("bidi checked: Hebrew in a left-to-right label") << QStringLiteral("a\u05D0.example") << QString();
    QTest::newRow("label starting with a combining mark") << QStringLiteral("\u0301a.example") << QString();
    QTest::newRow("invalid punycode") << QStringLiteral("xn--a.example") << QString();
    QTest::newRow("noncharacter") << QStringLiteral("\uFDD0zyx.com") << QString();
    QTest::newRow("maps to nothing") << QStringLiteral("\u00AD") << QString();
}

void TestUrl::domainToAscii()
{
    QFETCH(QString, domain);
    QFETCH(QString, ascii);
    const std::optional<QString> result = Url::domainToAscii(domain);
    if (ascii.isNull())
        QVERIFY2(!result, qPrintable(result.value_or(QString())));
    else
        QCOMPARE(result.value_or(QString()), ascii);
}

QTEST_GUILESS_MAIN(TestUrl)
#include "tst_url.moc"
