#include "Address.h"

#include <QtTest>

class TestAddress : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
};

void TestAddress::accepted_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("url");
    QTest::newRow("bare host means http") << QStringLiteral("www.example.com") << QByteArray("http://www.example.com");
    QTest::newRow("ftp-looking host still http") << QStringLiteral("ftp.example.com") << QByteArray("http://ftp.example.com");
    QTest::newRow("host and port") << QStringLiteral("localhost:8080/x") << QByteArray("http://localhost:8080/x");
    QTest::newRow("address and port") << QStringLiteral("127.0.0.1:5000/a/b?c=d") << QByteArray("http://127.0.0.1:5000/a/b?c=d");
    QTest::newRow("https kept") << QStringLiteral("https://example.com/") << QByteArray("https://example.com/");
    QTest::newRow("scheme in capitals") << QStringLiteral("HTTP://example.com") << QByteArray("HTTP://example.com");
    QTest::newRow("surrounding spaces and line break") << QStringLiteral("  example.com/x \r\n") << QByteArray("http://example.com/x");
    QTest::newRow("tabs and line breaks inside removed") << QStringLiteral("exa\tmple.com/p\r\nath") << QByteArray("http://example.com/path");
    QTest::newRow("space in path") << QStringLiteral("example.com/a b") << QByteArray("http://example.com/a%20b");
    QTest::newRow("é in path") << QStringLiteral("example.com/café") << QByteArray("http://example.com/caf%C3%A9");
    QTest::newRow("emoji in query") << QStringLiteral("example.com/?q=😀") << QByteArray("http://example.com/?q=%F0%9F%98%80");
    QTest::newRow("quotes and angle brackets") << QStringLiteral("example.com/\"<x>\"") << QByteArray("http://example.com/%22%3Cx%3E%22");
    QTest::newRow("percent escapes kept") << QStringLiteral("example.com/a%20b") << QByteArray("http://example.com/a%20b");
    QTest::newRow("fragment not sent") << QStringLiteral("example.com/page#top") << QByteArray("http://example.com/page");
    QTest::newRow("IDN host left to libcurl") << QStringLiteral("bücher.localhost/") << QByteArray("http://b\xC3\xBC" "cher.localhost/");
}

void TestAddress::accepted()
{
    QFETCH(QString, typed);
    const auto result = Address::toRequestUrl(typed);
    QVERIFY(std::holds_alternative<QByteArray>(result));
    QTEST(std::get<QByteArray>(result), "url");
}

void TestAddress::refused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("reason");
    QTest::newRow("empty") << QString() << int(Address::Refusal::Invalid);
    QTest::newRow("only spaces") << QStringLiteral("   \n") << int(Address::Refusal::Invalid);
    QTest::newRow("NUL inside") << QStringLiteral("example.com/a") + QChar(0) + QStringLiteral("b") << int(Address::Refusal::Invalid);
    QTest::newRow("escape inside") << QStringLiteral("example.com/\x1b[31m") << int(Address::Refusal::Invalid);
    QTest::newRow("file") << QStringLiteral("file:///etc/hostname") << int(Address::Refusal::UnsupportedScheme);
    QTest::newRow("ftp") << QStringLiteral("ftp://example.com/") << int(Address::Refusal::UnsupportedScheme);
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << int(Address::Refusal::UnsupportedScheme);
    QTest::newRow("data") << QStringLiteral("data:text/html,hi") << int(Address::Refusal::UnsupportedScheme);
}

void TestAddress::refused()
{
    QFETCH(QString, typed);
    const auto result = Address::toRequestUrl(typed);
    QVERIFY(std::holds_alternative<Address::Refusal>(result));
    QTEST(int(std::get<Address::Refusal>(result).reason), "reason");
    QVERIFY(!std::get<Address::Refusal>(result).message.isEmpty());
}

QTEST_GUILESS_MAIN(TestAddress)
#include "tst_address.moc"
