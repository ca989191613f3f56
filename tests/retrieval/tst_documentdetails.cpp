#include "DocumentDetails.h"
#include "Transfer.h"

#include <QtTest>

Q_DECLARE_METATYPE(FetchedDocument)

class TestDocumentDetails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void details_data();
    void details();
};

namespace {

FetchedDocument plainPage()
{
    FetchedDocument document;
    document.contentType = "text/html; charset=utf-8";
    DocumentFacts &facts = document.facts;
    facts.address = QStringLiteral("https://example.com/");
    facts.protocol = QStringLiteral("HTTP/2");
    facts.status = 200;
    facts.encoding = "UTF-8";
    facts.encodingOrigin = EncodingOrigin::ContentType;
    facts.wireBytes = 1256;
    facts.bytes = 1256 - 130;
    facts.characters = 1100;
    facts.lines = 46;
    facts.elapsedMs = 231;
    return document;
}

} // namespace

void TestDocumentDetails::details_data()
{
    QTest::addColumn<FetchedDocument>("document");
    QTest::addColumn<QString>("details");

    QTest::newRow("a plain page") << plainPage()
                                  << QStringLiteral("Address: https://example.com/\n"
                                                    "Response: HTTP/2 200\n"
                                                    "Content-Type: text/html; charset=utf-8\n"
                                                    "Encoding: UTF-8, from the Content-Type header\n"
                                                    "Size: 1.3 kB on the wire; 1.1 kB of document, 1,100 characters, 46 lines\n"
                                                    "Time: 231 ms");

    FetchedDocument redirected = plainPage();
    redirected.facts.redirects = 3;
    redirected.facts.address = QStringLiteral("https://www.example.com/home");
    QTest::newRow("a redirect chain") << redirected << QStringLiteral("Address: https://www.example.com/home (after 3 redirects)");
    redirected.facts.redirects = 1;
    QTest::newRow("one redirect") << redirected << QStringLiteral("Address: https://www.example.com/home (after 1 redirect)");

    FetchedDocument gzipped = plainPage();
    gzipped.facts.wireBytes = 41'320;
    gzipped.facts.bytes = 2'483'117;
    gzipped.facts.characters = 2'483'117;
    gzipped.facts.lines = 1;
    QTest::newRow("a gzip page, one long line")
        << gzipped << QStringLiteral("Size: 41.3 kB on the wire; 2.5 MB of document, 2,483,117 characters, 1 line");

    FetchedDocument small = plainPage();
    small.facts.wireBytes = 1;
    small.facts.bytes = 0;
    small.facts.characters = 0;
    small.facts.lines = 0;
    FetchedDocument slow = plainPage();
    slow.facts.elapsedMs = 12'345;
    QTest::newRow("a slow transfer") << slow << QStringLiteral("Time: 12.35 s");

    QTest::newRow("an empty document") << small << QStringLiteral("Size: 1 byte on the wire; 0 bytes of document, 0 characters, 0 lines");

    FetchedDocument untyped = plainPage();
    untyped.contentType.clear();
    untyped.facts.protocol = QStringLiteral("HTTP/1.1");
    untyped.facts.status = 404;
    QTest::newRow("no Content-Type, an error status") << untyped << QStringLiteral("Response: HTTP/1.1 404\nContent-Type: none sent");

    const QList<std::tuple<EncodingOrigin, const char *, const char *>> origins = {
        {EncodingOrigin::ByteOrderMark, "UTF-16LE", "Encoding: UTF-16LE, from the byte-order mark"},
        {EncodingOrigin::Meta, "Shift_JIS", "Encoding: Shift_JIS, from the page's <meta>"},
        {EncodingOrigin::XmlDeclaration, "KOI8-R", "Encoding: KOI8-R, from the XML declaration"},
        {EncodingOrigin::ValidUtf8, "UTF-8", "Encoding: UTF-8, not declared; the bytes are valid UTF-8"},
        {EncodingOrigin::Fallback, "windows-1252", "Encoding: windows-1252, not declared, and not UTF-8: windows-1252, as browsers assume"},
    };
    for (const auto &[origin, encoding, line] : origins) {
        FetchedDocument document = plainPage();
        document.facts.encodingOrigin = origin;
        document.facts.encoding = encoding;
        QTest::newRow(line) << document << QString::fromUtf8(line);
    }
}

void TestDocumentDetails::details()
{
    QFETCH(FetchedDocument, document);
    QFETCH(QString, details);
    const QString actual = documentDetails(document);
    // A row names the lines it is about; the whole text for the first.
    QVERIFY2(actual.contains(details), qPrintable(actual));
}

QTEST_GUILESS_MAIN(TestDocumentDetails)
#include "tst_documentdetails.moc"
