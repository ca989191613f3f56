#include "Sniffing.h"

#include <QtTest>

// What the prescan of a page's first bytes finds, path by path: each row is a page
// start and the encoding it declares (empty: none).
class TestPrescan : public QObject
{
    Q_OBJECT

private slots:
    void metaAttributes_data();
    void metaAttributes() { check(); }
    void nullAndFailure_data();
    void nullAndFailure() { check(); }
    void cutOff_data();
    void cutOff() { check(); }
    void skipped_data();
    void skipped() { check(); }
    void getAnAttribute_data();
    void getAnAttribute() { check(); }
    void metaContent_data();
    void metaContent();
    void utf16XmlDeclaration_data();
    void utf16XmlDeclaration();

private:
    static void columns();
    static void check();
};

void TestPrescan::columns()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("encoding");
}

void TestPrescan::check()
{
    QFETCH(QByteArray, head);
    QTEST(Encoding::prescanMeta(head), "encoding");
}

void TestPrescan::metaAttributes_data()
{
    columns();
    QTest::newRow("charset attribute") << QByteArray("<meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("capitals and quotes") << QByteArray("<META CHARSET=\"KOI8-R\">") << QByteArray("KOI8-R");
    QTest::newRow("a slash after meta") << QByteArray("<meta/charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a tab after meta") << QByteArray("<meta\tcharset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("http-equiv, then content")
        << QByteArray("<meta http-equiv=Content-Type content=\"text/html; charset=koi8-r\">") << QByteArray("KOI8-R");
    QTest::newRow("content, then http-equiv")
        << QByteArray("<meta content='text/html; charset=koi8-r' http-equiv='content-type'>") << QByteArray("KOI8-R");
    QTest::newRow("content needs the pragma") << QByteArray("<meta content='text/html; charset=koi8-r'>") << QByteArray();
    QTest::newRow("an http-equiv other than content-type is no pragma")
        << QByteArray("<meta http-equiv=refresh content='text/html; charset=koi8-r'>") << QByteArray();
    QTest::newRow("a charset attribute needs no pragma, even after content")
        << QByteArray("<meta content='charset=utf-8' charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("content does not replace an earlier charset attribute")
        << QByteArray("<meta charset=koi8-r http-equiv=content-type content='charset=utf-8'>") << QByteArray("KOI8-R");
    QTest::newRow("a repeated attribute: the first counts")
        << QByteArray("<meta charset=koi8-r charset=utf-8>") << QByteArray("KOI8-R");
    QTest::newRow("a repeated http-equiv: the first counts")
        << QByteArray("<meta http-equiv=refresh http-equiv=content-type content='charset=koi8-r'>") << QByteArray();
    QTest::newRow("a meta without a declaration, then one with")
        << QByteArray("<meta name=viewport><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("UTF-16 means UTF-8") << QByteArray("<meta charset=utf-16be>") << QByteArray("UTF-8");
    QTest::newRow("UTF-16 in content means UTF-8")
        << QByteArray("<meta http-equiv=content-type content='charset=utf-16'>") << QByteArray("UTF-8");
    QTest::newRow("x-user-defined means windows-1252") << QByteArray("<meta charset=x-user-defined>") << QByteArray("windows-1252");
    QTest::newRow("nothing") << QByteArray() << QByteArray();
}

void TestPrescan::nullAndFailure_data()
{
    columns();
    QTest::newRow("an unknown charset makes the whole tag no declaration")
        << QByteArray("<meta charset=bogus http-equiv=content-type content=\"text/html; charset=utf-8\">") << QByteArray();
    QTest::newRow("an unknown charset after content too")
        << QByteArray("<meta http-equiv=content-type content=\"text/html; charset=utf-8\" charset=bogus>") << QByteArray();
    QTest::newRow("an empty charset is failure") << QByteArray("<meta charset='' http-equiv=content-type content='charset=utf-8'>")
                                                 << QByteArray();
    QTest::newRow("after a failed tag the scan goes on")
        << QByteArray("<meta charset=bogus><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("an unknown label in content leaves charset null")
        << QByteArray("<meta http-equiv=content-type content='charset=bogus' charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("an unknown label in content declares nothing")
        << QByteArray("<meta http-equiv=content-type content='charset=bogus'><meta charset=koi8-r>") << QByteArray("KOI8-R");
}

void TestPrescan::cutOff_data()
{
    columns();
    const QByteArray pad(1000, ' ');
    QTest::newRow("the end inside an unquoted value") << QByteArray("<meta charset=koi8-r") << QByteArray();
    QTest::newRow("the end after the last attribute") << QByteArray("<meta charset=koi8-r ") << QByteArray();
    QTest::newRow("the end after a slash") << QByteArray("<meta charset=koi8-r/") << QByteArray();
    QTest::newRow("the end inside a quoted value") << QByteArray("<meta charset='koi8-r") << QByteArray();
    QTest::newRow("the end after a quoted value") << QByteArray("<meta charset='koi8-r'") << QByteArray();
    QTest::newRow("the end after a name") << QByteArray("<meta charset=koi8-r name") << QByteArray();
    QTest::newRow("the end after an equals sign") << QByteArray("<meta charset=koi8-r name=") << QByteArray();
    QTest::newRow("the window cuts the tag") << QByteArray(pad + "<meta charset=koi8-r           >") << QByteArray();
    const QByteArray tag("<meta charset=koi8-r>");
    QTest::newRow("the tag's '>' is the window's last byte")
        << QByteArray(QByteArray(1024 - tag.size(), ' ') + tag + "  ") << QByteArray("KOI8-R");
    QTest::newRow("the tag's '>' is the first byte past the window")
        << QByteArray(QByteArray(1025 - tag.size(), ' ') + tag) << QByteArray();
    QTest::newRow("the end inside another tag hides a later meta")
        << QByteArray(pad + "<p title='") + QByteArray(100, 'x') + "'><meta charset=koi8-r>" << QByteArray();
    QTest::newRow("only the first 1024 bytes count") << QByteArray(QByteArray(1100, ' ') + "<meta charset=koi8-r>") << QByteArray();
}

void TestPrescan::skipped_data()
{
    columns();
    QTest::newRow("a meta in a comment") << QByteArray("<!-- <meta charset=koi8-r> --><meta charset=euc-kr>") << QByteArray("EUC-KR");
    QTest::newRow("<!--> is a whole comment") << QByteArray("<!--><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("<!---> is a whole comment") << QByteArray("<!---><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a comment ends only at -->") << QByteArray("<!-- > -- > <meta charset=koi8-r> -->") << QByteArray();
    QTest::newRow("an unterminated comment hides the rest") << QByteArray("<!-- <meta charset=koi8-r>") << QByteArray();
    QTest::newRow("a meta in another tag's attribute")
        << QByteArray("<div title=\"<meta charset=koi8-r>\"><meta charset=euc-kr>") << QByteArray("EUC-KR");
    QTest::newRow("a meta in an end tag's attribute")
        << QByteArray("</div title=\"<meta charset=koi8-r>\"><meta charset=euc-kr>") << QByteArray("EUC-KR");
    QTest::newRow("a doctype is skipped") << QByteArray("<!DOCTYPE html><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("<? runs to the first >") << QByteArray("<? <meta charset=koi8-r>") << QByteArray();
    QTest::newRow("</ and no letter runs to the first >") << QByteArray("</ <meta charset=koi8-r>") << QByteArray();
    QTest::newRow("<! runs to the first >, not to a quote's end")
        << QByteArray("<!x '>'<meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("< and no letter is a byte like any other") << QByteArray("<<3 <meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("<metax is another tag") << QByteArray("<metax charset=koi8-r>") << QByteArray();
    QTest::newRow("<meta> has no attributes") << QByteArray("<meta><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a tag name that ends at >") << QByteArray("<p><meta charset=koi8-r>") << QByteArray("KOI8-R");
}

void TestPrescan::getAnAttribute_data()
{
    columns();
    QTest::newRow("spaces around the equals sign") << QByteArray("<meta charset = koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("line breaks around the equals sign") << QByteArray("<meta\ncharset\r\n=\fkoi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("an attribute without a value first") << QByteArray("<meta itemprop charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a '>' inside a quoted value")
        << QByteArray("<meta content=\"a>b; charset=koi8-r\" http-equiv=\"content-type\">") << QByteArray("KOI8-R");
    QTest::newRow("a slash ends a name") << QByteArray("<meta x/charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a slash does not end an unquoted value") << QByteArray("<meta charset=koi8-r/>") << QByteArray();
    QTest::newRow("an equals sign starts a name") << QByteArray("<meta =charset=koi8-r>") << QByteArray();
    QTest::newRow("'>' right after the equals sign is an empty value")
        << QByteArray("<meta charset=><meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("a quote inside an unquoted value") << QByteArray("<meta charset=koi8-r'>") << QByteArray();
    QTest::newRow("the other quote inside a quoted value")
        << QByteArray("<meta http-equiv=content-type content=\"x='y'; charset=koi8-r\">") << QByteArray("KOI8-R");
}

void TestPrescan::metaContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("plain") << QByteArray("text/html; charset=koi8-r") << QByteArray("KOI8-R");
    QTest::newRow("any case") << QByteArray("text/html; CharSet=KOI8-R") << QByteArray("KOI8-R");
    QTest::newRow("whitespace around the equals sign") << QByteArray("charset \t= koi8-r") << QByteArray("KOI8-R");
    QTest::newRow("a charset without '=' is passed over") << QByteArray("charset; charset=koi8-r") << QByteArray("KOI8-R");
    QTest::newRow("charset inside a word counts too") << QByteArray("xcharset=koi8-r") << QByteArray("KOI8-R");
    QTest::newRow("double quotes") << QByteArray("charset=\"koi8-r\"; x") << QByteArray("KOI8-R");
    QTest::newRow("single quotes keep spaces and semicolons")
        << QByteArray("charset=' koi8-r;'") << QByteArray();
    QTest::newRow("single quotes, label trimmed") << QByteArray("charset=' koi8-r '") << QByteArray("KOI8-R");
    QTest::newRow("an unmatched quote gives nothing") << QByteArray("charset=\"koi8-r") << QByteArray();
    QTest::newRow("stops at a semicolon") << QByteArray("charset=koi8-r;x") << QByteArray("KOI8-R");
    QTest::newRow("stops at whitespace") << QByteArray("charset=koi8-r x") << QByteArray("KOI8-R");
    QTest::newRow("nothing after the equals sign") << QByteArray("charset=") << QByteArray();
    QTest::newRow("no charset") << QByteArray("text/html") << QByteArray();
    QTest::newRow("an unknown label") << QByteArray("charset=bogus") << QByteArray();
    QTest::newRow("only the first charset= counts") << QByteArray("charset=bogus; charset=koi8-r") << QByteArray();
}

void TestPrescan::metaContent()
{
    QFETCH(QByteArray, content);
    QTEST(Encoding::extractEncodingFromMetaContent(content), "encoding");
}

void TestPrescan::utf16XmlDeclaration_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<Encoding::EncodingSource>("source");
    QTest::newRow("little endian") << QByteArray("<\0?\0x\0m\0l\0", 10) << QByteArray("UTF-16LE") << Encoding::EncodingSource::XmlDeclaration;
    QTest::newRow("big endian") << QByteArray("\0<\0?\0x\0m\0l", 10) << QByteArray("UTF-16BE") << Encoding::EncodingSource::XmlDeclaration;
    QTest::newRow("a meta's UTF-16 is UTF-8 from the meta")
        << QByteArray("<meta charset=utf-16le>") << QByteArray("UTF-8") << Encoding::EncodingSource::Meta;
    QTest::newRow("an ASCII XML declaration is read after the prescan")
        << QByteArray("<?xml version='1.0' encoding='koi8-r'?>") << QByteArray("KOI8-R") << Encoding::EncodingSource::XmlDeclaration;
    QTest::newRow("a meta wins over an XML declaration")
        << QByteArray("<?xml version='1.0' encoding='koi8-r'?><meta charset=euc-kr>") << QByteArray("EUC-KR") << Encoding::EncodingSource::Meta;
    QTest::newRow("a cut-off meta leaves the XML declaration")
        << QByteArray("<?xml version='1.0' encoding='koi8-r'?><meta charset=euc-kr") << QByteArray("KOI8-R") << Encoding::EncodingSource::XmlDeclaration;
}

void TestPrescan::utf16XmlDeclaration()
{
    QFETCH(QByteArray, head);
    const Encoding::Sniffed sniffed = Encoding::sniff(head, "text/html");
    QTEST(sniffed.encoding, "encoding");
    QTEST(sniffed.source, "source");
}

QTEST_GUILESS_MAIN(TestPrescan)
#include "tst_prescan.moc"
