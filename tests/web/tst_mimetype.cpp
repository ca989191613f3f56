// Content-Type values as browsers read them, and the charset and kind of document the
// encoding sniffer takes from them.

#include "MimeType.h"
#include "Sniffing.h"

#include <QTest>

namespace {

// The serialisation, or "failure" when the text is no MIME type.
QByteArray shown(const std::optional<MimeType> &mimeType)
{
    return mimeType ? mimeType->serialized() : QByteArray("failure");
}

} // namespace

class TestMimeType : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parameter();
    void extract_data();
    void extract();
    void sniffing_data();
    void sniffing();
};

void TestMimeType::parse_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("serialized");
    QTest::newRow("plain") << QByteArray("text/html") << QByteArray("text/html");
    QTest::newRow("case and whitespace") << QByteArray(" TEXT/Html ; Charset=UTF-8 \r\n") << QByteArray("text/html;charset=UTF-8");
    QTest::newRow("quoted value") << QByteArray("text/html;charset=\"utf-8\"") << QByteArray("text/html;charset=utf-8");
    QTest::newRow("semicolons inside quotes")
        << QByteArray("text/html; foo=\"a; charset=koi8-r; b\"; charset=utf-8")
        << QByteArray("text/html;foo=\"a; charset=koi8-r; b\";charset=utf-8");
    QTest::newRow("backslash escapes") << QByteArray(R"(text/html;x="a\"b\\c\d")") << QByteArray(R"(text/html;x="a\"b\\cd")");
    QTest::newRow("backslash at the very end") << QByteArray(R"(text/html;x="a\)") << QByteArray(R"(text/html;x="a\\")");
    QTest::newRow("unterminated quote") << QByteArray("text/html;x=\"abc") << QByteArray("text/html;x=abc");
    QTest::newRow("text after the closing quote is dropped") << QByteArray("text/html;x=\"a\"b;y=c") << QByteArray("text/html;x=a;y=c");
    QTest::newRow("empty quoted value is kept") << QByteArray("text/html;x=\"\"") << QByteArray("text/html;x=\"\"");
    QTest::newRow("empty bare value is dropped") << QByteArray("text/html;x=;y") << QByteArray("text/html");
    QTest::newRow("first of a name wins") << QByteArray("text/html;charset=gbk;CHARSET=utf-8") << QByteArray("text/html;charset=gbk");
    QTest::newRow("empty parameters are skipped") << QByteArray("text/html; ;;charset=utf-8") << QByteArray("text/html;charset=utf-8");
    QTest::newRow("name with a space is dropped") << QByteArray("text/html;charset =utf-8") << QByteArray("text/html");
    QTest::newRow("leading space stays in a value") << QByteArray("text/html;x= a") << QByteArray("text/html;x=\" a\"");
    QTest::newRow("bytes above ASCII are allowed in values") << QByteArray("text/html;x=\xE9") << QByteArray("text/html;x=\"\xE9\"");
    QTest::newRow("a control character drops the value") << QByteArray("text/html;x=a\x7F;y=b") << QByteArray("text/html;y=b");
    QTest::newRow("*/* is a type") << QByteArray("*/*") << QByteArray("*/*");
    QTest::newRow("empty") << QByteArray("") << QByteArray("failure");
    QTest::newRow("no slash") << QByteArray("text") << QByteArray("failure");
    QTest::newRow("no subtype") << QByteArray("text/;charset=utf-8") << QByteArray("failure");
    QTest::newRow("no type") << QByteArray("/html") << QByteArray("failure");
    QTest::newRow("space inside the type") << QByteArray("te xt/html") << QByteArray("failure");
    QTest::newRow("form feed is no HTTP whitespace") << QByteArray("text/html\f") << QByteArray("failure");
}

void TestMimeType::parse()
{
    QFETCH(QByteArray, input);
    QTEST(shown(MimeType::parse(input)), "serialized");
}

void TestMimeType::parameter()
{
    const std::optional<MimeType> mimeType = MimeType::parse("Text/HTML;Charset=\"\";x=1");
    QVERIFY(mimeType);
    QCOMPARE(mimeType->essence(), QByteArray("text/html"));
    QCOMPARE(mimeType->parameter("charset"), std::optional<QByteArray>(""));
    QCOMPARE(mimeType->parameter("x"), std::optional<QByteArray>("1"));
    QCOMPARE(mimeType->parameter("y"), std::nullopt);
}

void TestMimeType::extract_data()
{
    QTest::addColumn<QList<QByteArray>>("values");
    QTest::addColumn<QByteArray>("serialized");
    using Values = QList<QByteArray>;
    QTest::newRow("one header") << Values{"text/html;charset=gbk"} << QByteArray("text/html;charset=gbk");
    QTest::newRow("same essence keeps the charset") << Values{"text/html;charset=gbk", "text/html;x=y"}
                                                    << QByteArray("text/html;x=y;charset=gbk");
    QTest::newRow("a later charset wins") << Values{"text/html;charset=gbk", "text/html;charset=utf-8"}
                                          << QByteArray("text/html;charset=utf-8");
    QTest::newRow("another essence drops it") << Values{"text/html;charset=gbk", "text/plain"} << QByteArray("text/plain");
    QTest::newRow("the charset is of the last essence")
        << Values{"text/plain;charset=gbk", "text/html", "text/plain"} << QByteArray("text/plain");
    QTest::newRow("*/* and nonsense are skipped") << Values{"text/html;charset=gbk", "*/*", "nonsense"}
                                                  << QByteArray("text/html;charset=gbk");
    QTest::newRow("commas in one header") << Values{"text/html;charset=gbk, text/html"} << QByteArray("text/html;charset=gbk");
    QTest::newRow("a quoted comma does not split") << Values{"text/html;charset=\"a,b\""} << QByteArray("text/html;charset=\"a,b\"");
    QTest::newRow("nothing readable") << Values{"nonsense", ""} << QByteArray("failure");
    QTest::newRow("no header") << Values{} << QByteArray("failure");
}

void TestMimeType::extract()
{
    QFETCH(QList<QByteArray>, values);
    QTEST(shown(extractMimeType(values)), "serialized");
}

void TestMimeType::sniffing_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("encoding");
    const QByteArray meta("<meta charset=koi8-r>");
    const QByteArray xml("<?xml version=\"1.0\" encoding=\"koi8-r\"?>");
    QTest::newRow("a charset inside quotes is not the charset")
        << QByteArray("text/html; foo=\"a; charset=koi8-r; b\"; charset=utf-8") << QByteArray() << QByteArray("UTF-8");
    QTest::newRow("the first charset wins") << QByteArray("text/html; charset=gbk; charset=utf-8") << QByteArray() << QByteArray("GBK");
    QTest::newRow("quoted charset") << QByteArray("text/html;charset=\"Shift_JIS\"") << QByteArray() << QByteArray("Shift_JIS");
    QTest::newRow("headers joined by a comma")
        << QByteArray("text/html;charset=euc-kr, text/html") << QByteArray() << QByteArray("EUC-KR");
    QTest::newRow("no charset in an unreadable type") << QByteArray("nonsense; charset=gbk") << meta << QByteArray("KOI8-R");
    QTest::newRow("meta in HTML in capitals") << QByteArray("TEXT/HTML") << meta << QByteArray("KOI8-R");
    QTest::newRow("no meta in plain text") << QByteArray("text/plain;charset=\"\"") << meta << QByteArray();
    QTest::newRow("no meta in XML") << QByteArray("application/xhtml+xml") << meta << QByteArray();
    QTest::newRow("XML declaration in +xml") << QByteArray("image/svg+xml; x=\"y\"") << xml << QByteArray("KOI8-R");
}

void TestMimeType::sniffing()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QTEST(Encoding::sniff(body, contentType).encoding, "encoding");
}

QTEST_GUILESS_MAIN(TestMimeType)
#include "tst_mimetype.moc"
