#include "DisplayRows.h"
#include "LineIndex.h"
#include "LineWrapping.h"

#include <QTextBoundaryFinder>
#include <QtTest>

using namespace Qt::StringLiterals;

using Offsets = QList<qsizetype>;

namespace {

// A fixed-pitch font, cell pixels a cell, measured the way the view measures its own.
CharacterWidths fixedPitch(qreal cell, int tabCells)
{
    return CharacterWidths::measured([cell](char32_t c) { return CharacterWidths::cellsOf(c) * cell; }, tabCells * cell);
}

// The starts of a line's rows as the view keeps them: the line indexed and broken into
// rows by the rule's breaker, as the view's rows are.
Offsets rowsOf(const QString &line, std::function<qsizetype(QStringView, qsizetype)> breaker)
{
    LineIndex lines;
    lines.reset(line);
    while (!lines.extend(1024)) {
    }
    DisplayRows rows;
    rows.reset(&lines);
    DisplayRows::Rule rule;
    rule.breaker = std::move(breaker);
    rule.estimate = [](qsizetype) { return 1; };
    rule.measureAtOnce = true;
    rows.setRule(rule);
    rows.linesAdded();
    return rows.rowStarts(0);
}

Offsets wrapped(const QString &line, qreal width, const CharacterWidths &widths)
{
    return rowsOf(line, [width, widths](QStringView text, qsizetype start) {
        return LineWrapping::nextRowStart(text, start, width, widths);
    });
}

} // namespace

class TestLineWrapping : public QObject
{
    Q_OBJECT

private slots:
    void clusterBoundaries_data();
    void clusterBoundaries();
    void boundariesAgreeWithQt_data();
    void boundariesAgreeWithQt();
    void cells_data();
    void cells();
    void wrap_data();
    void wrap();
    void wrapMeasured();
    void fixedRows_data();
    void fixedRows();
};

void TestLineWrapping::clusterBoundaries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Offsets>("boundaries");

    QTest::newRow("ASCII") << u"ab"_s << Offsets{0, 1, 2};
    QTest::newRow("a combining accent") << u"e\u0301x"_s << Offsets{0, 2, 3};
    QTest::newRow("two accents") << u"e\u0301\u0323"_s << Offsets{0, 3};
    QTest::newRow("a surrogate pair") << u"a\U0001F600b"_s << Offsets{0, 1, 3, 4};
    QTest::newRow("two flags") << u"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA"_s << Offsets{0, 4, 8};
    QTest::newRow("three regional indicators") << u"\U0001F1EB\U0001F1F7\U0001F1E9"_s << Offsets{0, 4, 6};
    QTest::newRow("an emoji ZWJ sequence") << u"\U0001F469\u200D\U0001F4BBx"_s << Offsets{0, 5, 6};
    QTest::newRow("an emoji with a skin tone") << u"\U0001F44D\U0001F3FD"_s << Offsets{0, 4};
    QTest::newRow("Hangul jamo make one syllable") << u"\u1100\u1161\u11A8\u1100"_s << Offsets{0, 3, 4};
    QTest::newRow("precomposed Hangul syllables") << u"\uAC01\uAC00"_s << Offsets{0, 1, 2};
    QTest::newRow("an LV syllable takes a final jamo") << u"\uAC00\u11A8"_s << Offsets{0, 2};
    QTest::newRow("a Devanagari conjunct with its vowel sign") << u"\u0915\u094D\u0937\u093Fx"_s << Offsets{0, 4, 5};
    QTest::newRow("a virama before a space") << u"\u0915\u094D \u0937"_s << Offsets{0, 2, 3, 4};
    QTest::newRow("a mark after a control stands alone") << u"a\u0001\u0301"_s << Offsets{0, 1, 2, 3};
    QTest::newRow("ZWJ joins what is before it") << u"a\u200Db"_s << Offsets{0, 2, 3};
    QTest::newRow("a variation selector") << u"\u2764\uFE0F!"_s << Offsets{0, 2, 3};
    QTest::newRow("a lone low surrogate is a character of its own") << (u"a"_s + QChar(0xDC00) + u'b') << Offsets{0, 1, 2, 3};
}

void TestLineWrapping::clusterBoundaries()
{
    QFETCH(QString, text);
    QFETCH(Offsets, boundaries);

    Offsets found;
    for (qsizetype pos = 0; pos <= text.size(); ++pos) {
        if (LineWrapping::isClusterBoundary(text, pos))
            found.append(pos);
    }
    QCOMPARE(found, boundaries);
}

void TestLineWrapping::boundariesAgreeWithQt_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("accented Latin, decomposed") << u"Cafe\u0301 na\u0308ive\u0301"_s;
    QTest::newRow("Vietnamese") << u"Tie\u0302\u0301ng Vie\u0323\u0302t"_s;
    QTest::newRow("Thai with SARA AM") << u"\u0E19\u0E49\u0E33\u0E01\u0E34"_s;
    QTest::newRow("Hangul jamo") << u"\u1100\u1161\u11A8\u1102\u1165 \uAC00\u11A8"_s;
    QTest::newRow("emoji") << u"\U0001F44D\U0001F3FD \U0001F469\u200D\U0001F4BB \u2764\uFE0F"_s;
    QTest::newRow("flags") << u"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA\U0001F1EE"_s;
    QTest::newRow("Devanagari") << u"\u0939\u093F\u0928\u094D\u0926\u0940"_s;
    QTest::newRow("Arabic with harakat") << u"\u0643\u064E\u062A\u064E\u0628\u064E"_s;
}

// Qt's own segmentation is the reference for the text a source view meets most.
void TestLineWrapping::boundariesAgreeWithQt()
{
    QFETCH(QString, text);

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype pos = 0; pos <= text.size(); ++pos) {
        finder.setPosition(pos);
        QVERIFY2(LineWrapping::isClusterBoundary(text, pos) == finder.isAtBoundary(),
                 qPrintable(u"at %1"_s.arg(pos)));
    }
}

void TestLineWrapping::cells_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<int>("cells");

    QTest::newRow("ASCII letter") << 0x61u << 1;
    QTest::newRow("é") << 0xE9u << 1;
    QTest::newRow("euro sign") << 0x20ACu << 1;
    QTest::newRow("CJK ideograph") << 0x4E2Du << 2;
    QTest::newRow("Hangul syllable") << 0xAC00u << 2;
    QTest::newRow("hiragana") << 0x3042u << 2;
    QTest::newRow("ideographic space") << 0x3000u << 2;
    QTest::newRow("fullwidth A") << 0xFF21u << 2;
    QTest::newRow("halfwidth katakana") << 0xFF71u << 1;
    QTest::newRow("emoji") << 0x1F600u << 2;
    QTest::newRow("ideograph in plane 2") << 0x20000u << 2;
    QTest::newRow("combining accent") << 0x301u << 0;
    QTest::newRow("zero-width space") << 0x200Bu << 0;
    QTest::newRow("Hangul medial vowel") << 0x1161u << 0;
    QTest::newRow("soft hyphen") << 0xADu << 0;
}

void TestLineWrapping::cells()
{
    QFETCH(uint, character);
    QFETCH(int, cells);

    QCOMPARE(CharacterWidths::cellsOf(character), cells);
}

void TestLineWrapping::wrap_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("widthInCells");
    QTest::addColumn<int>("tabCells");
    QTest::addColumn<Offsets>("rowStarts");

    QTest::newRow("a line that fits") << u"abc"_s << 10 << 8 << Offsets{0};
    QTest::newRow("a line that fits exactly") << u"abcdefghij"_s << 10 << 8 << Offsets{0};
    QTest::newRow("an empty line") << u""_s << 10 << 8 << Offsets{0};
    QTest::newRow("no break opportunity: hard breaks")
        << u"aaaaaaaaaaaaaaaaaaaaaaaaa"_s << 10 << 8 << Offsets{0, 10, 20};
    QTest::newRow("after a space in the row's last quarter") << u"aaaaaaaa bbbbbbbb"_s << 10 << 8 << Offsets{0, 9};
    QTest::newRow("a space early in the row is not used") << u"aa bbbbbbbbbbbbbbb"_s << 10 << 8 << Offsets{0, 10};
    QTest::newRow("a space just before the row's last quarter is not used")
        << u"aaaaaa bbbbbbbbbb"_s << 10 << 8 << Offsets{0, 10};
    QTest::newRow("after punctuation") << u"aaaaaaaa,bbbbbb"_s << 10 << 8 << Offsets{0, 9};
    QTest::newRow("not after an opening bracket") << u"aaaaaaaa(bbbbbb"_s << 10 << 8 << Offsets{0, 10};
    QTest::newRow("before a tag") << u"aaaaaaaa<b>"_s << 10 << 8 << Offsets{0, 8};
    QTest::newRow("between tags") << u"<div><span>text</span></div>"_s << 12 << 8 << Offsets{0, 11, 22};
    QTest::newRow("tabs run to the next stop") << u"\tab\tcd"_s << 8 << 4 << Offsets{0, 4};
    QTest::newRow("a tab that does not fit starts the next row")
        << u"aaaaaaa \tb"_s << 8 << 4 << Offsets{0, 8};
    QTest::newRow("wide characters take two cells and break anywhere")
        << u"中文中文中文"_s << 5 << 8 << Offsets{0, 2, 4};
    QTest::newRow("a character wider than the row has a row of its own") << u"中中"_s << 1 << 8 << Offsets{0, 1};
    QTest::newRow("no width: a cluster a row") << u"ae\u0301b"_s << 0 << 8 << Offsets{0, 1, 3};
    QTest::newRow("an accent stays with its letter")
        << u"aaaaaaaae\u0301e\u0301"_s << 9 << 8 << Offsets{0, 10};
    QTest::newRow("a surrogate pair stays whole") << u"aaaa\U0001F600b"_s << 5 << 8 << Offsets{0, 4};
    QTest::newRow("a flag stays whole")
        << u"aaaa\U0001F1EB\U0001F1F7"_s << 5 << 8 << Offsets{0, 4};
}

// The rows the view makes are checked against the hand-worked starts and against each
// other: they fit, start at cluster boundaries and join back into the line.
void TestLineWrapping::wrap()
{
    QFETCH(QString, line);
    QFETCH(int, widthInCells);
    QFETCH(int, tabCells);
    QFETCH(Offsets, rowStarts);

    const qreal cell = 7.5;
    const qreal width = widthInCells * cell;
    const CharacterWidths widths = fixedPitch(cell, tabCells);

    const Offsets whole = wrapped(line, width, widths);
    QCOMPARE(whole, rowStarts);

    for (qsizetype i = 0; i < whole.size(); ++i) {
        const qsizetype start = whole[i];
        const qsizetype end = i + 1 < whole.size() ? whole[i + 1] : line.size();
        QVERIFY(LineWrapping::isClusterBoundary(line, start));
        qreal x = 0;
        for (qsizetype at = start; at < end; ++at) {
            const char32_t c = line[at].isHighSurrogate() && at + 1 < end
                                   ? QChar::surrogateToUcs4(line[at], line[at + 1])
                                   : line[at].unicode();
            x += widths.advance(c, x);
            if (c > 0xFFFF)
                ++at;
        }
        const bool oneCluster = end == start || [&] {
            for (qsizetype at = start + 1; at < end; ++at) {
                if (LineWrapping::isClusterBoundary(line, at))
                    return false;
            }
            return true;
        }();
        QVERIFY2(x <= width + 1e-9 || oneCluster, qPrintable(u"row %1 is %2 wide"_s.arg(i).arg(x)));
    }
}

void TestLineWrapping::wrapMeasured()
{
    // A proportional font: m is twice as wide as the rest.
    const CharacterWidths widths =
        CharacterWidths::measured([](char32_t c) { return c == 'm' ? 12.0 : 6.0; }, 48);

    QCOMPARE(widths.advance('m', 0), 12.0);
    QCOMPARE(widths.advance('\t', 10), 38.0);

    QCOMPARE(wrapped(u"mmmm iiii"_s, 50, widths), (Offsets{0, 4}));
    QCOMPARE(wrapped(u"mmm iiiii"_s, 50, widths), (Offsets{0, 4}));
    QCOMPARE(wrapped(u"\tii\tii"_s, 100, widths), (Offsets{0, 4}));
}

void TestLineWrapping::fixedRows_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<qsizetype>("maxLength");
    QTest::addColumn<Offsets>("rowStarts");

    QTest::newRow("an empty line") << u""_s << qsizetype(3) << Offsets{0};
    QTest::newRow("a short line") << u"ab"_s << qsizetype(3) << Offsets{0};
    QTest::newRow("rows of the longest length") << u"abcdefg"_s << qsizetype(3) << Offsets{0, 3, 6};
    QTest::newRow("the view's 2,000") << QString(4500, u'x') << qsizetype(2000) << Offsets{0, 2000, 4000};
    QTest::newRow("not inside a surrogate pair") << u"ab\U0001F600cd"_s << qsizetype(3) << Offsets{0, 2, 5};
    QTest::newRow("not inside a cluster") << u"abe\u0301\u0301cd"_s << qsizetype(3) << Offsets{0, 2, 5};
    QTest::newRow("a run of marks too long to keep whole")
        << (u"a"_s + QString(40, QChar(0x301))) << qsizetype(10) << Offsets{0, 10, 20, 30, 40};
    QTest::newRow("rows of one unit keep pairs whole") << u"\U0001F600\U0001F600"_s << qsizetype(1) << Offsets{0, 2};
}

void TestLineWrapping::fixedRows()
{
    QFETCH(QString, line);
    QFETCH(qsizetype, maxLength);
    QFETCH(Offsets, rowStarts);

    const Offsets rows = rowsOf(line, [maxLength](QStringView text, qsizetype start) {
        return LineWrapping::fixedRowEnd(text, start, maxLength);
    });
    QCOMPARE(rows, rowStarts);
}

QTEST_APPLESS_MAIN(TestLineWrapping)
#include "tst_linewrapping.moc"
