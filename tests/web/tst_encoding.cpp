#include "DocumentDecoder.h"
#include "Labels.h"

#include <QtTest>

class TestEncoding : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void decodeInPieces_data() { decode_data(); }
    void decodeInPieces();
    void sourceOfTheEncoding_data();
    void sourceOfTheEncoding();
    void countsCharactersAndLines_data();
    void countsCharactersAndLines();
    void labels_data();
    void labels();
};

void TestEncoding::decode_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");

    const QByteArray cafe = "caf\xC3\xA9";
    const QString cafeText = QStringLiteral("café");

    QTest::newRow("plain ASCII") << QByteArray("<p>hi</p>") << QByteArray("text/html") << QStringLiteral("<p>hi</p>");
    QTest::newRow("UTF-8 by header") << cafe << QByteArray("text/html; charset=utf-8") << cafeText;
    QTest::newRow("UTF-8 by quoted header") << cafe << QByteArray("text/html; charset=\"UTF-8\"") << cafeText;
    QTest::newRow("UTF-8 by meta charset")
        << QByteArray("<meta charset=utf-8>" + cafe) << QByteArray("text/html") << QStringLiteral("<meta charset=utf-8>café");
    QTest::newRow("UTF-8 by http-equiv")
        << QByteArray("<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=utf-8'>" + cafe) << QByteArray()
        << QStringLiteral("<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=utf-8'>café");
    QTest::newRow("UTF-8 by XML declaration")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>" + cafe + "</a>") << QByteArray("application/xml")
        << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>café</a>");
    QTest::newRow("UTF-8 undeclared") << cafe << QByteArray("text/html") << cafeText;
    QTest::newRow("UTF-8 BOM is not text") << QByteArray("\xEF\xBB\xBF" + cafe) << QByteArray("text/html; charset=windows-1252") << cafeText;
    QTest::newRow("UTF-16LE BOM")
        << QByteArray::fromHex("fffe3c0070003e00e9003c002f0070003e00") << QByteArray("text/html; charset=utf-8") << QStringLiteral("<p>é</p>");
    QTest::newRow("UTF-16BE BOM")
        << QByteArray::fromHex("feff003c0070003e00e9003c002f0070003e") << QByteArray() << QStringLiteral("<p>é</p>");
    QTest::newRow("windows-1252 by header")
        << QByteArray("\x80 \x93quoted\x94 caf\xE9") << QByteArray("text/html; charset=windows-1252")
        << QStringLiteral("€ “quoted” café");
    QTest::newRow("iso-8859-1 label means windows-1252")
        << QByteArray("\x80\x93\x94") << QByteArray("text/plain; charset=ISO-8859-1") << QStringLiteral("€“”");
    QTest::newRow("latin1 in meta means windows-1252")
        << QByteArray("<meta charset=\"latin1\">\x80") << QByteArray("text/html") << QStringLiteral("<meta charset=\"latin1\">€");
    QTest::newRow("header wins over meta")
        << QByteArray("<meta charset=utf-8>\xE9") << QByteArray("text/html; charset=windows-1252")
        << QStringLiteral("<meta charset=utf-8>é");
    QTest::newRow("meta inside a comment is ignored")
        << QByteArray("<!-- <meta charset=koi8-r> -->\xE9") << QByteArray("text/html") << QStringLiteral("<!-- <meta charset=koi8-r> -->é");
    QTest::newRow("meta after whitespace and other attributes")
        << QByteArray("<html lang=ru><meta\n name=x charset = 'koi8-r'>") + QByteArray::fromHex("f0d2c9d7c5d4") << QByteArray()
        << QStringLiteral("<html lang=ru><meta\n name=x charset = 'koi8-r'>Привет");
    QTest::newRow("content without http-equiv is ignored")
        << QByteArray("<meta content='text/html; charset=koi8-r'>\xE9") << QByteArray() << QStringLiteral("<meta content='text/html; charset=koi8-r'>é");
    QTest::newRow("meta past 1024 bytes, in the body, is not seen")
        << QByteArray(QByteArray(1100, 'x') + "<meta charset=koi8-r>\xF0") << QByteArray() << QString(QString(1100, u'x') + QStringLiteral("<meta charset=koi8-r>ð"));
    QTest::newRow("Shift_JIS by header") << QByteArray::fromHex("93fa967b8cea") << QByteArray("text/html; charset=Shift_JIS") << QStringLiteral("日本語");
    QTest::newRow("Shift_JIS by meta")
        << QByteArray("<meta charset=sjis>") + QByteArray::fromHex("93fa967b8cea") << QByteArray() << QStringLiteral("<meta charset=sjis>日本語");
    QTest::newRow("EUC-JP by header") << QByteArray::fromHex("c6fccbdcb8ec") << QByteArray("text/html;charset=euc-jp") << QStringLiteral("日本語");
    QTest::newRow("ISO-2022-JP by header")
        << QByteArray::fromHex("1b2442467c4b5c386c1b2842") << QByteArray("text/plain; charset=iso-2022-jp") << QStringLiteral("日本語");
    QTest::newRow("EUC-KR by meta")
        << QByteArray("<meta http-equiv=content-type content=\"text/html;charset=euc-kr\">") + QByteArray::fromHex("c7d1b1b9beee")
        << QByteArray() << QStringLiteral("<meta http-equiv=content-type content=\"text/html;charset=euc-kr\">한국어");
    QTest::newRow("GBK by gb2312 label") << QByteArray::fromHex("d6d0cec4cdf8d2b3") << QByteArray("text/html; charset=gb2312") << QStringLiteral("中文网页");
    QTest::newRow("Big5 by header") << QByteArray::fromHex("c163c5e9a4a4a4e5") << QByteArray("text/html; charset=big5") << QStringLiteral("繁體中文");
    QTest::newRow("meta UTF-16 on an ASCII body means UTF-8")
        << QByteArray("<meta charset=utf-16>" + cafe) << QByteArray() << QStringLiteral("<meta charset=utf-16>café");
    QTest::newRow("meta x-user-defined means windows-1252")
        << QByteArray("<meta charset=x-user-defined>\x80") << QByteArray() << QStringLiteral("<meta charset=x-user-defined>€");
    QTest::newRow("unknown label is ignored, sniffing goes on")
        << QByteArray("<meta charset=utf-8>" + cafe) << QByteArray("text/html; charset=klingon") << QStringLiteral("<meta charset=utf-8>café");
    QTest::newRow("undeclared invalid UTF-8 falls back to windows-1252")
        << QByteArray("caf\xE9 \x80") << QByteArray("text/html") << QStringLiteral("café €");
    // One U+FFFD for each maximal broken subpart, as browsers do; never silence.
    QTest::newRow("cut in the middle of a character") << QByteArray("ab\xE6\x97") << QByteArray("text/plain; charset=utf-8")
                                                    << QStringLiteral("ab\uFFFD");
    QTest::newRow("broken sequences mid-text")
        << QByteArray("\xF0\x9F\x98x\xE0\x80\xC3\xA9\xED\xA0\x80\xF0\x9F\x98\x80") << QByteArray("text/plain; charset=utf-8")
        << QStringLiteral("\uFFFDx\uFFFD\uFFFDé\uFFFD\uFFFD\uFFFD😀");
    QTest::newRow("ISO-8859-16") << QByteArray("\xAA\xDE\xA4") << QByteArray("text/html; charset=iso-8859-16") << QStringLiteral("ȘȚ€");
    QTest::newRow("invalid bytes become U+FFFD, nothing dropped")
        << QByteArray("a\xFF" "b") << QByteArray("text/plain; charset=utf-8") << QStringLiteral("a\uFFFDb");
    QTest::newRow("NUL bytes are kept")
        << QByteArray("a\0b\0c", 5) << QByteArray("text/plain") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0) + QStringLiteral("c"));
    QTest::newRow("meta is not read in plain text")
        << QByteArray("<meta charset=koi8-r>\xE9") << QByteArray("text/plain") << QStringLiteral("<meta charset=koi8-r>é");
    QTest::newRow("XML declaration in XHTML served as HTML")
        << QByteArray("<?xml version='1.0' encoding='koi8-r'?>") + QByteArray::fromHex("f0") << QByteArray("text/html")
        << QStringLiteral("<?xml version='1.0' encoding='koi8-r'?>П");
    QTest::newRow("replacement encoding") << QByteArray("anything") << QByteArray("text/html; charset=iso-2022-kr") << QStringLiteral("\uFFFD");
    QTest::newRow("empty body") << QByteArray() << QByteArray("text/html") << QString();
    // Past the first 1024 bytes the text is decoded as it arrives; a late error still
    // turns the whole body, start included, into windows-1252.
    const QByteArray longValid = QByteArray(3000, 'a') + "\xC3\xA9";
    QTest::newRow("undeclared UTF-8 past the sniffed head") << longValid << QByteArray("text/html")
                                                            << QString(QString(3000, u'a') + QStringLiteral("é"));
    QTest::newRow("undeclared, invalid far into the body")
        << QByteArray(longValid + "\xE9") << QByteArray("text/html") << QString(QString(3000, u'a') + QStringLiteral("Ã©é"));
    QTest::newRow("undeclared, cut inside its last character")
        << QByteArray(longValid + "\xE2\x82") << QByteArray("text/plain") << QString(QString(3000, u'a') + QStringLiteral("Ã©â‚"));
    QTest::newRow("U+FEFF after the head stays text")
        << QByteArray(QByteArray(2000, 'b') + "\xEF\xBB\xBF") << QByteArray("text/plain") << QString(QString(2000, u'b') + QChar(0xFEFF));
}

void TestEncoding::decode()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QTEST(Encoding::decode(body, contentType), "text");
}

void TestEncoding::decodeInPieces()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    // Pieces as libcurl might hand them over: every size from one byte, so that each
    // sequence and the byte-order mark are cut at every place.
    for (qsizetype piece : {1, 2, 3, 5, 1023, 1025}) {
        Encoding::DocumentDecoder decoder(contentType);
        for (qsizetype at = 0; at < body.size(); at += piece)
            decoder.feed(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)));
        QTEST(decoder.finish(), "text");
    }
}

void TestEncoding::sourceOfTheEncoding_data()
{
    using Encoding::EncodingSource;
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<EncodingSource>("source");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFx") << QByteArray("text/html; charset=koi8-r") << QByteArray("UTF-8") << EncodingSource::ByteOrderMark;
    QTest::newRow("header") << QByteArray("x") << QByteArray("text/html; charset=koi8-r") << QByteArray("KOI8-R") << EncodingSource::ContentType;
    QTest::newRow("meta") << QByteArray("<meta charset=koi8-r>") << QByteArray("text/html") << QByteArray("KOI8-R") << EncodingSource::Meta;
    QTest::newRow("XML declaration") << QByteArray("<?xml version='1.0' encoding='koi8-r'?>") << QByteArray("application/xml") << QByteArray("KOI8-R") << EncodingSource::XmlDeclaration;
    // The prescan ignores the whole tag; the parser reads its http-equiv.
    QTest::newRow("a meta whose charset is unknown")
        << QByteArray("<meta charset=bogus http-equiv=content-type content=\"text/html; charset=koi8-r\">caf\xC3\xA9") << QByteArray("text/html")
        << QByteArray("KOI8-R") << EncodingSource::MetaWhileParsing;
    QTest::newRow("a meta cut off by the end declares nothing")
        << QByteArray("caf\xE9<meta charset=utf-8") << QByteArray("text/html") << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("valid UTF-8") << QByteArray("caf\xC3\xA9") << QByteArray("text/html") << QByteArray("UTF-8") << EncodingSource::ValidUtf8;
    QTest::newRow("fallback") << QByteArray("caf\xE9") << QByteArray("text/html") << QByteArray("windows-1252") << EncodingSource::Fallback;
}

void TestEncoding::sourceOfTheEncoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    Encoding::DocumentDecoder decoder(contentType);
    decoder.feed(body);
    decoder.finish();
    QTEST(decoder.encoding(), "encoding");
    QTEST(decoder.source(), "source");
}

void TestEncoding::countsCharactersAndLines_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<qint64>("characters");
    QTest::addColumn<qint64>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArray("text/plain") << qint64(0) << qint64(0);
    QTest::newRow("no line break") << QByteArray("abc") << QByteArray("text/plain") << qint64(3) << qint64(1);
    QTest::newRow("LF, CR LF, lone CR, final break")
        << QByteArray("a\nb\r\nc\rd\n") << QByteArray("text/plain") << qint64(9) << qint64(5);
    QTest::newRow("a CR LF is one break, a CR at the end is one")
        << QByteArray("\r\n\r\n\r") << QByteArray("text/plain") << qint64(5) << qint64(4);
    QTest::newRow("characters beyond the basic plane count once")
        << QByteArray("\xF0\x9F\x98\x80x\xC3\xA9") << QByteArray("text/plain; charset=utf-8") << qint64(3) << qint64(1);
    QTest::newRow("counted again after falling back to windows-1252")
        << QByteArray(QByteArray(1500, 'a') + "\n\xC3\xA9\r\n\xE9") << QByteArray("text/html") << qint64(1500 + 1 + 2 + 2 + 1) << qint64(3);
}

void TestEncoding::countsCharactersAndLines()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    for (qsizetype piece : {1, 2, 1000, 100000}) {
        Encoding::DocumentDecoder decoder(contentType);
        for (qsizetype at = 0; at < body.size(); at += piece)
            decoder.feed(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)));
        decoder.finish();
        QTEST(decoder.characters(), "characters");
        QTEST(decoder.lines(), "lines");
        QCOMPARE(decoder.bytes(), body.size());
    }
}

void TestEncoding::labels_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("latin1") << QByteArray("latin1") << QByteArray("windows-1252");
    QTest::newRow("ascii") << QByteArray("ascii") << QByteArray("windows-1252");
    QTest::newRow("us-ascii, spaces, capitals") << QByteArray(" US-ASCII ") << QByteArray("windows-1252");
    QTest::newRow("utf8") << QByteArray("utf8") << QByteArray("UTF-8");
    QTest::newRow("x-sjis") << QByteArray("x-sjis") << QByteArray("Shift_JIS");
    QTest::newRow("ks_c_5601-1987") << QByteArray("ks_c_5601-1987") << QByteArray("EUC-KR");
    QTest::newRow("utf-16 means little endian") << QByteArray("utf-16") << QByteArray("UTF-16LE");
    QTest::newRow("unknown") << QByteArray("utf-9") << QByteArray();
}

void TestEncoding::labels()
{
    QFETCH(QByteArray, label);
    QTEST(Encoding::nameForLabel(label), "name");
}

QTEST_GUILESS_MAIN(TestEncoding)
#include "tst_encoding.moc"
