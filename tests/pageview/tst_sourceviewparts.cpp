#include "DisplayRows.h"
#include "FindSession.h"
#include "LineIndex.h"
#include "MarkupColouring.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Rows of a fixed width in characters: a stand-in for wrapping at the view's width.
DisplayRows::Rule columnsRule(qsizetype columns, bool measureAtOnce)
{
    DisplayRows::Rule rule;
    rule.breaker = [columns](QStringView line, qsizetype start) { return std::min(line.size(), start + columns); };
    // Estimates that are deliberately off, so that measuring shows.
    rule.estimate = [](qsizetype) { return 1; };
    rule.singleRowLength = columns;
    rule.measureAtOnce = measureAtOnce;
    return rule;
}

} // namespace

class TestSourceViewParts : public QObject
{
    Q_OBJECT

private slots:
    void linesEndAsTheyShould_data();
    void linesEndAsTheyShould();
    void rowsOfLines_data();
    void rowsOfLines();
    void measuringKeepsRowsConsistent();
    void aVeryLongLineIsMeasuredAsFarAsNeeded();
    void colouringFromCheckpointsIsColouringFromTheStart();
    void findGoesRoundInSlices_data();
    void findGoesRoundInSlices();
    void countAndOrdinalAcrossBlocks();
};

void TestSourceViewParts::linesEndAsTheyShould_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("LF") << QStringLiteral("a\nb\n") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()};
    QTest::newRow("CR LF and a lone CR") << QStringLiteral("a\r\nb\rc") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("CR then LF apart from it") << QStringLiteral("a\r\r\nb") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    QTest::newRow("empty") << QString() << QStringList{QString()};
}

void TestSourceViewParts::linesEndAsTheyShould()
{
    QFETCH(QString, document);
    QFETCH(QStringList, lines);
    // Indexed in the smallest slices, so that every line ends at a slice's edge once.
    LineIndex index;
    index.reset(document);
    while (!index.extend(1)) {
    }
    QStringList found;
    for (qsizetype line = 0; line < index.lineCount(); ++line)
        found.append(index.lineText(line).toString());
    QCOMPARE(found, lines);
    for (qsizetype offset = 0; offset <= document.size(); ++offset) {
        const qsizetype line = index.lineOf(offset);
        QVERIFY(index.lineStart(line) <= offset && offset <= index.nextLineStart(line));
    }
}

void TestSourceViewParts::rowsOfLines_data()
{
    QTest::addColumn<bool>("measureAtOnce");
    QTest::newRow("measured as indexed") << true;
    QTest::newRow("estimated, measured when used") << false;
}

void TestSourceViewParts::rowsOfLines()
{
    QFETCH(bool, measureAtOnce);
    // Lines of 3, 0, 10 and 7 characters at 4 columns: 1, 1, 3 and 2 rows.
    const QString document = QStringLiteral("abc\n\n0123456789\r\nxyzxyzx");
    LineIndex lines;
    lines.reset(document);
    lines.extend(document.size());
    DisplayRows rows;
    rows.reset(&lines);
    rows.setRule(columnsRule(4, measureAtOnce));
    for (qsizetype line = 0; line < lines.lineCount(); ++line)
        rows.rowStarts(line);

    QCOMPARE(rows.rowCount(), 7);
    QCOMPARE(rows.rowStarts(2), (QList<qsizetype>{5, 9, 13}));
    const QList<std::pair<qsizetype, qsizetype>> places = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}};
    for (qsizetype row = 0; row < 7; ++row) {
        const DisplayRows::Place place = rows.placeOfRow(row);
        QCOMPARE(std::pair(place.line, place.row), places[row]);
        QCOMPARE(rows.firstRowOf(place.line) + place.row, row);
    }
    // A line break belongs to the row it ends; a row's start to that row.
    QCOMPARE(rows.rowOf(15), 4);
    QCOMPARE(rows.rowOf(13), 4);
    QCOMPARE(rows.rowOf(21), 6);
}

void TestSourceViewParts::measuringKeepsRowsConsistent()
{
    QString document;
    for (int i = 0; i < 500; ++i)
        document += QString(i % 23, QChar(u'a' + i % 26)) + QLatin1Char('\n');
    LineIndex lines;
    lines.reset(document);
    DisplayRows rows;
    rows.reset(&lines);
    rows.setRule(columnsRule(5, false));
    // Lines come in slices and are measured in slices, in between.
    while (!lines.extend(300)) {
        rows.linesAdded();
        rows.measure(50);
    }
    rows.linesAdded();
    while (!rows.measure(50)) {
    }
    qsizetype expected = 0;
    for (qsizetype line = 0; line < lines.lineCount(); ++line) {
        QCOMPARE(rows.firstRowOf(line), expected);
        expected += std::max<qsizetype>(1, (lines.lineLength(line) + 4) / 5);
    }
    QCOMPARE(rows.rowCount(), expected);
    for (qsizetype row = 0; row < rows.rowCount(); row += 7) {
        const DisplayRows::Place place = rows.placeOfRow(row);
        QCOMPARE(rows.firstRowOf(place.line) + place.row, row);
    }
}

void TestSourceViewParts::aVeryLongLineIsMeasuredAsFarAsNeeded()
{
    // A line of 1 M characters at 10 columns, and a short one after it.
    const QString document = QString(1'000'000, u'x') + QStringLiteral("\nend");
    LineIndex lines;
    lines.reset(document);
    lines.extend(document.size());
    DisplayRows rows;
    rows.reset(&lines);
    rows.setRule(columnsRule(10, false));

    // The first rows of the line: measured as far as they go, the rest estimated.
    const DisplayRows::Span third = rows.rowSpan(0, 2);
    QCOMPARE(third.start, 20);
    QCOMPARE(third.end, 30);
    QVERIFY(!third.lastOfLine);
    QVERIFY(!rows.isMeasured(0));
    // Far into the line: measured on to there, consistent with the rows before it.
    const qsizetype row = rows.rowOf(777'777);
    QCOMPARE(rows.rowSpan(0, row).start, 777'770);
    QCOMPARE(rows.placeOfRow(row).row, row);
    // The whole line, once asked for, and the line after it where it should be.
    QCOMPARE(rows.rowStarts(0).size(), 100'000);
    QVERIFY(rows.isMeasured(0));
    QCOMPARE(rows.firstRowOf(1), 100'000);
    const DisplayRows::Span last = rows.rowSpan(0, 123'456);
    QCOMPARE(last.indexInLine, 99'999);
    QVERIFY(last.lastOfLine);
    QCOMPARE(last.next, 1'000'001);
}

void TestSourceViewParts::colouringFromCheckpointsIsColouringFromTheStart()
{
    // Long enough for several checkpoints, with a comment and a script that run over
    // their edges.
    QString document;
    for (int i = 0; document.size() < 5 * MarkupColouring::checkpointSpacing; ++i) {
        document += QStringLiteral("<div class=\"row\" id='r%1'>Item &amp; %1</div>\n").arg(i);
        if (i % 997 == 0)
            document += QStringLiteral("<!-- a comment\n").repeated(300) + QStringLiteral("-->\n<script>if (a < b) {}\n</script>\n");
    }
    MarkupColouring colouring;
    QSignalSpy advanced(&colouring, &MarkupColouring::advanced);
    colouring.reset(document, MarkupSyntax::Html);
    QTRY_VERIFY(colouring.isReadyAt(document.size()));
    // The counter is read at once; the signal comes with the next look at it.
    QTRY_VERIFY(!advanced.isEmpty());

    // The whole document coloured in one piece, from its start.
    MarkupColouring fromTheStart;
    fromTheStart.reset(document, MarkupSyntax::Html);
    QTRY_VERIFY(fromTheStart.isReadyAt(0));
    const QList<MarkupSpan> whole = fromTheStart.spans(0, document.size());
    const auto roleAt = [&whole](qsizetype offset) {
        const auto it = std::upper_bound(whole.begin(), whole.end(), offset,
                                         [](qsizetype value, const MarkupSpan &span) { return value < span.start; });
        return (it - 1)->role;
    };
    // Pieces far apart and out of order, as scrolling asks for them.
    for (const qsizetype from : {qsizetype(200'123), qsizetype(3), qsizetype(131'071), qsizetype(65'536), qsizetype(250'000)}) {
        const qsizetype to = std::min(document.size(), from + 500);
        const QList<MarkupSpan> spans = colouring.spans(from, to);
        QVERIFY(!spans.isEmpty());
        for (const MarkupSpan &span : spans) {
            for (qsizetype offset = span.start; offset < span.start + span.length; ++offset)
                QCOMPARE(span.role, roleAt(from + offset));
        }
    }
}

void TestSourceViewParts::findGoesRoundInSlices_data()
{
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<qsizetype>("found");
    QTest::addColumn<bool>("wrapped");
    // A document of 9 M characters, searched a few M at a time, with "needle" at 1 M
    // and at 8 M only.
    QTest::newRow("forwards, ahead") << qsizetype(2'000'000) << false << qsizetype(8'000'000) << false;
    QTest::newRow("forwards, round the end") << qsizetype(8'000'001) << false << qsizetype(1'000'000) << true;
    QTest::newRow("backwards, behind") << qsizetype(7'000'000) << true << qsizetype(1'000'000) << false;
    QTest::newRow("backwards, round the start") << qsizetype(1'000'003) << true << qsizetype(8'000'000) << true;
}

void TestSourceViewParts::findGoesRoundInSlices()
{
    QFETCH(qsizetype, from);
    QFETCH(bool, backwards);
    QString document(9'000'000, u'x');
    document.replace(1'000'000, 6, QStringLiteral("needle"));
    document.replace(8'000'000, 6, QStringLiteral("NEEDLE"));
    FindSession session;
    session.setDocument(document);
    session.setSearch(TextSearch(QStringLiteral("needle"), Qt::CaseInsensitive));
    QSignalSpy found(&session, &FindSession::found);
    session.find(from, backwards);
    QTRY_COMPARE(found.size(), 1);
    QTEST(found.first().at(0).value<qsizetype>(), "found");
    QTEST(found.first().at(2).toBool(), "wrapped");
}

void TestSourceViewParts::countAndOrdinalAcrossBlocks()
{
    // "aba" overlaps itself: counted as editors count, each search going on after a
    // match, also where a match straddles the count's blocks.
    QString document(3'000'000, u'-');
    const QList<qsizetype> places = {10, 1'048'575, 1'048'577, 2'097'151, 2'999'990};
    for (qsizetype at : places)
        document.replace(at, 3, QStringLiteral("aba"));
    FindSession session;
    session.setDocument(document);
    session.setSearch(TextSearch(QStringLiteral("aba"), Qt::CaseSensitive));
    QTRY_COMPARE(session.total(), 4);
    // 1'048'577 overlaps the match before it and is not counted.
    QCOMPARE(session.ordinalAt(10), 1);
    QCOMPARE(session.ordinalAt(1'048'575), 2);
    QCOMPARE(session.ordinalAt(2'097'151), 3);
    QCOMPARE(session.ordinalAt(2'999'990), 4);
}

QTEST_GUILESS_MAIN(TestSourceViewParts)
#include "tst_sourceviewparts.moc"
