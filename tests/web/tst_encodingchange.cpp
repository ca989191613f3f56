#include "Decoder.h"
#include "DocumentDecoder.h"
#include "EncodingChange.h"

#include <QtTest>

using Encoding::EncodingSource;

// A page whose encoding was only guessed or prescanned, declared again (or otherwise) by
// a <meta> that HTML's parser meets in the head past the first kilobyte.
class TestEncodingChange : public QObject
{
    Q_OBJECT

private slots:
    void changes_data();
    void changes() { check(); }
    void keeps_data();
    void keeps() { check(); }
    void certain_data();
    void certain() { check(); }
    void sameTextInPieces_data();
    void sameTextInPieces();
    void changeTheEncoding_data();
    void changeTheEncoding();
    void declaredByMeta_data();
    void declaredByMeta();

private:
    static void columns();
    static void check();
};

namespace {

// Enough to push what follows past the prescan's first 1024 bytes, inside the head.
QByteArray pastThePrescan()
{
    return "<!--" + QByteArray(1100, 'x') + "-->";
}

QByteArray page(const QByteArray &head, const QByteArray &late, const QByteArray &body)
{
    return "<!DOCTYPE html><html><head>" + head + pastThePrescan() + late + "</head><body>" + body + "</body></html>";
}

QByteArray everyByte()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

QString decodedAs(const QByteArray &encoding, QByteArrayView bytes)
{
    QString text;
    Encoding::makeDecoder(encoding)->decode(bytes, true, text);
    return text;
}

struct Result
{
    QString text;
    QByteArray encoding;
    EncodingSource source;
    qint64 characters;
    qint64 lines;
};

Result decodeInPieces(QByteArrayView body, QByteArrayView contentType, qsizetype piece)
{
    Encoding::DocumentDecoder decoder(contentType);
    for (qsizetype at = 0; at < body.size(); at += piece)
        decoder.feed(body.sliced(at, std::min(piece, body.size() - at)));
    QString text = decoder.finish();
    return {text, decoder.encoding(), decoder.source(), decoder.characters(), decoder.lines()};
}

// "日本" and "é" as Shift_JIS, EUC-KR, KOI8-R and windows-1252 write them.
const QByteArray nihonShiftJis = "\x93\xFA\x96\x7B";
const QByteArray hangulEucKr = "\xC7\xD1\xB1\xDB";
const QByteArray eAcuteUtf8 = "\xC3\xA9";
const QByteArray eAcuteLatin1 = "\xE9";

} // namespace

void TestEncodingChange::columns()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<EncodingSource>("source");
}

void TestEncodingChange::check()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, encoding);
    QFETCH(EncodingSource, source);

    Encoding::DocumentDecoder decoder(contentType);
    decoder.feed(body);
    const QString text = decoder.finish();
    QCOMPARE(decoder.encoding(), encoding);
    QCOMPARE(decoder.source(), source);
    // The whole page reads in the encoding it ends with, from its first byte; a
    // byte-order mark is not text.
    const qsizetype bom = source == EncodingSource::ByteOrderMark ? (encoding == "UTF-8" ? 3 : 2) : 0;
    QCOMPARE(text, decodedAs(encoding, QByteArrayView(body).sliced(bom)));
}

void TestEncodingChange::changes_data()
{
    columns();
    QTest::newRow("windows-1252 fallback, then Shift_JIS")
        << page("<title>" + nihonShiftJis + "</title>", "<meta charset=\"shift_jis\">", nihonShiftJis) << QByteArray("text/html")
        << QByteArray("Shift_JIS") << EncodingSource::MetaWhileParsing;
    QTest::newRow("valid-UTF-8 guess, then KOI8-R")
        << page("<title>" + eAcuteUtf8 + "</title>", "<meta charset=koi8-r>", eAcuteUtf8) << QByteArray("text/html")
        << QByteArray("KOI8-R") << EncodingSource::MetaWhileParsing;
    QTest::newRow("no Content-Type at all")
        << page({}, "<meta charset=shift_jis>", nihonShiftJis) << QByteArray() << QByteArray("Shift_JIS")
        << EncodingSource::MetaWhileParsing;
    QTest::newRow("every byte given back after the windows-1252 fallback")
        << page("<title>" + everyByte() + "</title>", "<meta charset=koi8-r>", {}) << QByteArray("text/html")
        << QByteArray("KOI8-R") << EncodingSource::MetaWhileParsing;
    QTest::newRow("http-equiv with a charset in content")
        << page({}, "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=euc-kr\">", hangulEucKr)
        << QByteArray("text/html") << QByteArray("EUC-KR") << EncodingSource::MetaWhileParsing;
    QTest::newRow("an unknown charset lets http-equiv speak")
        << page({}, "<meta charset=bogus http-equiv=content-type content='text/html; charset=euc-kr'>", hangulEucKr)
        << QByteArray("text/html") << QByteArray("EUC-KR") << EncodingSource::MetaWhileParsing;
    QTest::newRow("a character reference in the label")
        << page({}, "<meta charset=\"koi8&#x2D;r\">", eAcuteUtf8) << QByteArray("text/html") << QByteArray("KOI8-R")
        << EncodingSource::MetaWhileParsing;
    QTest::newRow("UTF-16 label reads as UTF-8")
        << page("<title>" + eAcuteLatin1 + "</title>", "<meta charset=utf-16le>", eAcuteUtf8) << QByteArray("text/html")
        << QByteArray("UTF-8") << EncodingSource::MetaWhileParsing;
    QTest::newRow("x-user-defined reads as windows-1252")
        << page({}, "<meta charset=x-user-defined>", eAcuteUtf8) << QByteArray("text/html") << QByteArray("windows-1252")
        << EncodingSource::MetaWhileParsing;
    QTest::newRow("after </head>, before <body>")
        << QByteArray("<html><head>" + pastThePrescan() + "</head> <meta charset=shift_jis><body>" + nihonShiftJis)
        << QByteArray("text/html") << QByteArray("Shift_JIS") << EncodingSource::MetaWhileParsing;
    QTest::newRow("the prescan's <meta> was inside a script")
        << page("<script>document.write('<meta charset=koi8-r>')</script>", "<meta charset=euc-kr>", hangulEucKr)
        << QByteArray("text/html") << QByteArray("EUC-KR") << EncodingSource::MetaWhileParsing;
    QTest::newRow("the prescan's XML declaration")
        << QByteArray("<?xml version='1.0' encoding='koi8-r'?>" + page({}, "<meta charset=euc-kr>", hangulEucKr))
        << QByteArray("text/html") << QByteArray("EUC-KR") << EncodingSource::MetaWhileParsing;
    QTest::newRow("a head of 200 kB")
        << QByteArray("<head><!--" + QByteArray(200'000, '-') + "--><meta charset=shift_jis>" + nihonShiftJis)
        << QByteArray("text/html") << QByteArray("Shift_JIS") << EncodingSource::MetaWhileParsing;
}

void TestEncodingChange::keeps_data()
{
    columns();
    QTest::newRow("after <body>")
        << QByteArray("<head>" + pastThePrescan() + "</head><body><meta charset=shift_jis>" + nihonShiftJis)
        << QByteArray("text/html") << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("after text")
        << QByteArray("<head>" + pastThePrescan() + "Hello <meta charset=shift_jis>" + nihonShiftJis) << QByteArray("text/html")
        << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("after a start tag the head does not hold")
        << QByteArray("<head>" + pastThePrescan() + "<div><meta charset=koi8-r>" + eAcuteUtf8) << QByteArray("text/html")
        << QByteArray("UTF-8") << EncodingSource::ValidUtf8;
    QTest::newRow("inside a title")
        << page("<title>" + pastThePrescan() + "<meta charset=shift_jis></title>", {}, nihonShiftJis) << QByteArray("text/html")
        << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("inside a comment")
        << page({}, "<!-- <meta charset=shift_jis> -->", nihonShiftJis) << QByteArray("text/html") << QByteArray("windows-1252")
        << EncodingSource::Fallback;
    QTest::newRow("an unknown label")
        << page({}, "<meta charset=bogus>", nihonShiftJis) << QByteArray("text/html") << QByteArray("windows-1252")
        << EncodingSource::Fallback;
    QTest::newRow("http-equiv of another name")
        << page({}, "<meta http-equiv=refresh content='charset=shift_jis'>", nihonShiftJis) << QByteArray("text/html")
        << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("a duplicate charset is dropped")
        << page({}, "<meta charset=bogus charset=shift_jis>", nihonShiftJis) << QByteArray("text/html")
        << QByteArray("windows-1252") << EncodingSource::Fallback;
    QTest::newRow("not a <meta>")
        << page({}, "<metadata charset=shift_jis>", eAcuteUtf8) << QByteArray("text/html") << QByteArray("UTF-8")
        << EncodingSource::ValidUtf8;
    QTest::newRow("a tag the end cuts off")
        << QByteArray("<head>" + pastThePrescan() + "<meta charset=shift_jis") << QByteArray("text/html") << QByteArray("UTF-8")
        << EncodingSource::ValidUtf8;
    QTest::newRow("the current encoding, guessed")
        << page("<title>" + eAcuteLatin1 + "</title>", "<meta charset=iso-8859-1>", eAcuteLatin1)
        << QByteArray("text/html") << QByteArray("windows-1252") << EncodingSource::MetaWhileParsing;
    QTest::newRow("the current encoding, prescanned")
        << page("<meta charset=koi8-r>", "<meta charset=koi8-r>", eAcuteUtf8) << QByteArray("text/html") << QByteArray("KOI8-R")
        << EncodingSource::Meta;
    // Once declared, UTF-8 reads to the end; a bad byte is no longer a reason to fall
    // back to windows-1252.
    QTest::newRow("UTF-8 guess declared, then a bad byte")
        << page({}, "<meta charset=utf-8>", eAcuteUtf8 + eAcuteLatin1) << QByteArray("text/html") << QByteArray("UTF-8")
        << EncodingSource::MetaWhileParsing;
}

void TestEncodingChange::certain_data()
{
    columns();
    const QByteArray late = page({}, "<meta charset=shift_jis>", nihonShiftJis);
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" + late) << QByteArray("text/html") << QByteArray("UTF-8")
                                     << EncodingSource::ByteOrderMark;
    QTest::newRow("Content-Type charset") << late << QByteArray("text/html; charset=windows-1252")
                                          << QByteArray("windows-1252") << EncodingSource::ContentType;
    QTest::newRow("an XML document") << late << QByteArray("application/xhtml+xml") << QByteArray("windows-1252")
                                     << EncodingSource::Fallback;
    QTest::newRow("plain text") << late << QByteArray("text/plain") << QByteArray("windows-1252") << EncodingSource::Fallback;
    const QByteArray utf16 = QByteArray("<?xml") + "<head>" + pastThePrescan() + "<meta charset=shift_jis>";
    QByteArray utf16le;
    for (char c : utf16)
        utf16le.append(c).append('\0');
    QTest::newRow("UTF-16 from the first bytes") << utf16le << QByteArray("text/html") << QByteArray("UTF-16LE")
                                                 << EncodingSource::XmlDeclaration;
}

void TestEncodingChange::sameTextInPieces_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<qsizetype>("piece");

    const QList<std::pair<const char *, QByteArray>> pages = {
        {"change", page("<title>" + nihonShiftJis + "</title>", "<meta charset=shift_jis>", nihonShiftJis)},
        {"change from the UTF-8 guess", page({}, "<meta charset=koi8-r>", eAcuteUtf8)},
        {"change after the windows-1252 fallback", page("<title>" + everyByte() + "</title>", "<meta charset=koi8-r>", {})},
        // What follows the <meta> could be cut before the encoding changes or after.
        {"bad UTF-8 after the <meta>", page({}, "<meta charset=utf-8>", QByteArray(5000, 'a') + eAcuteLatin1)},
        {"bad UTF-8 after the <meta>, another encoding", page({}, "<meta charset=koi8-r>", QByteArray(5000, 'a') + eAcuteLatin1)},
        // The text read as UTF-8 so far is read again as windows-1252, from its start.
        {"bad UTF-8 after much UTF-8",
         QByteArray("<head><title>" + eAcuteUtf8.repeated(600) + "</title>" + QByteArray(280, ' ') + "<!--" + eAcuteLatin1
                    + "--><meta charset=koi8-r>" + QByteArray(1000, 'a'))},
        {"a long head", QByteArray("<head><!--" + QByteArray(250'000, '-') + "--><meta charset=shift_jis>" + nihonShiftJis)},
        {"the body first", QByteArray("<head>" + pastThePrescan() + "Hi<meta charset=shift_jis>" + nihonShiftJis)},
        {"a <meta> spread over many lines", page({}, "<meta\r\n  http-equiv\r\n=\r\n'content-type'\r\ncontent\r\n=\r\n'charset=euc-kr'>",
                                                  hangulEucKr + "\r\n" + QByteArray(5000, 'a'))},
    };
    for (const auto &[name, body] : pages) {
        for (qsizetype piece : {1, 2, 1000, 100'000})
            QTest::addRow("%s, in pieces of %lld", name, qlonglong(piece)) << body << QByteArray("text/html") << piece;
    }
}

void TestEncodingChange::sameTextInPieces()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(qsizetype, piece);

    const Result whole = decodeInPieces(body, contentType, body.size());
    const Result pieces = decodeInPieces(body, contentType, piece);
    QCOMPARE(pieces.encoding, whole.encoding);
    QCOMPARE(pieces.source, whole.source);
    QCOMPARE(pieces.text, whole.text);
    QCOMPARE(pieces.characters, whole.characters);
    QCOMPARE(pieces.lines, whole.lines);
}

void TestEncodingChange::changeTheEncoding_data()
{
    using Action = Encoding::EncodingChange::Action;
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("declared");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("encoding");

    QTest::newRow("another encoding") << QByteArray("windows-1252") << QByteArray("Shift_JIS") << Action::Redecode
                                      << QByteArray("Shift_JIS");
    QTest::newRow("the same") << QByteArray("Shift_JIS") << QByteArray("Shift_JIS") << Action::KeepCertain
                              << QByteArray("Shift_JIS");
    QTest::newRow("UTF-16BE is UTF-8") << QByteArray("windows-1252") << QByteArray("UTF-16BE") << Action::Redecode
                                       << QByteArray("UTF-8");
    QTest::newRow("UTF-16LE is the UTF-8 in use") << QByteArray("UTF-8") << QByteArray("UTF-16LE") << Action::KeepCertain
                                                  << QByteArray("UTF-8");
    QTest::newRow("x-user-defined is windows-1252") << QByteArray("UTF-8") << QByteArray("x-user-defined") << Action::Redecode
                                                    << QByteArray("windows-1252");
    QTest::newRow("x-user-defined is the windows-1252 in use")
        << QByteArray("windows-1252") << QByteArray("x-user-defined") << Action::KeepCertain << QByteArray("windows-1252");
    QTest::newRow("UTF-16 in use stays") << QByteArray("UTF-16LE") << QByteArray("Shift_JIS") << Action::KeepCertain
                                         << QByteArray("UTF-16LE");
}

void TestEncodingChange::changeTheEncoding()
{
    using Action = Encoding::EncodingChange::Action;
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, declared);
    QFETCH(Action, action);
    QFETCH(QByteArray, encoding);

    const Encoding::EncodingChange change = Encoding::changeTheEncoding(current, declared);
    QCOMPARE(change.action, action);
    QCOMPARE(change.encoding, encoding);
}

void TestEncodingChange::declaredByMeta_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QByteArray>("encoding");

    QTest::newRow("charset") << QStringLiteral("<meta charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("names and label in any case, spaces around the label")
        << QStringLiteral("<META CHARSET=' KOI8-R\t'>") << QByteArray("KOI8-R");
    QTest::newRow("self-closing") << QStringLiteral("<meta charset=\"koi8-r\"/>") << QByteArray("KOI8-R");
    QTest::newRow("charset before http-equiv")
        << QStringLiteral("<meta http-equiv=content-type content='charset=euc-kr' charset=koi8-r>") << QByteArray("KOI8-R");
    QTest::newRow("http-equiv") << QStringLiteral("<meta http-equiv='Content-Type' content='text/html;charset=euc-kr'>")
                                << QByteArray("EUC-KR");
    QTest::newRow("http-equiv without content") << QStringLiteral("<meta http-equiv=content-type>") << QByteArray();
    QTest::newRow("content without http-equiv") << QStringLiteral("<meta content='charset=euc-kr'>") << QByteArray();
    QTest::newRow("content without a charset")
        << QStringLiteral("<meta http-equiv=content-type content='text/html'>") << QByteArray();
    QTest::newRow("the first http-equiv counts")
        << QStringLiteral("<meta http-equiv=refresh http-equiv=content-type content='charset=euc-kr'>") << QByteArray();
    QTest::newRow("an unknown label") << QStringLiteral("<meta charset=utf-9>") << QByteArray();
    QTest::newRow("an empty charset") << QStringLiteral("<meta charset>") << QByteArray();
    QTest::newRow("another element") << QStringLiteral("<link charset=koi8-r>") << QByteArray();
    QTest::newRow("an end tag") << QStringLiteral("</meta charset=koi8-r>") << QByteArray();
}

void TestEncodingChange::declaredByMeta()
{
    QFETCH(QString, tag);
    QFETCH(QByteArray, encoding);

    QCOMPARE(Encoding::encodingDeclaredByMeta(tag), encoding);
}

QTEST_GUILESS_MAIN(TestEncodingChange)
#include "tst_encodingchange.moc"
