// Every decoder against the encoding index files themselves: each byte sequence of an
// encoding's byte space must give the index's code point, or U+FFFD and the ASCII byte
// read again. Hand-worked rows cover each algorithm's own paths.

#include "Decoder.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<Encoding::Decoder> decoderFor(const QByteArray &encoding)
{
    auto decoder = Encoding::makeDecoder(encoding);
    if (!decoder)
        qFatal("no decoder for %s", encoding.constData());
    return decoder;
}

// The text of bytes fed in pieces that end at each of cuts.
QString decodeInPieces(const QByteArray &encoding, const QByteArray &bytes, const QList<qsizetype> &cuts = {})
{
    auto decoder = decoderFor(encoding);
    QString text;
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        decoder->decode(QByteArrayView(bytes).sliced(from, cut - from), false, text);
        from = cut;
    }
    decoder->decode(QByteArrayView(bytes).sliced(from), true, text);
    return text;
}

// pointer → code point, as an index file lists them.
QMap<int, char32_t> readIndex(const QString &name)
{
    QFile file(QStringLiteral(VELLUMIN_ENCODING_INDEXES "/index-%1.txt").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QMap<int, char32_t> index;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split('\t');
        if (fields.size() >= 2 && !line.startsWith('#'))
            index.insert(fields[0].trimmed().toInt(), char32_t(fields[1].toUInt(nullptr, 16)));
    }
    return index;
}

QString text(std::initializer_list<char32_t> codePoints)
{
    QString s;
    for (char32_t c : codePoints) {
        if (QChar::requiresSurrogates(c))
            s += QChar(QChar::highSurrogate(c));
        s += QChar(QChar::requiresSurrogates(c) ? QChar::lowSurrogate(c) : char16_t(c));
    }
    return s;
}

using ByteMap = QHash<QByteArray, QString>;

// Every pointer of an index as the bytes that encode it.
void addPointers(ByteMap &map, const QString &index, const std::function<QByteArray(int)> &bytesOf, int below = INT_MAX)
{
    const QMap<int, char32_t> entries = readIndex(index);
    for (auto it = entries.begin(); it != entries.end() && it.key() < below; ++it)
        map.insert(bytesOf(it.key()), text({it.value()}));
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b += char(v);
    return b;
}

// What each two-byte sequence of an encoding decodes to, where it is a pointer.
ByteMap pairsOf(const QByteArray &encoding)
{
    ByteMap map;
    if (encoding == "Shift_JIS") {
        addPointers(map, "jis0208", [](int p) {
            const int lead = p / 188, trail = p % 188;
            return bytes({lead + (lead < 0x1F ? 0x81 : 0xC1), trail + (trail < 0x3F ? 0x40 : 0x41)});
        });
        for (int p = 8836; p <= 10715; ++p) // the user-defined area
            map.insert(bytes({p / 188 + 0xC1, p % 188 + (p % 188 < 0x3F ? 0x40 : 0x41)}), text({char32_t(0xE000 + p - 8836)}));
    } else if (encoding == "EUC-KR") {
        addPointers(map, "euc-kr", [](int p) { return bytes({p / 190 + 0x81, p % 190 + 0x41}); });
    } else if (encoding == "Big5") {
        addPointers(map, "big5", [](int p) { return bytes({p / 157 + 0x81, p % 157 + (p % 157 < 0x3F ? 0x40 : 0x62)}); });
        map.insert(bytes({0x88, 0x62}), text({0xCA, 0x304}));
        map.insert(bytes({0x88, 0x64}), text({0xCA, 0x30C}));
        map.insert(bytes({0x88, 0xA3}), text({0xEA, 0x304}));
        map.insert(bytes({0x88, 0xA5}), text({0xEA, 0x30C}));
    } else if (encoding == "GBK" || encoding == "gb18030") {
        addPointers(map, "gb18030", [](int p) { return bytes({p / 190 + 0x81, p % 190 + (p % 190 < 0x3F ? 0x40 : 0x41)}); });
    } else if (encoding == "EUC-JP") {
        addPointers(map, "jis0208", [](int p) { return bytes({p / 94 + 0xA1, p % 94 + 0xA1}); }, 94 * 94);
        for (int b = 0xA1; b <= 0xDF; ++b)
            map.insert(bytes({0x8E, b}), text({char32_t(0xFF61 + b - 0xA1)}));
    } else if (encoding == "ISO-2022-JP") {
        addPointers(map, "jis0208", [](int p) { return bytes({p / 94 + 0x21, p % 94 + 0x21}); }, 94 * 94);
    }
    return map;
}

QString hex(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' '));
}

} // namespace

class TestDecoders : public QObject
{
    Q_OBJECT

private slots:
    void singleByte_data();
    void singleByte();
    void pairs_data();
    void pairs();
    void jis0212Triples();
    void gb18030FourBytes();
    void decode_data();
    void decode();
    void unicodeRoundTrip_data();
    void unicodeRoundTrip();
    void everyEncodingHasADecoder();
};

void TestDecoders::singleByte_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("index");
    for (const char *name : {"IBM866", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7",
                             "ISO-8859-8", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16",
                             "KOI8-R", "KOI8-U", "macintosh", "windows-874", "windows-1250", "windows-1251",
                             "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
                             "windows-1257", "windows-1258", "x-mac-cyrillic"})
        QTest::newRow(name) << QByteArray(name) << QString::fromLatin1(name).toLower();
    QTest::newRow("ISO-8859-8-I reads ISO-8859-8's table") << QByteArray("ISO-8859-8-I") << QStringLiteral("iso-8859-8");
}

// All 256 bytes in one stream: ASCII as itself, the upper half from the index, U+FFFD
// where the index has a gap.
void TestDecoders::singleByte()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, index);
    const QMap<int, char32_t> entries = readIndex(index);
    QByteArray all;
    QString expected;
    for (int b = 0; b < 256; ++b) {
        all += char(b);
        expected += b < 0x80 ? QChar(b) : QChar(char16_t(entries.value(b - 0x80, 0xFFFD)));
    }
    QCOMPARE(decodeInPieces(encoding, all), expected);
    QCOMPARE(decodeInPieces(encoding, all, {1, 128, 129, 200}), expected);
}

void TestDecoders::pairs_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("prefix"); // puts the decoder where pairs are read
    QTest::addColumn<QList<int>>("leads");
    QTest::addColumn<bool>("asciiTrailIsReread");

    const auto range = [](int from, int to) {
        QList<int> r;
        for (int b = from; b <= to; ++b)
            r.append(b);
        return r;
    };
    QTest::newRow("Shift_JIS") << QByteArray("Shift_JIS") << QByteArray() << range(0x81, 0x9F) + range(0xE0, 0xFC) << true;
    QTest::newRow("EUC-KR") << QByteArray("EUC-KR") << QByteArray() << range(0x81, 0xFE) << true;
    QTest::newRow("Big5") << QByteArray("Big5") << QByteArray() << range(0x81, 0xFE) << true;
    QTest::newRow("GBK") << QByteArray("GBK") << QByteArray() << range(0x81, 0xFE) << true;
    QTest::newRow("gb18030") << QByteArray("gb18030") << QByteArray() << range(0x81, 0xFE) << true;
    QTest::newRow("EUC-JP") << QByteArray("EUC-JP") << QByteArray() << QList<int>{0x8E} + range(0xA1, 0xFE) << true;
    QTest::newRow("ISO-2022-JP after ESC $ B") << QByteArray("ISO-2022-JP") << QByteArray("\x1B$B") << range(0x21, 0x7E) << false;
}

// Every lead byte with every trail byte, whole and cut between the two.
void TestDecoders::pairs()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, prefix);
    QFETCH(QList<int>, leads);
    QFETCH(bool, asciiTrailIsReread);
    const ByteMap expectedPairs = pairsOf(encoding);
    QStringList wrong;
    for (int lead : leads) {
        for (int trail = 0; trail < 256; ++trail) {
            // A digit after a gb18030 lead starts four bytes; ESC starts an escape.
            if ((encoding.startsWith("G") || encoding.startsWith("g")) && trail >= 0x30 && trail <= 0x39)
                continue;
            if (trail == 0x1B && encoding == "ISO-2022-JP")
                continue;
            const QByteArray pair = bytes({lead, trail});
            QString expected = expectedPairs.value(pair, QStringLiteral("\uFFFD"));
            if (!expectedPairs.contains(pair) && trail < 0x80 && asciiTrailIsReread)
                expected += QChar(trail);
            const QByteArray input = prefix + pair;
            for (const QString &actual : {decodeInPieces(encoding, input), decodeInPieces(encoding, input, {input.size() - 1})}) {
                if (actual != expected && wrong.size() < 10)
                    wrong << QStringLiteral("%1: %2 instead of %3").arg(hex(pair), hex(actual.toUtf8()), hex(expected.toUtf8()));
            }
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

// EUC-JP's 8F: every pair of JIS X 0212.
void TestDecoders::jis0212Triples()
{
    const QMap<int, char32_t> jis0212 = readIndex("jis0212");
    QStringList wrong;
    for (int lead = 0xA1; lead <= 0xFE; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const char32_t codePoint = jis0212.value((lead - 0xA1) * 94 + trail - 0xA1, 0xFFFD);
            const QByteArray triple = bytes({0x8F, lead, trail});
            const QString actual = decodeInPieces("EUC-JP", triple, {1, 2});
            if (actual != text({codePoint}) && wrong.size() < 10)
                wrong << hex(triple) + ": " + hex(actual.toUtf8());
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

// Every four-byte sequence of the BMP, and the edges of the rest, from the ranges file.
void TestDecoders::gb18030FourBytes()
{
    const QMap<int, char32_t> ranges = readIndex("gb18030-ranges");
    const auto expectedFor = [&ranges](int pointer) -> char32_t {
        if ((pointer > 39419 && pointer < 189000) || pointer > 1237575)
            return 0xFFFD;
        if (pointer == 7457) // the one four-byte code the ranges leave out
            return 0xE7C7;
        const auto start = std::prev(ranges.upperBound(pointer));
        return start.value() + pointer - start.key();
    };
    QList<int> pointers;
    for (int p = 0; p <= 39421; ++p)
        pointers << p;
    for (int p = 189000; p <= 1237577; p += 4099)
        pointers << p;
    pointers << 188999 << 1237575 << 1237576;
    QStringList wrong;
    for (int p : pointers) {
        const QByteArray four = bytes({p / 12600 + 0x81, p / 1260 % 10 + 0x30, p / 10 % 126 + 0x81, p % 10 + 0x30});
        const QString actual = decodeInPieces("gb18030", four, {1, 3});
        if (actual != text({expectedFor(p)}) && wrong.size() < 10)
            wrong << QStringLiteral("pointer %1 (%2): %3").arg(p).arg(hex(four), hex(actual.toUtf8()));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

void TestDecoders::decode_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("hexBytes");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *what, const char *encoding, const char *hexBytes, const QString &expected) {
        QTest::newRow(what) << QByteArray(encoding) << QByteArray(hexBytes) << expected;
    };
    // The wrong results that browsers do not give.
    row("Big5 lead 81 has no pointers: @ is read again", "Big5", "8140", u"\uFFFD@"_s);
    row("Big5 88 62 is Ê and a macron", "Big5", "8862 8864 88a3 88a5", u"\u00CA\u0304\u00CA\u030C\u00EA\u0304\u00EA\u030C"_s);
    row("EUC-JP 81 is no lead", "EUC-JP", "8140", u"\uFFFD@"_s);
    row("EUC-KR ASCII trail is read again", "EUC-KR", "8140 815b", u"\uFFFD@\uFFFD["_s);
    row("Shift_JIS 81 7F", "Shift_JIS", "817f", u"\uFFFD\u007F"_s);
    row("Shift_JIS 81 FD takes both bytes", "Shift_JIS", "81fd", u"\uFFFD"_s);
    row("Shift_JIS 82 40", "Shift_JIS", "8240", u"\uFFFD@"_s);
    row("Shift_JIS 80 alone", "Shift_JIS", "80", u"\u0080"_s);
    row("GBK A2 E3 is the euro", "GBK", "a2e3 a3a0 ff", u"€\u3000\uFFFD"_s);
    row("gb18030 80 is the euro", "gb18030", "80 a3a0 a6d9", u"€\u3000\uFE10"_s);
    row("KOI8-U AE BE", "KOI8-U", "aebe", u"ўЎ"_s);
    row("windows-1253 AA is a gap", "windows-1253", "aa", u"\uFFFD"_s);
    row("windows-1255 CA", "windows-1255", "ca", u"\u05BA"_s);
    row("windows-874 DB to DE are gaps", "windows-874", "dbdcddde", u"\uFFFD\uFFFD\uFFFD\uFFFD"_s);
    row("EUC-JP cut off at the end", "EUC-JP", "41a4", u"A\uFFFD"_s);
    row("GBK cut off at the end", "GBK", "4181", u"A\uFFFD"_s);
    row("Big5 cut off at the end", "Big5", "4181", u"A\uFFFD"_s);
    row("EUC-KR cut off at the end", "EUC-KR", "41b0", u"A\uFFFD"_s);
    row("Shift_JIS cut off at the end", "Shift_JIS", "4181", u"A\uFFFD"_s);
    row("gb18030 cut off after three bytes", "gb18030", "41813081", u"A\uFFFD"_s);
    row("ISO-2022-JP cut off after an escape", "ISO-2022-JP", "1b244224", u"\uFFFD"_s);
    row("UTF-16LE unpaired surrogate", "UTF-16LE", "00d84100", u"\uFFFDA"_s);

    row("gb18030 first four-byte code", "gb18030", "81308130", u"\u0080"_s);
    row("gb18030 U+FFFF, and the pointer after it", "gb18030", "8431a439 8431a530", u"\uFFFF\uFFFD"_s);
    row("gb18030 U+10000 and U+10FFFF", "gb18030", "90308130 e3329a35", u"\U00010000\U0010FFFF"_s);
    row("gb18030 past U+10FFFF", "gb18030", "e3329a36", u"\uFFFD"_s);
    row("gb18030 U+E7C7", "gb18030", "8135f437", u"\uE7C7"_s);
    row("gb18030 lead, digit, ASCII: digit and ASCII read again", "gb18030", "813041", u"\uFFFD0A"_s);
    row("gb18030 three bytes then no digit: all but the first read again", "gb18030", "81308141", u"\uFFFD0\u4E04"_s);
    row("gb18030 FF is no lead", "gb18030", "ff41", u"\uFFFDA"_s);
    row("EUC-JP 8E half-width katakana", "EUC-JP", "8ea1 8edf", u"\uFF61\uFF9F"_s);
    row("EUC-JP 8E then no katakana", "EUC-JP", "8ee0 8e41", u"\uFFFD\uFFFDA"_s);
    row("EUC-JP 8F JIS X 0212", "EUC-JP", "8fa2af", u"\u02D8"_s);
    row("EUC-JP 8F then ASCII", "EUC-JP", "8f41 8fa241", u"\uFFFDA\uFFFDA"_s);
    row("EUC-JP 8F cut off", "EUC-JP", "8fa2", u"\uFFFD"_s);
    row("EUC-JP JIS X 0208", "EUC-JP", "c6fccbdcb8ec", u"日本語"_s);
    row("Shift_JIS user-defined area", "Shift_JIS", "f040 f9fc", u"\uE000\uE757"_s);
    row("Shift_JIS half-width katakana and gaps", "Shift_JIS", "a1 df a0 fd", u"\uFF61\uFF9F\uFFFD\uFFFD"_s);
    row("ISO-2022-JP JIS X 0208 then ASCII", "ISO-2022-JP", "1b2442 3021 1b2842 41", u"亜A"_s);
    row("ISO-2022-JP katakana and Roman", "ISO-2022-JP", "1b284921 1b284a5c7e", u"\uFF61\u00A5\u203E"_s);
    row("ISO-2022-JP empty run between escapes", "ISO-2022-JP", "1b2842 1b2842 41", u"\uFFFDA"_s);
    row("ISO-2022-JP empty run to JIS X 0208", "ISO-2022-JP", "1b2442 1b2842", u"\uFFFD"_s);
    row("ISO-2022-JP escape at the very end", "ISO-2022-JP", "41 1b2842", u"A"_s);
    row("ISO-2022-JP unknown escape is read again", "ISO-2022-JP", "1b2841 1b41", u"\uFFFD(A\uFFFDA"_s);
    row("ISO-2022-JP escape cut off", "ISO-2022-JP", "1b28", u"\uFFFD("_s);
    row("ISO-2022-JP lone ESC", "ISO-2022-JP", "1b", u"\uFFFD"_s);
    row("ISO-2022-JP escape in a pair", "ISO-2022-JP", "1b2442 30 1b2842 41", u"\uFFFDA"_s);
    row("ISO-2022-JP shift bytes and high bytes", "ISO-2022-JP", "0e0f80", u"\uFFFD\uFFFD\uFFFD"_s);
    row("UTF-16LE pair", "UTF-16LE", "3dd8 00de", u"\U0001F600"_s);
    row("UTF-16BE pair", "UTF-16BE", "d83d de00", u"\U0001F600"_s);
    row("UTF-16BE unpaired surrogate", "UTF-16BE", "d800 0041", u"\uFFFDA"_s);
    row("UTF-16LE lone trail surrogate", "UTF-16LE", "00dc 4100", u"\uFFFDA"_s);
    row("UTF-16LE lead surrogate twice", "UTF-16LE", "00d8 00d8 00dc", u"\uFFFD\U00010000"_s);
    row("UTF-16LE surrogate cut off", "UTF-16LE", "00d8", u"\uFFFD"_s);
    row("UTF-16LE odd byte", "UTF-16LE", "4100 42", u"A\uFFFD"_s);
    row("UTF-16LE surrogate and odd byte: one error", "UTF-16LE", "00d8 41", u"\uFFFD"_s);
    row("UTF-8 overlong", "UTF-8", "c0af e08080 f0808080", QString(9, QChar(0xFFFD)));
    row("UTF-8 surrogate", "UTF-8", "eda080", u"\uFFFD\uFFFD\uFFFD"_s);
    row("UTF-8 beyond U+10FFFF", "UTF-8", "f4908080", u"\uFFFD\uFFFD\uFFFD\uFFFD"_s);
    row("UTF-8 truncated sequence is one error", "UTF-8", "f09f98 41 e282", u"\uFFFDA\uFFFD"_s);
    row("UTF-8 stray bytes", "UTF-8", "80 ff 41", u"\uFFFD\uFFFDA"_s);
    row("UTF-8 valid, to the edges", "UTF-8", "e282ac f09f9880 efbbbf ed9fbf f48fbfbf", u"€\U0001F600\uFEFF\uD7FF\U0010FFFF"_s);
    row("replacement: one error for all", "replacement", "414243", u"\uFFFD"_s);
    row("replacement: nothing for nothing", "replacement", "", QString());
    row("x-user-defined", "x-user-defined", "41 80 ff", u"A\uF780\uF7FF"_s);
}

// Whole, cut once at every place, and byte by byte.
void TestDecoders::decode()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, hexBytes);
    QFETCH(QString, expected);
    const QByteArray input = QByteArray::fromHex(hexBytes);
    QCOMPARE(decodeInPieces(encoding, input), expected);
    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < input.size(); ++cut) {
        QCOMPARE(decodeInPieces(encoding, input, {cut}), expected);
        everyByte << cut;
    }
    QCOMPARE(decodeInPieces(encoding, input, everyByte), expected);
}

void TestDecoders::unicodeRoundTrip_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("UTF-8") << QByteArray("UTF-8");
    QTest::newRow("UTF-16LE") << QByteArray("UTF-16LE");
    QTest::newRow("UTF-16BE") << QByteArray("UTF-16BE");
}

// Long text with characters of every length comes back exact in pieces of every size.
void TestDecoders::unicodeRoundTrip()
{
    QFETCH(QByteArray, encoding);
    QString original;
    for (int i = 0; i < 300; ++i)
        original += u"<p class=\"x\">é€日本\U0001F600 "_s + QString::number(i);
    QByteArray encoded = original.toUtf8();
    if (encoding.startsWith("UTF-16")) {
        encoded = QByteArray(reinterpret_cast<const char *>(original.utf16()), original.size() * 2);
        for (qsizetype i = 0; encoding == "UTF-16BE" && i < encoded.size(); i += 2)
            std::swap(encoded[i], encoded[i + 1]);
    }
    for (int size = 1; size <= 17; ++size) {
        QList<qsizetype> cuts;
        for (qsizetype cut = size; cut < encoded.size(); cut += size)
            cuts << cut;
        QCOMPARE(decodeInPieces(encoding, encoded, cuts), original);
    }
}

void TestDecoders::everyEncodingHasADecoder()
{
    for (const char *name : {"UTF-8", "IBM866", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6",
                             "ISO-8859-7", "ISO-8859-8", "ISO-8859-8-I", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14",
                             "ISO-8859-15", "ISO-8859-16", "KOI8-R", "KOI8-U", "macintosh", "windows-874",
                             "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
                             "windows-1255", "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "GBK",
                             "gb18030", "Big5", "EUC-JP", "ISO-2022-JP", "Shift_JIS", "EUC-KR", "x-user-defined"})
        QCOMPARE(decodeInPieces(name, "abc"), QStringLiteral("abc"));
    QVERIFY(!Encoding::makeDecoder("utf-9"));
    QVERIFY(!Encoding::makeDecoder(""));
}

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
