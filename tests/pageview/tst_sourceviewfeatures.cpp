#include "FindBar.h"
#include "GoToLineBar.h"
#include "LineNumberGutter.h"
#include "SourceView.h"
#include "Twips.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

namespace {

// A view of a fixed size, shown, with a document in it.
struct ShownView
{
    SourceView view;

    explicit ShownView(const QString &document, QSize size = {480, 300})
    {
        view.resize(size);
        view.setText(document);
        view.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&view);
        [[maybe_unused]] const bool indexed = QTest::qWaitFor([this] { return view.indexComplete(); });
    }

    // Types into the find field as a user does, then waits for the search to settle.
    void find(const QString &text)
    {
        view.openFind();
        QLineEdit *field = view.findBar()->findChild<QLineEdit *>(QStringLiteral("findField"));
        field->selectAll();
        QTest::keyClicks(field, text);
        settle();
    }
    void settle()
    {
        [[maybe_unused]] const bool settled = QTest::qWaitFor([this] {
            return !view.findBar()->status().contains(u'…');
        }, 5000);
    }
};

QString rowsJoined(SourceView &view, qsizetype from, qsizetype to)
{
    QString joined;
    for (qsizetype row = from; row < to; ++row)
        joined += view.rowText(row);
    return joined;
}

} // namespace

class TestSourceViewFeatures : public QObject
{
    Q_OBJECT

private slots:
    void lineNumbersOnlyWhereLinesStart();
    void gutterSelectsWholeLines();
    void wrappedEndOfAHugeLineIsReachable();
    void find_data();
    void find();
    void findAcrossADisplayBreak();
    void findWrapsAroundAndSaysSo();
    void findInAnEmptyDocument();
    void findFieldHoldsASelectionOnOneLine_data();
    void findFieldHoldsASelectionOnOneLine();
    void newDocumentCountsAgain();
    void wrappedRowsFitAndJoin_data();
    void wrappedRowsFitAndJoin();
    void wrapKeepsTheTopLineAndCaret();
    void zoomStaysInItsRange();
    void controlWheelZooms();
    void goToLine_data();
    void goToLine();
    void goToLineWaitsForTheCount();
    void fieldsKeepTheirFont_data();
    void fieldsKeepTheirFont();
    void matchClearOfTheFieldAndEdges_data();
    void matchClearOfTheFieldAndEdges();
    void countShownWhole_data();
    void countShownWhole();
    void everyControlOfTheFieldUsable_data();
    void everyControlOfTheFieldUsable();
    void tabGoesRoundTheField_data();
    void tabGoesRoundTheField();
    void countFollowsTheCaret_data();
    void countFollowsTheCaret();
    void accessibleText();
    void longRowsShowAsIfLaidOutWhole_data();
    void longRowsShowAsIfLaidOutWhole();
};

void TestSourceViewFeatures::lineNumbersOnlyWhereLinesStart()
{
    const QString longLine(SourceView::maxRowLength + 10, u'x');
    ShownView shown(QStringLiteral("first\n") + longLine + QStringLiteral("\r\nthird\rfourth"));
    QList<qsizetype> numbers;
    for (qsizetype row = 0; row < shown.view.rowCount(); ++row)
        numbers.append(shown.view.lineNumberOfRow(row));
    // The long line's second row continues it and carries no number.
    QCOMPARE(numbers, (QList<qsizetype>{1, 2, 0, 3, 4}));
}

void TestSourceViewFeatures::gutterSelectsWholeLines()
{
    ShownView shown(QStringLiteral("first\r\nsecond\nthird\nfourth"));
    QWidget *gutter = shown.view.findChild<LineNumberGutter *>();
    QVERIFY(gutter);
    const int row = shown.view.lineHeight();
    QTest::mouseClick(gutter, Qt::LeftButton, {}, QPoint(2, row + row / 2));
    QCOMPARE(shown.view.selectedText(), QStringLiteral("second\n"));
    // A drag from the second line up to the first takes both, line breaks and all.
    QTest::mousePress(gutter, Qt::LeftButton, {}, QPoint(2, row + row / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, row / 2), gutter->mapToGlobal(QPointF(2, row / 2)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(gutter, &move);
    QTest::mouseRelease(gutter, Qt::LeftButton, {}, QPoint(2, row / 2));
    QCOMPARE(shown.view.selectedText(), QStringLiteral("first\r\nsecond\n"));
    // The numbers are never part of the text.
    QCOMPARE(shown.view.text(), QStringLiteral("first\r\nsecond\nthird\nfourth"));
}

void TestSourceViewFeatures::wrappedEndOfAHugeLineIsReachable()
{
    const QString line = QStringLiteral("<a href=\"x\">y</a> ").repeated(100'000);
    ShownView shown(line + QStringLiteral("\nlast line"));
    shown.view.setWrapping(true);
    shown.view.setFocus();
    QTest::keyClick(&shown.view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(shown.view.cursorPosition(), shown.view.text().size());
    // The last row is on screen, and it is the last line.
    const qsizetype last = shown.view.rowCount() - 1;
    QVERIFY(shown.view.firstVisibleRow() <= last);
    QVERIFY(shown.view.firstVisibleRow() + shown.view.viewport()->height() / shown.view.lineHeight() >= last);
    QCOMPARE(shown.view.rowText(last), QStringLiteral("last line"));
    QCOMPARE(shown.view.lineNumberOfRow(last), 2);
}

void TestSourceViewFeatures::find_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<qsizetype>("selected"); // where the first match from the top starts; -1: none
    QTest::addColumn<QString>("status");
    QTest::newRow("ignoring case") << QStringLiteral("<DIV>a</div><Div>") << QStringLiteral("div") << false << qsizetype(1)
                                   << QStringLiteral("1 of 3");
    QTest::newRow("matching case") << QStringLiteral("<DIV>a</div><Div>") << QStringLiteral("div") << true << qsizetype(8)
                                   << QStringLiteral("1 of 1");
    QTest::newRow("letters beyond ASCII") << QStringLiteral("Grüße, GRÜSSE, grüße") << QStringLiteral("GRÜ") << false
                                          << qsizetype(0) << QStringLiteral("1 of 3");
    QTest::newRow("nothing found") << QStringLiteral("<p>text</p>") << QStringLiteral("span") << false << qsizetype(-1)
                                   << QStringLiteral("No results");
}

void TestSourceViewFeatures::find()
{
    QFETCH(QString, document);
    QFETCH(QString, needle);
    QFETCH(bool, matchCase);
    QFETCH(qsizetype, selected);
    ShownView shown(document);
    if (matchCase)
        shown.view.findBar()->findChild<QToolButton *>(QStringLiteral("matchCase"))->setChecked(true);
    shown.find(needle);
    QTEST(shown.view.findBar()->status(), "status");
    if (selected >= 0) {
        QCOMPARE(shown.view.anchor(), selected);
        QCOMPARE(shown.view.selectedText().size(), needle.size());
        if (QGuiApplication::clipboard()->supportsSelection())
            QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection), shown.view.selectedText());
    } else {
        QCOMPARE(shown.view.selectedText(), QString());
    }
}

void TestSourceViewFeatures::findAcrossADisplayBreak()
{
    // The line is cut for display between "ne" and "edle"; the match runs over the document.
    QString line(SourceView::maxRowLength - 2, u'a');
    line += QStringLiteral("needle") + QString(50, u'a');
    ShownView shown(line);
    QVERIFY(shown.view.rowCount() > 1);
    shown.find(QStringLiteral("needle"));
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("1 of 1"));
    QCOMPARE(shown.view.anchor(), SourceView::maxRowLength - 2);
    QCOMPARE(shown.view.selectedText(), QStringLiteral("needle"));
}

void TestSourceViewFeatures::findWrapsAroundAndSaysSo()
{
    ShownView shown(QStringLiteral("one two one two one"));
    shown.view.setSelection(8, 8); // after the first "one"
    shown.find(QStringLiteral("one"));
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("2 of 3"));
    QCOMPARE(shown.view.anchor(), 8);
    shown.view.findNext();
    shown.settle();
    QCOMPARE(shown.view.anchor(), 16);
    QCOMPARE(shown.view.findBar()->status(), QStringLiteral("3 of 3"));
    // Past the last match the search goes round to the first, and the field says so.
    shown.view.findNext();
    shown.settle();
    QCOMPARE(shown.view.anchor(), 0);
    QCOMPARE(shown.view.findBar()->status(), QStringLiteral("1 of 3, from the start"));
    shown.view.findPrevious();
    shown.settle();
    QCOMPARE(shown.view.anchor(), 16);
    QCOMPARE(shown.view.findBar()->status(), QStringLiteral("3 of 3, from the end"));
    // Escape closes the field and leaves the match selected.
    QTest::keyClick(shown.view.findBar()->findChild<QLineEdit *>(), Qt::Key_Escape);
    QVERIFY(!shown.view.findBar()->isVisible());
    QCOMPARE(shown.view.selectedText(), QStringLiteral("one"));
    // F3 with the field closed repeats the last search.
    shown.view.findNext();
    shown.settle();
    QCOMPARE(shown.view.anchor(), 0);
    // From wherever the caret has gone since.
    shown.view.setSelection(10, 10);
    shown.view.findNext();
    shown.settle();
    QCOMPARE(shown.view.anchor(), 16);
}

void TestSourceViewFeatures::findInAnEmptyDocument()
{
    ShownView shown{QString()};
    shown.find(QStringLiteral("x"));
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("No results"));
    shown.view.findPrevious();
    shown.settle();
    QCOMPARE(shown.view.findBar()->status(), QStringLiteral("No results"));
}

void TestSourceViewFeatures::findFieldHoldsASelectionOnOneLine_data()
{
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QString>("field");
    QTest::newRow("a word") << qsizetype(5) << qsizetype(10) << QStringLiteral("class");
    QTest::newRow("over a line break: not taken") << qsizetype(5) << qsizetype(20) << QString();
}

void TestSourceViewFeatures::findFieldHoldsASelectionOnOneLine()
{
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, to);
    ShownView shown(QStringLiteral("<div class=a>\n<p class=b>"));
    shown.view.setSelection(from, to);
    shown.view.openFind();
    QTEST(shown.view.findBar()->text(), "field");
    QCOMPARE(shown.view.findBar()->findChild<QLineEdit *>()->selectedText(), shown.view.findBar()->text());
}

void TestSourceViewFeatures::newDocumentCountsAgain()
{
    ShownView shown(QStringLiteral("a b a"));
    shown.find(QStringLiteral("a"));
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("1 of 2"));
    shown.view.setText(QStringLiteral("a a a a"));
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("4 matches"));
    shown.view.setText(QString());
    QTRY_COMPARE(shown.view.findBar()->status(), QStringLiteral("No results"));
}

void TestSourceViewFeatures::wrappedRowsFitAndJoin_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("words") << QStringLiteral("the quick brown fox jumps over the lazy dog ").repeated(20);
    QTest::newRow("markup without spaces") << QStringLiteral("<a><b>x</b></a>").repeated(60);
    QTest::newRow("one long word") << QString(900, u'w');
    QTest::newRow("characters beyond the basic plane and accents")
        << QStringLiteral("😀e\u0301 ").repeated(150);
    QTest::newRow("wide characters") << QStringLiteral("日本語のページ、").repeated(40);
}

void TestSourceViewFeatures::wrappedRowsFitAndJoin()
{
    QFETCH(QString, line);
    ShownView shown(line + QStringLiteral("\nnext"));
    shown.view.setWrapping(true);
    QVERIFY(shown.view.rowCount() > 3);
    // No horizontal scrolling while wrapping.
    QCOMPARE(shown.view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QFontMetricsF metrics(shown.view.font());
    const qsizetype lastRowOfLine = shown.view.rowCount() - 2;
    for (qsizetype row = 0; row <= lastRowOfLine; ++row) {
        const QString text = shown.view.rowText(row);
        QVERIFY2(!text.isEmpty(), qPrintable(QString::number(row)));
        QVERIFY2(!text.front().isLowSurrogate() && !text.front().isMark(), qPrintable(text));
        // Trailing spaces may hang past the edge; what is seen fits.
        QVERIFY2(metrics.horizontalAdvance(text.trimmed()) <= shown.view.viewport()->width(), qPrintable(text));
    }
    QCOMPARE(rowsJoined(shown.view, 0, lastRowOfLine + 1), line);
    QCOMPARE(shown.view.lineNumberOfRow(lastRowOfLine + 1), 2);
    QCOMPARE(shown.view.text(), line + QStringLiteral("\nnext"));
}

void TestSourceViewFeatures::wrapKeepsTheTopLineAndCaret()
{
    QString document;
    for (int i = 0; i < 400; ++i)
        document += QStringLiteral("<p>line %1 with enough text to wrap at a narrow width, and more</p>\n").arg(i);
    ShownView shown(document, {300, 200});
    const qsizetype line300 = document.indexOf(QStringLiteral("line 300 "));
    shown.view.setSelection(line300 + 2, line300 + 2);
    const qsizetype topLine = shown.view.lineNumberOfRow(shown.view.firstVisibleRow());
    QVERIFY(topLine > 250);

    shown.view.setWrapping(true);
    QCOMPARE(shown.view.lineNumberOfRow(shown.view.firstVisibleRow()), topLine);
    QCOMPARE(shown.view.cursorPosition(), line300 + 2);
    shown.view.resize(260, 200);
    QTRY_COMPARE(shown.view.lineNumberOfRow(shown.view.firstVisibleRow()), topLine);
    shown.view.setZoom(150);
    QCOMPARE(shown.view.lineNumberOfRow(shown.view.firstVisibleRow()), topLine);
    shown.view.setWrapping(false);
    QCOMPARE(shown.view.lineNumberOfRow(shown.view.firstVisibleRow()), topLine);
    QCOMPARE(shown.view.cursorPosition(), line300 + 2);
}

void TestSourceViewFeatures::zoomStaysInItsRange()
{
    ShownView shown(QStringLiteral("text"));
    const qreal base = shown.view.font().pointSizeF();
    shown.view.setZoom(200);
    QCOMPARE(shown.view.font().pointSizeF(), base * 2);
    for (int i = 0; i < 20; ++i)
        shown.view.zoomIn();
    QCOMPARE(shown.view.zoom(), SourceView::maximumZoom);
    for (int i = 0; i < 40; ++i)
        shown.view.zoomOut();
    QCOMPARE(shown.view.zoom(), SourceView::minimumZoom);
    QCOMPARE(shown.view.font().pointSizeF(), base / 2);
    // Ctrl+0 is back to 100 %, from the keyboard as a user types it.
    QTest::keyClick(&shown.view, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(shown.view.zoom(), 100);
    QCOMPARE(shown.view.font().pointSizeF(), base);
}

void TestSourceViewFeatures::controlWheelZooms()
{
    ShownView shown(QStringLiteral("text"));
    const auto wheel = [&shown](int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(10, 10);
        QWheelEvent event(at, shown.view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(shown.view.viewport(), &event);
    };
    wheel(120, Qt::ControlModifier);
    QCOMPARE(shown.view.zoom(), 110);
    wheel(-240, Qt::ControlModifier);
    QCOMPARE(shown.view.zoom(), 90);
    // Without Ctrl the wheel scrolls and leaves the zoom alone.
    wheel(120, Qt::NoModifier);
    QCOMPARE(shown.view.zoom(), 90);
}

void TestSourceViewFeatures::goToLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QString>("hint"); // empty: the line was gone to and the field closed
    const QString noSuchLine = QStringLiteral("There is no line %1; the lines are 1–4.");
    QTest::newRow("the third line") << QStringLiteral("3") << qsizetype(9) << QString();
    QTest::newRow("the last line") << QStringLiteral("4") << qsizetype(15) << QString();
    QTest::newRow("letters are not taken") << QStringLiteral("x2y") << qsizetype(5) << QString();
    QTest::newRow("past the end: refused") << QStringLiteral("5") << qsizetype(2) << noSuchLine.arg(5);
    QTest::newRow("more digits than a number holds: refused")
        << QStringLiteral("999999999999999999999999") << qsizetype(2) << noSuchLine.arg(QStringLiteral("999999999999999999999999"));
    QTest::newRow("zero: refused") << QStringLiteral("0") << qsizetype(2) << noSuchLine.arg(0);
    QTest::newRow("empty: refused") << QString() << qsizetype(2) << QStringLiteral("Type a line number, 1–4.");
}

void TestSourceViewFeatures::goToLine()
{
    QFETCH(QString, typed);
    QFETCH(QString, hint);
    ShownView shown(QStringLiteral("one\r\ntwo\nthree\rfour"));
    shown.view.setSelection(2, 2);
    shown.view.openGoToLine();
    QLineEdit *field = shown.view.goToLineBar()->field();
    QVERIFY(field->hasFocus());
    // The range is shown before anything is typed.
    QCOMPARE(field->placeholderText(), QStringLiteral("1–4"));
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QTEST(shown.view.cursorPosition(), "caret");
    QCOMPARE(shown.view.goToLineBar()->hint(), hint);
    if (hint.isEmpty()) {
        QVERIFY(!shown.view.goToLineBar()->isVisible());
        QVERIFY(shown.view.hasFocus());
    } else {
        // Refused: the field stays open with its hint in sight, to be typed again.
        QVERIFY(shown.view.goToLineBar()->isVisible());
        QVERIFY(shown.view.goToLineBar()->findChild<QLabel *>(QStringLiteral("goToLineHint"))->isVisible());
        QVERIFY(field->hasFocus());
    }
}

void TestSourceViewFeatures::goToLineWaitsForTheCount()
{
    // Far more lines than are counted before the first screen shows.
    const QString document = QStringLiteral("ab\n").repeated(3'000'000);
    SourceView view;
    view.resize(480, 300);
    view.setText(document);
    view.show();
    QVERIFY(!view.indexComplete());
    view.openGoToLine();
    QLineEdit *field = view.goToLineBar()->field();
    QVERIFY(field->placeholderText().endsWith(u'…'));
    QTest::keyClicks(field, QStringLiteral("2900000"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!view.indexComplete());
    QCOMPARE(view.goToLineBar()->hint(), QStringLiteral("Counting lines…"));
    QTRY_COMPARE_WITH_TIMEOUT(view.cursorPosition(), qsizetype(2'899'999) * 3, 30000);
    QVERIFY(!view.goToLineBar()->isVisible());
    // Once counted, a line past the end is refused like any other.
    view.openGoToLine();
    QCOMPARE(field->placeholderText(), QStringLiteral("1–3,000,001"));
    QTest::keyClicks(field, QStringLiteral("3000002"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(view.cursorPosition(), qsizetype(2'899'999) * 3);
    QVERIFY(view.goToLineBar()->hint().startsWith(QStringLiteral("There is no line 3000002")));
}

void TestSourceViewFeatures::fieldsKeepTheirFont_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("windowFontGiven");
    QTest::newRow("zoomed out, the application's font") << SourceView::minimumZoom << false;
    QTest::newRow("zoomed in, the application's font") << SourceView::maximumZoom << false;
    QTest::newRow("zoomed out, the window's font") << SourceView::minimumZoom << true;
    QTest::newRow("zoomed in, the window's font") << SourceView::maximumZoom << true;
}

void TestSourceViewFeatures::fieldsKeepTheirFont()
{
    QFETCH(int, zoom);
    QFETCH(bool, windowFontGiven);
    ShownView shown(QStringLiteral("text"));
    QFont expected = QApplication::font();
    if (windowFontGiven) {
        expected = QFont(QStringLiteral("Sans Serif"), 11, QFont::Bold);
        shown.view.setFieldFont(expected);
    }
    shown.view.setZoom(zoom);
    shown.view.openFind();
    for (QWidget *field : {static_cast<QWidget *>(shown.view.findBar()), static_cast<QWidget *>(shown.view.goToLineBar()),
                           shown.view.findBar()->findChild<QWidget *>(QStringLiteral("findField"))}) {
        QCOMPARE(field->font().pointSizeF(), expected.pointSizeF());
        QCOMPARE(field->font().bold(), expected.bold());
    }
    QVERIFY(shown.view.font().pointSizeF() != expected.pointSizeF());
}

void TestSourceViewFeatures::matchClearOfTheFieldAndEdges_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QSize>("size");
    QString lines;
    for (int i = 0; i < 300; ++i)
        lines += QStringLiteral("line %1 of the page\n").arg(i);
    QTest::newRow("on the first line") << QStringLiteral("needle\n") + lines << QSize(480, 300);
    QTest::newRow("far down") << lines + QStringLiteral("the needle\n") + lines << QSize(480, 300);
    QTest::newRow("far right") << QString(400, u'x') + QStringLiteral("needle") + QString(400, u'x') << QSize(480, 300);
    QTest::newRow("at the start of a long line") << QStringLiteral("needle") + QString(400, u'x') << QSize(480, 300);
    QTest::newRow("on the first line, at the window's starting size") << QStringLiteral("needle\n") + lines << QSize();
    QTest::newRow("far right, at the window's starting size")
        << QString(400, u'x') + QStringLiteral("needle") + QString(400, u'x') << QSize();
}

void TestSourceViewFeatures::matchClearOfTheFieldAndEdges()
{
    QFETCH(QString, document);
    QFETCH(QSize, size);
    ShownView shown(document);
    if (!size.isValid()) {
        // The view's size in the window as it first opens.
        size = QSize(Twips::toPixels(3375, shown.view.logicalDpiX()), Twips::toPixels(1815, shown.view.logicalDpiY()));
    }
    shown.view.resize(size);
    shown.find(QStringLiteral("needle"));
    QCOMPARE(shown.view.selectedText(), QStringLiteral("needle"));
    const QRect field = shown.view.findBar()->geometry();
    const QRect text = shown.view.viewport()->geometry();
    QVERIFY(field.isValid());
    QVERIFY2(field.bottom() < text.top(), "the text starts below the field");
    const QRectF first = shown.view.characterRect(shown.view.anchor());
    const QRectF last = shown.view.characterRect(shown.view.cursorPosition() - 1);
    const QRectF inside(0, 0, text.width(), text.height());
    QVERIFY2(inside.contains(first) && inside.contains(last), "the whole match is on screen");
}

void TestSourceViewFeatures::countShownWhole_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("status");
    QTest::newRow("wide") << QSize(600, 300) << QStringLiteral("1 of 3, from the start");
    QTest::newRow("at the window's starting size") << QSize() << QStringLiteral("1 of 3, from the start");
}

void TestSourceViewFeatures::countShownWhole()
{
    QFETCH(QSize, size);
    ShownView shown(QStringLiteral("one two one two one"));
    if (!size.isValid())
        size = QSize(Twips::toPixels(3375, shown.view.logicalDpiX()), Twips::toPixels(1815, shown.view.logicalDpiY()));
    shown.view.resize(size);
    shown.find(QStringLiteral("one"));
    // Round past the last match, to the longest count there is.
    for (int i = 0; i < 3; ++i) {
        shown.view.findNext();
        shown.settle();
    }
    QTEST(shown.view.findBar()->status(), "status");
    auto *label = shown.view.findBar()->findChild<QLabel *>(QStringLiteral("findStatus"));
    QVERIFY(label->isVisible());
    QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), qPrintable(QString::number(label->width())));
    QVERIFY(shown.view.findBar()->rect().contains(label->geometry()));
}

void TestSourceViewFeatures::everyControlOfTheFieldUsable_data()
{
    QTest::addColumn<bool>("goToLine");
    QTest::addColumn<QSize>("size");
    QTest::newRow("find, at the window's starting size") << false << QSize();
    QTest::newRow("find, wide") << false << QSize(700, 300);
    QTest::newRow("go to line, at the window's starting size") << true << QSize();
}

void TestSourceViewFeatures::everyControlOfTheFieldUsable()
{
    QFETCH(bool, goToLine);
    QFETCH(QSize, size);
    ShownView shown(QStringLiteral("one two one\n").repeated(40));
    if (!size.isValid())
        size = QSize(Twips::toPixels(3375, shown.view.logicalDpiX()), Twips::toPixels(1815, shown.view.logicalDpiY()));
    shown.view.resize(size);
    if (goToLine)
        shown.view.openGoToLine();
    else
        shown.find(QStringLiteral("one"));
    QWidget *bar = goToLine ? static_cast<QWidget *>(shown.view.goToLineBar()) : static_cast<QWidget *>(shown.view.findBar());
    QVERIFY(shown.view.rect().contains(bar->geometry()));
    QList<QWidget *> controls;
    for (QWidget *child : bar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(bar))
            controls.append(child);
    }
    QCOMPARE(controls.size(), goToLine ? 2 : 6);
    for (QWidget *control : controls) {
        // Each at least its own smallest size, within the field, over none of the others.
        const QSize least = control->minimumSizeHint().expandedTo(control->minimumSize());
        QVERIFY2(control->width() >= least.width() && control->height() >= least.height(), qPrintable(control->objectName()));
        QVERIFY2(bar->rect().contains(control->geometry()), qPrintable(control->objectName()));
        for (QWidget *other : controls) {
            QVERIFY2(other == control || !other->geometry().intersects(control->geometry()),
                     qPrintable(control->objectName() + QStringLiteral(" and ") + other->objectName()));
        }
    }
    // Some text stays in sight below the field.
    QVERIFY(shown.view.viewport()->height() >= shown.view.lineHeight());
}

void TestSourceViewFeatures::tabGoesRoundTheField_data()
{
    QTest::addColumn<QList<int>>("keys"); // Qt::Key values; Key_Backtab for Shift+Tab
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QString>("status");
    const int tab = Qt::Key_Tab;
    QTest::newRow("Tab: to Aa") << QList<int>{tab} << QStringLiteral("matchCase") << false << QStringLiteral("1 of 3");
    QTest::newRow("Tab four times: to Close") << QList<int>{tab, tab, tab, tab} << QStringLiteral("findClose") << false
                                              << QStringLiteral("1 of 3");
    QTest::newRow("Tab five times: round to the field") << QList<int>{tab, tab, tab, tab, tab} << QStringLiteral("findField")
                                                        << false << QStringLiteral("1 of 3");
    QTest::newRow("Shift+Tab: round to Close") << QList<int>{Qt::Key_Backtab} << QStringLiteral("findClose") << false
                                               << QStringLiteral("1 of 3");
    QTest::newRow("Space on Aa matches case") << QList<int>{tab, Qt::Key_Space} << QStringLiteral("matchCase") << true
                                              << QStringLiteral("1 of 2");
    QTest::newRow("Space again: case ignored") << QList<int>{tab, Qt::Key_Space, Qt::Key_Space} << QStringLiteral("matchCase")
                                               << false << QStringLiteral("1 of 3");
}

void TestSourceViewFeatures::tabGoesRoundTheField()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, matchCase);
    ShownView shown(QStringLiteral("one One one"));
    shown.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&shown.view));
    shown.find(QStringLiteral("one"));
    for (int key : keys) {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        if (key == Qt::Key_Backtab)
            QTest::keyClick(focused, Qt::Key_Tab, Qt::ShiftModifier);
        else
            QTest::keyClick(focused, Qt::Key(key));
        shown.settle();
    }
    QVERIFY(QApplication::focusWidget());
    QTEST(QApplication::focusWidget()->objectName(), "focus");
    QCOMPARE(shown.view.findBar()->matchCase(), matchCase);
    QTEST(shown.view.findBar()->status(), "status");
}

void TestSourceViewFeatures::countFollowsTheCaret_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("status");
    QTest::newRow("off the match to the right") << int(Qt::Key_Right) << int(Qt::NoModifier) << QStringLiteral("after 2 of 3");
    QTest::newRow("to the document's end") << int(Qt::Key_End) << int(Qt::ControlModifier) << QStringLiteral("after 3 of 3");
    QTest::newRow("to the document's start") << int(Qt::Key_Home) << int(Qt::ControlModifier) << QStringLiteral("before 1 of 3");
    QTest::newRow("a selection grown from the match") << int(Qt::Key_Right) << int(Qt::ShiftModifier)
                                                      << QStringLiteral("after 2 of 3");
}

void TestSourceViewFeatures::countFollowsTheCaret()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    ShownView shown(QStringLiteral("one two one two one"));
    shown.view.setSelection(5, 5);
    shown.find(QStringLiteral("one"));
    QCOMPARE(shown.view.findBar()->status(), QStringLiteral("2 of 3"));
    shown.view.setFocus();
    QTest::keyClick(&shown.view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTEST(shown.view.findBar()->status(), "status");
    // F3 goes on from the caret, and the count is the match's again.
    shown.view.findNext();
    shown.settle();
    QVERIFY(shown.view.findBar()->status().contains(QStringLiteral(" of 3")));
    QVERIFY(!shown.view.findBar()->status().startsWith(QStringLiteral("after")));
}

void TestSourceViewFeatures::accessibleText()
{
    ShownView shown(QStringLiteral("<p>one</p>\r\n<p>two</p>\n"));
    shown.view.setSelection(13, 15);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&shown.view);
    QVERIFY(accessible);
    QAccessibleTextInterface *text = accessible->textInterface();
    QVERIFY(text);
    QVERIFY(accessible->state().readOnly);
    QCOMPARE(text->characterCount(), 23);
    QCOMPARE(text->text(3, 6), QStringLiteral("one"));
    QCOMPARE(text->cursorPosition(), 15);
    QCOMPARE(text->selectionCount(), 1);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(13, 15));
    // Read line by line, each with its line break.
    QCOMPARE(text->textAtOffset(15, QAccessible::LineBoundary, &start, &end), QStringLiteral("<p>two</p>\n"));
    QCOMPARE(std::pair(start, end), std::pair(12, 23));
    QCOMPARE(text->textBeforeOffset(15, QAccessible::LineBoundary, &start, &end), QStringLiteral("<p>one</p>\r\n"));
    // The character at a point is the one drawn there.
    const QRect rect = text->characterRect(4);
    QVERIFY(rect.isValid());
    QCOMPARE(text->offsetAtPoint(rect.center()), 4);
    text->setCursorPosition(7);
    QCOMPARE(shown.view.cursorPosition(), 7);
}

void TestSourceViewFeatures::longRowsShowAsIfLaidOutWhole_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("scroll"); // pixels to the right

    // Of a long row, only the columns on screen may be laid out: what is drawn, and
    // where every character stands, must be as for the whole row.
    QString markup;
    while (markup.size() < 3 * SourceView::maxRowLength)
        markup += QStringLiteral("<a href=\"/item/%1\">Item %1</a> &amp; text ").arg(markup.size());
    QTest::newRow("markup, at its start") << markup << 0;
    QTest::newRow("markup, scrolled right") << markup << 900;
    QTest::newRow("with a tab") << QStringLiteral("a\tb") + markup << 0;
    QTest::newRow("with a letter past ASCII") << QStringLiteral("\u00e9") + markup << 300;
}

void TestSourceViewFeatures::longRowsShowAsIfLaidOutWhole()
{
    QFETCH(QString, line);
    QFETCH(int, scroll);
    const auto shot = [scroll](const QString &document, QList<qreal> *xs) {
        ShownView shown(document);
        QApplication::setActiveWindow(&shown.view);
        shown.view.setFocus();
        shown.view.horizontalScrollBar()->setValue(scroll);
        const QImage whole = shown.view.viewport()->grab().toImage();
        // The first row: the long line goes on in rows below it. (Asking where a
        // character is lays its row out whole: only after the picture.)
        const QImage image = whole.copy(0, 0, whole.width(), int(shown.view.characterRect(0).height()));
        // Asked after the paint, of characters far past the screen.
        if (xs) {
            for (const qsizetype offset : {qsizetype(1500), SourceView::maxRowLength - 1, SourceView::maxRowLength + 700})
                xs->append(shown.view.characterRect(offset).x());
        }
        return image;
    };
    QList<qreal> afterPaint;
    const QImage longRow = shot(line, &afterPaint);
    // The same text, cut short enough to be laid out whole (a little past the screen's
    // right edge, some 7 pixels a character), looks the same on screen.
    const QImage shortRow = shot(line.left(qsizetype(scroll / 7 + 90)), nullptr);
    QCOMPARE(longRow, shortRow);
    // And a view that has painted nothing puts those characters where this one does.
    SourceView fresh;
    fresh.resize(480, 300);
    fresh.setText(line);
    QVERIFY(QTest::qWaitFor([&fresh] { return fresh.indexComplete(); }));
    fresh.horizontalScrollBar()->setValue(scroll);
    QList<qreal> unpainted;
    for (const qsizetype offset : {qsizetype(1500), SourceView::maxRowLength - 1, SourceView::maxRowLength + 700})
        unpainted.append(fresh.characterRect(offset).x());
    QCOMPARE(afterPaint, unpainted);
}

QTEST_MAIN(TestSourceViewFeatures)
#include "tst_sourceviewfeatures.moc"
