#include "CaretNavigator.h"
#include "DisplayRows.h"
#include "LineIndex.h"
#include "LineWrapping.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>

using Affinity = CaretNavigator::Affinity;
using Move = CaretNavigator::Move;
using Position = CaretNavigator::Position;

namespace {

// Every UTF-16 unit one cell of ten pixels: enough to say where a column is.
class FixedCells : public RowGeometry
{
public:
    static constexpr qreal cell = 10;
    qreal xOf(const DisplayRows::Span &row, qsizetype offset) override { return cell * qreal(offset - row.start); }
    qsizetype offsetAt(const DisplayRows::Span &row, qreal x) override
    {
        return row.start + std::clamp<qsizetype>(qsizetype(std::lround(x / cell)), 0, row.end - row.start);
    }
};

// Rows as the view breaks lines: 0 not at all, a positive count cut there as long
// lines are cut, a negative count wrapped after the last blank that fits.
DisplayRows::Rule ruleFor(int columns)
{
    DisplayRows::Rule rule;
    rule.measureAtOnce = true;
    if (columns == 0) {
        rule.breaker = [](QStringView line, qsizetype) { return line.size(); };
        rule.estimate = [](qsizetype) { return 1; };
        rule.singleRowLength = std::numeric_limits<qsizetype>::max();
    } else if (columns > 0) {
        rule.breaker = [columns](QStringView line, qsizetype start) { return LineWrapping::fixedRowEnd(line, start, columns); };
        rule.estimate = [columns](qsizetype length) { return (length + columns - 1) / columns; };
        rule.singleRowLength = columns;
    } else {
        const qsizetype width = -columns;
        rule.breaker = [width](QStringView line, qsizetype start) -> qsizetype {
            if (line.size() - start <= width)
                return line.size();
            for (qsizetype at = start + width; at > start; --at) {
                if (line[at - 1] == u' ')
                    return at;
            }
            return start + width;
        };
        rule.estimate = [width](qsizetype length) { return (length + width - 1) / width; };
        rule.singleRowLength = width;
    }
    return rule;
}

struct Page
{
    Page(const QString &document, int columns)
        : text(document)
    {
        lines.reset(text);
        while (!lines.extend(1 << 20)) {
        }
        rows.reset(&lines);
        rows.setRule(ruleFor(columns));
        navigator.reset(text, &lines, &rows, &cells);
        navigator.setPageRows(9);
    }

    QString text;
    LineIndex lines;
    DisplayRows rows;
    FixedCells cells;
    CaretNavigator navigator;
};

// A selection written as "anchor-caret" or, with nothing selected, "caret"; a "u" after
// the caret puts it at the end of the row before.
QString describe(const CaretNavigator &navigator)
{
    const Position caret = navigator.caret();
    QString text = QString::number(caret.offset) + (caret.affinity == Affinity::Upstream ? u"u"_qs : QString());
    if (navigator.anchor() != caret.offset)
        text.prepend(QString::number(navigator.anchor()) + u'-');
    return text;
}

void startAt(CaretNavigator &navigator, const QString &selection)
{
    static const QRegularExpression form(u"^(?:(\\d+)-)?(\\d+)(u?)$"_qs);
    const QRegularExpressionMatch match = form.match(selection);
    QVERIFY2(match.hasMatch(), qPrintable(selection));
    const Position caret{match.captured(2).toLongLong(), match.captured(3).isEmpty() ? Affinity::Downstream : Affinity::Upstream};
    navigator.setSelection(match.captured(1).isEmpty() ? caret.offset : match.captured(1).toLongLong(), caret);
}

// A key as the view maps it: "S+" for Shift, "C+" for Ctrl.
void press(CaretNavigator &navigator, QString key)
{
    bool shift = false;
    bool ctrl = false;
    while (key.size() > 2 && key[1] == u'+') {
        shift |= key[0] == u'S';
        ctrl |= key[0] == u'C';
        key = key.mid(2);
    }
    Move move;
    if (key == u"Left")
        move = ctrl ? Move::PreviousWord : Move::PreviousCharacter;
    else if (key == u"Right")
        move = ctrl ? Move::NextWord : Move::NextCharacter;
    else if (key == u"Home")
        move = ctrl ? Move::DocumentStart : Move::RowStart;
    else if (key == u"End")
        move = ctrl ? Move::DocumentEnd : Move::RowEnd;
    else if (key == u"Up")
        move = Move::PreviousRow;
    else if (key == u"Down")
        move = Move::NextRow;
    else if (key == u"PgUp")
        move = Move::PreviousPage;
    else if (key == u"PgDn")
        move = Move::NextPage;
    else if (key == u"LineStart")
        move = Move::LineStart;
    else if (key == u"LineEnd")
        move = Move::LineEnd;
    else
        QFAIL(qPrintable(u"no such key: "_qs + key));
    navigator.move(move, shift);
}

} // namespace

class TestCaretNavigator : public QObject
{
    Q_OBJECT

private:
    void keyColumns()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("keys");
        // The selection after each key.
        QTest::addColumn<QStringList>("after");
    }

    void runKeys()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(QString, start);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, after);
        QCOMPARE(keys.size(), after.size());
        Page page(text, columns);
        startAt(page.navigator, start);
        QCOMPARE(describe(page.navigator), start);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            press(page.navigator, keys[i]);
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(describe(page.navigator) == after[i],
                     qPrintable(u"after %1 (key %2): %3, expected %4"_qs.arg(keys[i]).arg(i + 1).arg(describe(page.navigator), after[i])));
        }
    }

private slots:
    void characters_data()
    {
        keyColumns();
        QTest::newRow("e and a combining acute are one step") << u"ae\u0301b"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Right", "Left", "Left"} << QStringList{"1", "3", "4", "3", "1"};
        QTest::newRow("a skin tone and a flag are one step each") << u"a👍🏽b🇩🇪c"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Right", "Right", "Right", "Left", "Left", "Left"}
                << QStringList{"1", "5", "6", "10", "11", "10", "6", "5"};
        QTest::newRow("a Devanagari conjunct is one step") << u"नमस्ते x"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Right", "Right", "Left", "Left", "Left"}
                << QStringList{"1", "2", "6", "7", "6", "2", "1"};
        QTest::newRow("Thai vowel and tone marks go with their consonant") << u"กำกิ่ x"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Right", "Left", "Left"} << QStringList{"2", "5", "6", "5", "2"};
        QTest::newRow("a family joined by ZWJ is one step") << u"a👨‍👩‍👧b"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Left", "Left"} << QStringList{"1", "9", "1", "0"};
        QTest::newRow("flags pair up in a run") << u"🇩🇪🇫🇷🇮🇹"_qs << 0 << u"4"_qs
                << QStringList{"Right", "Right", "Left", "Left"} << QStringList{"8", "12", "8", "4"};
        QTest::newRow("flags pair up far into a long run") << QString(u"🇩🇪"_qs).repeated(300) << 0 << u"600"_qs
                << QStringList{"Right", "Left", "Left"} << QStringList{"604", "600", "596"};
        QTest::newRow("LF is one step") << u"ab\ncd\n\nef"_qs << 0 << u"2"_qs
                << QStringList{"Right", "Right", "Left", "Left", "Left"} << QStringList{"3", "4", "3", "2", "1"};
        QTest::newRow("CR LF is one step") << u"ab\r\ncd"_qs << 0 << u"0"_qs
                << QStringList{"End", "Right", "Right", "Left", "Left"} << QStringList{"2", "4", "5", "4", "2"};
        QTest::newRow("a lone CR ends a line") << u"ab\rcd\r\rx"_qs << 0 << u"0"_qs
                << QStringList{"End", "Right", "Down", "Down", "Down"} << QStringList{"2", "3", "6", "7", "8"};
        QTest::newRow("nothing moves in an empty document") << QString() << 0 << u"0"_qs
                << QStringList{"Left", "Right", "Up", "Down", "End", "Home", "C+Right", "C+Left", "S+Up", "S+Down"}
                << QStringList{"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"};
        QTest::newRow("a document of one line break") << u"\n"_qs << 0 << u"0"_qs
                << QStringList{"Right", "Right", "Left", "Down", "Up", "End"} << QStringList{"1", "1", "0", "1", "0", "0"};
        QTest::newRow("the empty line after a final line break") << u"ab\n"_qs << 0 << u"0"_qs
                << QStringList{"Down", "Down", "Up", "C+End", "C+Home"} << QStringList{"3", "3", "0", "3", "0"};
        QTest::newRow("Left at a cut row's start goes into the row before") << u"abcdefghijkl"_qs << 7 << u"7"_qs
                << QStringList{"Left", "Right", "Right"} << QStringList{"6", "7", "8"};
        QTest::newRow("Shift+Left at a cut row's start selects") << u"abcdefghijkl"_qs << 7 << u"7"_qs
                << QStringList{"S+Left", "S+Left"} << QStringList{"7-6", "7-5"};
        QTest::newRow("from the end of a row, Right and Left go on from there") << u"abcdefghijkl"_qs << 7 << u"7u"_qs
                << QStringList{"Right", "Left", "Left"} << QStringList{"8", "7", "6"};
        QTest::newRow("Left from the end of a row") << u"abcdefghijkl"_qs << 7 << u"7u"_qs
                << QStringList{"Left"} << QStringList{"6"};
    }
    void characters() { runKeys(); }

    void words_data()
    {
        keyColumns();
        const QString mixed = u"foo.bar  baz(qux) 👍🏽x 1,5 a_b e\u0301t"_qs;
        QTest::newRow("Ctrl+Right stops at each word and run of punctuation") << mixed << 0 << u"0"_qs
                << QStringList(14, u"C+Right"_qs)
                << QStringList{"3", "4", "9", "12", "13", "16", "18", "24", "25", "26", "28", "32", "35", "35"};
        QTest::newRow("Ctrl+Left stops where Ctrl+Right does") << mixed << 0 << u"34"_qs
                << QStringList(14, u"C+Left"_qs)
                << QStringList{"32", "28", "26", "25", "24", "18", "16", "13", "12", "9", "4", "3", "0", "0"};
        QTest::newRow("an emoji is a word") << u"👍👍 👍x"_qs << 0 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Right", "C+Left", "C+Left", "C+Left"}
                << QStringList{"5", "8", "8", "5", "0", "0"};
        QTest::newRow("a line break is a word step of its own") << u"ab cd\n  ef\n\ngh"_qs << 0 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Right", "C+Right", "C+Right", "C+Right", "C+Right", "C+Left", "C+Left",
                               "C+Left", "C+Left", "C+Left", "C+Left", "C+Left", "C+Left"}
                << QStringList{"3", "5", "6", "8", "10", "11", "12", "11", "10", "8", "6", "5", "3", "0", "0"};
        QTest::newRow("CR LF is one word step") << u"ab\r\ncd"_qs << 0 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Right", "C+Left", "C+Left"} << QStringList{"2", "4", "6", "4", "2"};
        QTest::newRow("words go over cut rows") << u"abcdefgh ij"_qs << 5 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Left", "C+Left"} << QStringList{"9", "11", "9", "0"};
        QTest::newRow("Ctrl+Left at a cut row's start goes to the word's start") << u"abcdefghijkl"_qs << 7 << u"7"_qs
                << QStringList{"C+Left"} << QStringList{"0"};
        QTest::newRow("blanks at a line's end") << u"ab   "_qs << 0 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Left"} << QStringList{"5", "5", "0"};
        QTest::newRow("runs of punctuation between blanks") << u"a -- b == c"_qs << 0 << u"0"_qs
                << QStringList{"C+Right", "C+Right", "C+Right", "C+Right", "C+Right"} << QStringList{"2", "5", "7", "10", "11"};
        QTest::newRow("a word move does not collapse the selection first") << u"abc def ghi"_qs << 0 << u"5-9"_qs
                << QStringList{"C+Left"} << QStringList{"8"};
        QTest::newRow("Shift+Ctrl+Right selects by words") << u"abc def ghi"_qs << 0 << u"0"_qs
                << QStringList{"S+C+Right", "S+C+Right", "S+C+Left"} << QStringList{"0-4", "0-8", "0-4"};
    }
    void words() { runKeys(); }

    void rows_data()
    {
        keyColumns();
        QTest::newRow("End on a cut row stays on that row") << u"abcdefghijkl"_qs << 7 << u"2"_qs
                << QStringList{"End", "End", "S+Home"} << QStringList{"7u", "7u", "7-0"};
        QTest::newRow("Home at a cut row's start stays") << u"abcdefghijkl"_qs << 7 << u"7"_qs
                << QStringList{"Home", "End", "Home"} << QStringList{"7", "12", "7"};
        QTest::newRow("Home from the end of a row goes to that row's start") << u"abcdefghijkl"_qs << 7 << u"7u"_qs
                << QStringList{"Home"} << QStringList{"0"};
        QTest::newRow("End then Down goes one row down, not two") << u"abcdefghijklmnopq"_qs << 5 << u"1"_qs
                << QStringList{"End", "Down", "Down", "Up", "Up", "Up"} << QStringList{"5u", "10u", "15u", "10u", "5u", "0"};
        QTest::newRow("Down and Up keep the column over cut rows and lines") << u"abcdefghijkl\nxyz"_qs << 7 << u"3"_qs
                << QStringList{"Down", "Down", "Down", "Up", "Up", "Up"} << QStringList{"10", "16", "16", "10", "3", "0"};
        QTest::newRow("Up from a line's end to the row above") << u"abcdefghijkl\nxyz"_qs << 7 << u"12"_qs
                << QStringList{"Up", "Down", "Down"} << QStringList{"5", "12", "16"};
        QTest::newRow("End of a row wrapped after a blank is before the blank") << u"abc def ghi jkl"_qs << -8 << u"1"_qs
                << QStringList{"End", "Right", "Home", "End", "Home", "Left"} << QStringList{"7", "8", "8", "15", "8", "7"};
        QTest::newRow("Down and Up over a row wrapped after a blank") << u"abc def ghi jkl"_qs << -8 << u"1"_qs
                << QStringList{"End", "Down", "Up"} << QStringList{"7", "15", "7"};
        QTest::newRow("Down onto a row wrapped after a blank lands before the blank") << u"abcdefgh\nabc def ghi"_qs << -8 << u"8"_qs
                << QStringList{"Down", "Down", "Up", "Up"} << QStringList{"16", "20", "16", "8"};
        QTest::newRow("Up into a line of several rows lands on its last row") << u"abcdefghijklmnopq\nxy"_qs << 5 << u"19"_qs
                << QStringList{"Up", "Up"} << QStringList{"16", "11"};
        QTest::newRow("the column is kept over short and empty lines") << u"abcdefgh\nab\nabcdefgh\n\nabcdefgh"_qs << 0 << u"6"_qs
                << QStringList{"Down", "Down", "Down", "Down", "Up", "Left", "Down"}
                << QStringList{"11", "18", "21", "28", "21", "20", "21"};
        QTest::newRow("Down over CR LF lines") << u"ab\r\ncd\r\n\r\nef"_qs << 0 << u"2"_qs
                << QStringList{"Down", "Down", "Down", "Down", "Up"} << QStringList{"6", "8", "12", "12", "8"};
        QTest::newRow("Up on the first row goes to the start, Shift+Up selects to it") << u"abcdef\nxyz"_qs << 0 << u"3"_qs
                << QStringList{"S+Up", "S+Down", "S+Down", "S+Down", "Up", "Up"}
                << QStringList{"3-0", "3-7", "3-10", "3-10", "3", "0"};
        QTest::newRow("Down on the last row goes to the end, Shift+Down selects to it") << u"abc\nxyz"_qs << 0 << u"5"_qs
                << QStringList{"Down", "Up", "S+Down", "S+Down"} << QStringList{"7", "3", "3-7", "3-7"};
        QTest::newRow("Down on the last of cut rows goes to the end") << u"abcdefghijkl"_qs << 7 << u"8"_qs
                << QStringList{"Down"} << QStringList{"12"};
        QTest::newRow("Shift+Down on the last of cut rows selects to the end") << u"abcdefghijkl"_qs << 7 << u"8"_qs
                << QStringList{"S+Down"} << QStringList{"8-12"};
        QTest::newRow("a page is the rows asked for, and stops at the ends") << QString(u"abcdefghijklmnopqrstuvwxyz"_qs).repeated(5) << 5
                << u"2"_qs << QStringList{"PgDn", "PgDn", "PgDn", "PgDn", "PgUp", "PgUp", "PgUp", "PgUp"}
                << QStringList{"47", "92", "127", "127", "82", "37", "2", "2"};
        QTest::newRow("Shift+Page Down selects") << u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk"_qs << 0 << u"0"_qs
                << QStringList{"S+PgDn", "S+PgDn"} << QStringList{"0-18", "0-20"};
        QTest::newRow("Ctrl+Home and Ctrl+End") << u"ab\ncd"_qs << 0 << u"4"_qs
                << QStringList{"C+Home", "C+End", "S+C+Home"} << QStringList{"0", "5", "5-0"};
        QTest::newRow("line start and end go past cut rows") << u"abcdefghijkl\r\nxy"_qs << 5 << u"7"_qs
                << QStringList{"LineStart", "LineEnd", "Right"} << QStringList{"0", "12", "14"};
    }
    void rows() { runKeys(); }

    void selection_data()
    {
        keyColumns();
        QTest::newRow("Left ends a selection at its start") << u"abcdef"_qs << 0 << u"1-4"_qs << QStringList{"Left"} << QStringList{"1"};
        QTest::newRow("Right ends a selection at its end") << u"abcdef"_qs << 0 << u"1-4"_qs << QStringList{"Right"} << QStringList{"4"};
        QTest::newRow("Left ends a backward selection at its start") << u"abcdef"_qs << 0 << u"4-1"_qs << QStringList{"Left"}
                << QStringList{"1"};
        QTest::newRow("Right ends a backward selection at its end") << u"abcdef"_qs << 0 << u"4-1"_qs << QStringList{"Right"}
                << QStringList{"4"};
        QTest::newRow("Shift+arrows grow and shrink a selection") << u"abcdef"_qs << 0 << u"1-4"_qs
                << QStringList{"S+Left", "S+Right", "S+Right"} << QStringList{"1-3", "1-4", "1-5"};
        QTest::newRow("Up starts from the caret, not the selection's start") << u"abcdef\nabcdef\nabcdef"_qs << 0 << u"8-10"_qs
                << QStringList{"Up"} << QStringList{"3"};
        QTest::newRow("Down starts from the caret") << u"abcdef\nabcdef\nabcdef"_qs << 0 << u"10-8"_qs << QStringList{"Down"}
                << QStringList{"15"};
        QTest::newRow("Page Up and Page Down that cannot move keep the selection") << u"abcdef\nxy"_qs << 0 << u"1-4"_qs
                << QStringList{"PgUp", "Down", "S+Left", "PgDn"} << QStringList{"1-4", "9", "9-8", "9-8"};
        QTest::newRow("Up on the first row ends a selection at the document's start") << u"abcdef\nxy"_qs << 0 << u"1-4"_qs
                << QStringList{"Up"} << QStringList{"0"};
        QTest::newRow("Home and End leave the selection") << u"abcdef\nabcdef"_qs << 0 << u"9-11"_qs
                << QStringList{"Home", "S+End"} << QStringList{"7", "7-13"};
        QTest::newRow("Shift+End at a cut selects to the row's end") << u"abcdefghijkl"_qs << 7 << u"2"_qs
                << QStringList{"S+End", "Right"} << QStringList{"2-7u", "7u"};
        QTest::newRow("Right collapsing to an anchor at a cut puts the caret on the next row") << u"abcdefghijkl"_qs << 7
                << u"7-2"_qs << QStringList{"Right", "Home"} << QStringList{"7", "7"};
    }
    void selection() { runKeys(); }

    void positions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<qsizetype>("given");
        QTest::addColumn<bool>("upstream");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<qsizetype>("row");
        QTest::addColumn<qreal>("x");
        QTest::newRow("between CR and LF is the line's end") << u"ab\r\ncd"_qs << 0 << qsizetype(3) << false << u"2"_qs
                << qsizetype(0) << qreal(20);
        QTest::newRow("inside a surrogate pair is before it") << u"a👍b"_qs << 0 << qsizetype(2) << false << u"1"_qs << qsizetype(0)
                << qreal(10);
        QTest::newRow("past the end is the end") << u"ab\ncd"_qs << 0 << qsizetype(99) << false << u"5"_qs << qsizetype(1)
                << qreal(20);
        QTest::newRow("upstream at a cut is the end of the row before") << u"abcdefghijkl"_qs << 7 << qsizetype(7) << true << u"7u"_qs
                << qsizetype(0) << qreal(70);
        QTest::newRow("downstream at a cut is the next row's start") << u"abcdefghijkl"_qs << 7 << qsizetype(7) << false << u"7"_qs
                << qsizetype(1) << qreal(0);
        QTest::newRow("upstream at a line's start means nothing") << u"abc\ndef"_qs << 0 << qsizetype(4) << true << u"4"_qs
                << qsizetype(1) << qreal(0);
        QTest::newRow("upstream inside a row means nothing") << u"abcdefghijkl"_qs << 7 << qsizetype(3) << true << u"3"_qs
                << qsizetype(0) << qreal(30);
    }
    void positions()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(qsizetype, given);
        QFETCH(bool, upstream);
        QFETCH(QString, taken);
        QFETCH(qsizetype, row);
        QFETCH(qreal, x);
        Page page(text, columns);
        page.navigator.setPosition({given, upstream ? Affinity::Upstream : Affinity::Downstream});
        QCOMPARE(describe(page.navigator), taken);
        QCOMPARE(page.navigator.caretRow(), row);
        QCOMPARE(page.navigator.caretX(), x);
    }

    void rowsBrokenAnew()
    {
        Page page(u"abcdefghijkl"_qs, 7);
        page.navigator.move(Move::RowEnd, false);
        QCOMPARE(describe(page.navigator), u"7u"_qs);
        page.rows.setRule(ruleFor(0));
        page.navigator.rowsChanged();
        QCOMPARE(describe(page.navigator), u"7"_qs);
        QCOMPARE(page.navigator.caretRow(), 0);
        page.navigator.move(Move::RowEnd, false);
        QCOMPARE(describe(page.navigator), u"12"_qs);
    }

    // Mouse actions: "click row x", "shift row x" (a click with Shift), "double row x",
    // "triple row x", "drag row x" (moved with the button held).
    void mouse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("a click right of a row's end stays on that row") << u"abcdefghijkl\nxy"_qs << 7
                << QStringList{"click 0 500", "click 1 500", "click 2 500", "click 0 34", "click 0 36", "click 9 0"}
                << QStringList{"7u", "12", "15", "3", "4", "13"};
        QTest::newRow("a click right of a row wrapped after a blank is before the blank") << u"abc def ghi jkl"_qs << -8
                << QStringList{"click 0 500"} << QStringList{"7"};
        QTest::newRow("a click left of a continuing row is at its start") << u"abcdefghijkl"_qs << 7
                << QStringList{"click 1 -20"} << QStringList{"7"};
        QTest::newRow("double-click selects a word or a run of punctuation") << u"foo.bar baz  qux\nnext"_qs << 0
                << QStringList{"double 0 12", "double 0 52", "double 0 82", "double 0 32", "double 0 112", "double 0 500"}
                << QStringList{"0-3", "4-7", "8-11", "3-4", "8-11", "13-16"};
        QTest::newRow("double-click on blanks selects the word before") << u"abc   def"_qs << 0 << QStringList{"double 0 42"}
                << QStringList{"0-3"};
        QTest::newRow("double-click on punctuation selects the run") << u"abc--def"_qs << 0 << QStringList{"double 0 32"}
                << QStringList{"3-5"};
        QTest::newRow("double-click on an emoji selects the word it is in") << u"ab 👍🏽x cd"_qs << 0 << QStringList{"double 0 32"}
                << QStringList{"3-8"};
        QTest::newRow("double-click on an empty line selects nothing") << u"ab\n\ncd"_qs << 0 << QStringList{"double 1 32"}
                << QStringList{"3"};
        QTest::newRow("dragging after a double-click grows by words") << u"foo bar baz qux"_qs << 0
                << QStringList{"double 0 52", "drag 0 92", "drag 0 132", "drag 0 60", "drag 0 12"}
                << QStringList{"4-7", "4-8", "4-12", "4-7", "7-0"};
        QTest::newRow("dragging over blanks after a double-click keeps the selection") << u"foo bar   baz"_qs << 0
                << QStringList{"double 0 52", "drag 0 85"} << QStringList{"4-7", "4-7"};
        QTest::newRow("dragging right of a line's end after a double-click keeps the selection") << u"foo bar\nbaz qux"_qs << 0
                << QStringList{"double 0 12", "drag 1 500", "drag 1 22", "drag 1 500"} << QStringList{"0-3", "0-3", "0-11", "0-11"};
        QTest::newRow("dragging to a line's start after a double-click keeps the selection") << u"ab\n(bar"_qs << 0
                << QStringList{"double 1 500", "drag 1 0", "drag 0 12", "drag 0 0"} << QStringList{"4-7", "4-7", "7-2", "7-2"};
        QTest::newRow("Shift+click after a double-click grows by words") << u"abc def ghi jkl"_qs << 0
                << QStringList{"double 0 52", "shift 0 132", "shift 0 12"} << QStringList{"4-7", "4-12", "7-0"};
        QTest::newRow("triple-click selects the line with its line break") << u"abc def\nghi jkl\nlast"_qs << 0
                << QStringList{"triple 1 12", "triple 2 12"} << QStringList{"8-16", "16-20"};
        QTest::newRow("triple-click takes CR LF with the line") << u"ab\r\ncd\r\nef"_qs << 0 << QStringList{"triple 1 12"}
                << QStringList{"4-8"};
        QTest::newRow("triple-click on a cut row selects the whole line") << u"abcdefghijkl\nxyz"_qs << 7
                << QStringList{"triple 1 12"} << QStringList{"0-13"};
        QTest::newRow("dragging after a triple-click grows by lines") << u"abc def\nghi jkl\nlast\nmore"_qs << 0
                << QStringList{"triple 1 12", "drag 2 12", "drag 1 52", "drag 0 12"} << QStringList{"8-16", "8-21", "8-16", "16-0"};
        QTest::newRow("Shift+click after a triple-click grows by lines") << u"abc def\nghi jkl\nlast\nmore"_qs << 0
                << QStringList{"triple 1 12", "shift 3 12"} << QStringList{"8-16", "8-25"};
        QTest::newRow("Shift+click extends from the anchor") << u"abc def ghi"_qs << 0
                << QStringList{"click 0 12", "shift 0 62", "shift 0 32"} << QStringList{"1", "1-6", "1-3"};
        QTest::newRow("a click after a double-click selects by characters again") << u"foo bar baz"_qs << 0
                << QStringList{"double 0 52", "click 0 12", "drag 0 52"} << QStringList{"4-7", "1", "1-5"};
        QTest::newRow("dragging selects over lines") << u"abcdef\nghijkl"_qs << 0 << QStringList{"click 0 12", "drag 1 22"}
                << QStringList{"1", "1-9"};
        QTest::newRow("dragging past a row's end ends on that row") << u"abcdefghijkl"_qs << 7
                << QStringList{"click 0 12", "drag 0 500"} << QStringList{"1", "1-7u"};
    }
    void mouse()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, after);
        QCOMPARE(actions.size(), after.size());
        Page page(text, columns);
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const QStringList parts = actions[i].split(u' ');
            QCOMPARE(parts.size(), 3);
            const qsizetype row = parts[1].toLongLong();
            const qreal x = parts[2].toDouble();
            if (parts[0] == u"drag")
                page.navigator.mouseDrag(row, x);
            else
                page.navigator.mousePress(row, x, parts[0] == u"double" ? 2 : parts[0] == u"triple" ? 3 : 1, parts[0] == u"shift");
            QVERIFY2(describe(page.navigator) == after[i],
                     qPrintable(u"after %1: %2, expected %3"_qs.arg(actions[i], describe(page.navigator), after[i])));
        }
    }
};

QTEST_GUILESS_MAIN(TestCaretNavigator)
#include "tst_caretnavigator.moc"
