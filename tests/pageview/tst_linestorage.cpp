#include "DisplayRows.h"
#include "LineIndex.h"

#include <QtTest>

namespace {

struct Line
{
    qsizetype start;
    qsizetype end;  // before its line break
    qsizetype next; // after it
};

// The lines of text, found the plain way.
QList<Line> referenceLines(const QString &text)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n' && text[i] != u'\r')
            continue;
        const qsizetype next = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? i + 2 : i + 1;
        lines.append({start, i, next});
        start = next;
        i = next - 1;
    }
    lines.append({start, text.size(), text.size()});
    return lines;
}

QString repeated(const QString &piece, qsizetype times)
{
    return piece.repeated(times);
}

// Rows of a fixed width in characters.
DisplayRows::Rule columnsRule(qsizetype columns, bool measureAtOnce)
{
    DisplayRows::Rule rule;
    rule.breaker = [columns](QStringView line, qsizetype start) { return std::min(line.size(), start + columns); };
    rule.estimate = [columns](qsizetype length) { return (length + columns - 1) / columns; };
    rule.singleRowLength = columns;
    rule.measureAtOnce = measureAtOnce;
    return rule;
}

QString ordinaryLines(qsizetype count)
{
    QString text;
    for (qsizetype i = 0; i < count; ++i)
        text += QStringLiteral("<div class=\"row\" id=\"r%1\"><a href=\"/item/%1\">Item %1</a></div>\n").arg(i);
    return text;
}

} // namespace

class TestLineStorage : public QObject
{
    Q_OBJECT

private slots:
    void linesAreFoundInEveryKindOfBlock_data();
    void linesAreFoundInEveryKindOfBlock();
    void storagePerLine_data();
    void storagePerLine();
    void rowsOverRunsOfShortLines_data();
    void rowsOverRunsOfShortLines();
    void noStoragePerLineWhileEveryLineIsOneRow_data();
    void noStoragePerLineWhileEveryLineIsOneRow();
    void aSliceIndexesALimitedNumberOfLines_data();
    void aSliceIndexesALimitedNumberOfLines();
};

void TestLineStorage::linesAreFoundInEveryKindOfBlock_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<qsizetype>("slice");
    QTest::newRow("empty lines, LF") << repeated(QStringLiteral("\n"), 1000) << qsizetype(1);
    QTest::newRow("empty lines, CR LF, indexed in slices that split the pairs") << repeated(QStringLiteral("\r\n"), 1000) << qsizetype(3);
    QTest::newRow("empty lines, lone CR") << repeated(QStringLiteral("\r"), 1000) << qsizetype(1000);
    QTest::newRow("CR then CR LF: a lone CR and a pair") << repeated(QStringLiteral("\r\r\n"), 700) << qsizetype(7);
    QTest::newRow("short lines then long ones then short again")
            << repeated(QStringLiteral("a\n"), 300) + repeated(QString(100, u'x') + u'\n', 300) + repeated(QStringLiteral("\r\n"), 300)
            << qsizetype(50);
    QTest::newRow("lines long enough for 32-bit places") << repeated(QString(1500, u'y') + QStringLiteral("\r\n"), 200) << qsizetype(100'000);
    QTest::newRow("a block of short lines closed by a huge one")
            << repeated(QStringLiteral("\n"), 63) + QString(70'000, u'z') + QStringLiteral("\n") + repeated(QStringLiteral("b\n"), 130)
            << qsizetype(4096);
    QTest::newRow("a huge line opening a block: 32-bit places")
            << QString(70'000, u'w') + QStringLiteral("\r\n") + repeated(QStringLiteral("v\r"), 140) << qsizetype(333);
    QTest::newRow("no final line break, 64 lines exactly") << repeated(QStringLiteral("c\n"), 63) + QStringLiteral("c") << qsizetype(1);
    QTest::newRow("ends with a lone CR after a full block") << repeated(QStringLiteral("\n"), 128) + QStringLiteral("\r") << qsizetype(5);
}

void TestLineStorage::linesAreFoundInEveryKindOfBlock()
{
    QFETCH(QString, document);
    QFETCH(qsizetype, slice);
    LineIndex index;
    index.reset(document);
    while (!index.extend(slice)) {
    }
    const QList<Line> expected = referenceLines(document);
    QCOMPARE(index.lineCount(), expected.size());
    // In order, then backwards: a block that is read again must not lean on the
    // line asked for before.
    for (qsizetype line = 0; line < expected.size(); ++line) {
        QCOMPARE(index.lineStart(line), expected[line].start);
        QCOMPARE(index.lineEnd(line), expected[line].end);
        QCOMPARE(index.nextLineStart(line), expected[line].next);
    }
    for (qsizetype line = expected.size() - 1; line >= 0; --line)
        QCOMPARE(index.lineStart(line), expected[line].start);
    for (qsizetype line = 0; line < expected.size(); ++line) {
        for (qsizetype offset = expected[line].start; offset < expected[line].next; ++offset)
            QCOMPARE(index.lineOf(offset), line);
    }
    QCOMPARE(index.lineOf(document.size()), expected.size() - 1);
    qsizetype longest = 0;
    for (const Line &l : expected)
        longest = std::max(longest, l.end - l.start);
    QCOMPARE(index.longestLine(), longest);
    // The runs of lines no longer than a length are passed over as they should be.
    for (const qsizetype length : {qsizetype(0), qsizetype(1), qsizetype(99), qsizetype(100), qsizetype(2000)}) {
        qsizetype expectedFirst = expected.size();
        for (qsizetype line = 5; line < expected.size(); ++line) {
            if (expected[line].end - expected[line].start > length) {
                expectedFirst = line;
                break;
            }
        }
        QCOMPARE(index.firstLineLongerThan(length, 5, expected.size()), expectedFirst);
    }
}

void TestLineStorage::storagePerLine_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<double>("bytesPerLine");
    // About 60 characters a line, as a page's source has.
    QTest::newRow("ordinary lines: at most four bytes a line") << ordinaryLines(50'000) << 4.0;
    QTest::newRow("empty lines, LF: next to nothing") << repeated(QStringLiteral("\n"), 1'000'000) << 0.25;
    QTest::newRow("empty lines, CR LF: next to nothing") << repeated(QStringLiteral("\r\n"), 1'000'000) << 0.25;
    QTest::newRow("empty lines, lone CR: next to nothing") << repeated(QStringLiteral("\r"), 1'000'000) << 0.25;
    QTest::newRow("short lines and empty ones: next to nothing") << repeated(QStringLiteral("<br>\r\n\n"), 300'000) << 0.25;
}

void TestLineStorage::storagePerLine()
{
    QFETCH(QString, document);
    QFETCH(double, bytesPerLine);
    LineIndex index;
    index.reset(document);
    while (!index.extend(1 << 20)) {
    }
    QVERIFY2(double(index.storageBytes()) / double(index.lineCount()) <= bytesPerLine,
             qPrintable(QStringLiteral("%1 bytes for %2 lines").arg(index.storageBytes()).arg(index.lineCount())));

    // Rows that wrap: each line has its own count, in at most four bytes a line too.
    DisplayRows rows;
    rows.reset(&index);
    rows.setRule(columnsRule(1, false));
    QVERIFY2(double(rows.storageBytes()) / double(index.lineCount()) <= 4.0,
             qPrintable(QStringLiteral("%1 bytes for %2 lines").arg(rows.storageBytes()).arg(index.lineCount())));
}

void TestLineStorage::rowsOverRunsOfShortLines_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<qsizetype>("columns");
    QTest::addColumn<bool>("measureAtOnce");
    const QString mixed = repeated(QStringLiteral("\n"), 200) + QString(45, u'a') + u'\n' + repeated(QStringLiteral("\r\n"), 130)
            + QString(7, u'b') + QStringLiteral("\r") + repeated(QStringLiteral("x\n"), 70) + QString(300, u'c');
    QTest::newRow("wrapped lines among empty ones, measured at once") << mixed << qsizetype(10) << true;
    QTest::newRow("wrapped lines among empty ones, estimated then measured") << mixed << qsizetype(10) << false;
    QTest::newRow("a line of more rows than sixteen bits hold")
            << repeated(QStringLiteral("\n"), 100) + QString(70'000, u'd') + u'\n' + repeated(QStringLiteral("e\n"), 100) << qsizetype(1) << true;
}

void TestLineStorage::rowsOverRunsOfShortLines()
{
    QFETCH(QString, document);
    QFETCH(qsizetype, columns);
    QFETCH(bool, measureAtOnce);
    LineIndex index;
    index.reset(document);
    DisplayRows rows;
    rows.reset(&index);
    rows.setRule(columnsRule(columns, measureAtOnce));
    // Taken in as the index grows, a slice at a time.
    while (!index.extend(97))
        rows.linesAdded();
    rows.linesAdded();
    while (!rows.measure(1000)) {
    }
    const QList<Line> expected = referenceLines(document);
    QCOMPARE(rows.lineCount(), expected.size());
    qsizetype row = 0;
    for (qsizetype line = 0; line < expected.size(); ++line) {
        const qsizetype length = expected[line].end - expected[line].start;
        const qsizetype lineRows = std::max<qsizetype>(1, (length + columns - 1) / columns);
        QCOMPARE(rows.rowsIn(line), lineRows);
        QCOMPARE(rows.firstRowOf(line), row);
        for (const qsizetype within : {qsizetype(0), lineRows - 1}) {
            const DisplayRows::Place place = rows.placeOfRow(row + within);
            QCOMPARE(place.line, line);
            QCOMPARE(place.row, within);
        }
        row += lineRows;
    }
    QCOMPARE(rows.rowCount(), row);
}

void TestLineStorage::noStoragePerLineWhileEveryLineIsOneRow_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("empty lines") << repeated(QStringLiteral("\r\n"), 200'000);
    QTest::newRow("ordinary lines") << ordinaryLines(20'000);
}

void TestLineStorage::noStoragePerLineWhileEveryLineIsOneRow()
{
    QFETCH(QString, document);
    LineIndex index;
    index.reset(document);
    DisplayRows rows;
    rows.reset(&index);
    rows.setRule(columnsRule(2000, true));
    const qsizetype before = rows.storageBytes();
    while (!index.extend(4096))
        rows.linesAdded();
    rows.linesAdded();
    QCOMPARE(rows.rowCount(), index.lineCount());
    QCOMPARE(rows.storageBytes(), before);
    const DisplayRows::Place last = rows.placeOfRow(rows.rowCount() - 1);
    QCOMPARE(last.line, index.lineCount() - 1);
}

void TestLineStorage::aSliceIndexesALimitedNumberOfLines_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<qsizetype>("characters");
    QTest::addColumn<qsizetype>("lines"); // 0: extend's own limit
    QTest::newRow("empty lines, LF, seven a slice") << repeated(QStringLiteral("\n"), 1000) << qsizetype(1'000'000) << qsizetype(7);
    QTest::newRow("empty lines, CR LF, five a slice") << repeated(QStringLiteral("\r\n"), 1000) << qsizetype(1'000'000) << qsizetype(5);
    QTest::newRow("empty lines, lone CR, a block a slice") << repeated(QStringLiteral("\r"), 1000) << qsizetype(1'000'000) << qsizetype(64);
    QTest::newRow("CR, CR LF and LF, one a slice") << repeated(QStringLiteral("\r\r\n\n\r"), 300) << qsizetype(1'000'000) << qsizetype(1);
    QTest::newRow("short lines: the characters run out first")
            << repeated(QStringLiteral("abc\n\n\r\nxyz\r"), 200) << qsizetype(5) << qsizetype(1000);
    QTest::newRow("text then empty lines: the lines run out first")
            << QString(5000, u'x') + repeated(QStringLiteral("\n"), 900) << qsizetype(6000) << qsizetype(300);
    QTest::newRow("two slices' worth of empty lines, extend's own limit")
            << repeated(QStringLiteral("\n"), 2 * LineIndex::sliceLines + 3) << qsizetype(1 << 30) << qsizetype(0);
}

// However many characters a slice may read, it indexes no more lines than it may: a
// page of line breaks is indexed as briskly as one of text. The lines stay exact at
// every slice's edge.
void TestLineStorage::aSliceIndexesALimitedNumberOfLines()
{
    QFETCH(QString, document);
    QFETCH(qsizetype, characters);
    QFETCH(qsizetype, lines);
    const qsizetype limit = lines > 0 ? lines : LineIndex::sliceLines;
    const QList<Line> expected = referenceLines(document);
    LineIndex index;
    index.reset(document);
    bool complete = false;
    while (!complete) {
        const qsizetype before = index.lineCount();
        complete = lines > 0 ? index.extend(characters, lines) : index.extend(characters);
        const qsizetype added = index.lineCount() - before;
        QVERIFY2(added <= limit, qPrintable(QStringLiteral("%1 lines in one slice").arg(added)));
        QVERIFY(added > 0);
        // Only the characters stop a slice before its lines are spent.
        if (!complete && characters >= document.size())
            QCOMPARE(added, limit);
        for (qsizetype line = before; line < index.lineCount(); ++line) {
            QCOMPARE(index.lineStart(line), expected[line].start);
            QCOMPARE(index.lineEnd(line), expected[line].end);
        }
    }
    QCOMPARE(index.lineCount(), expected.size());
    for (qsizetype line = 0; line < expected.size(); ++line)
        QCOMPARE(index.nextLineStart(line), expected[line].next);
}

QTEST_GUILESS_MAIN(TestLineStorage)
#include "tst_linestorage.moc"
