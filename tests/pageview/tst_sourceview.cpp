#include "SourceView.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

class TestSourceView : public QObject
{
    Q_OBJECT

private slots:
    void rightPressKeepsCaretAndSelection();
    void rows_data();
    void rows();
    void keyboardSelectionCopiesTheDocument();
    void mouseDragSelects();
    void hugeSingleLineStaysBrowsable();
};

void TestSourceView::rightPressKeepsCaretAndSelection()
{
    SourceView view;
    view.resize(300, 200);
    view.setText(QStringLiteral("first line of the page\nsecond line of the page\nthird"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setSelection(2, 8);

    QTest::mousePress(view.viewport(), Qt::RightButton, {}, QPoint(100, 30));
    QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, QPoint(100, 30));
    QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, QPoint(100, 30));
    QCOMPARE(view.anchor(), 2);
    QCOMPARE(view.cursorPosition(), 8);

    // A left press still does what a text view does.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(view.selectedText(), QString());
    QCOMPARE(view.cursorPosition(), 0);
}

void TestSourceView::rows_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("LF") << QStringLiteral("a\nb\n") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()};
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("lone CR") << QStringLiteral("a\rb\r\nc") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("empty") << QString() << QStringList{QString()};
    QTest::newRow("no line end") << QStringLiteral("abc") << QStringList{QStringLiteral("abc")};
    // Shown as symbols on screen, kept as they are in the rows and the text.
    QTest::newRow("line and paragraph separators do not end a line")
        << QStringLiteral("a\u2028b\u2029c") << QStringList{QStringLiteral("a\u2028b\u2029c")};
    QTest::newRow("NUL and no-break space") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("\u00A0b"))
                                            << QStringList{QString(QStringLiteral("a") + QChar(0) + QStringLiteral("\u00A0b"))};
    const QString longLine(SourceView::maxRowLength * 2 + 5, QLatin1Char('x'));
    QTest::newRow("long line broken for display")
        << longLine << QStringList{longLine.left(SourceView::maxRowLength), longLine.mid(SourceView::maxRowLength, SourceView::maxRowLength),
                                   longLine.right(5)};
    // A break never splits a character outside the basic plane.
    const QString pairs = QString(SourceView::maxRowLength - 1, QLatin1Char('y')) + QStringLiteral("😀z");
    QTest::newRow("surrogate pair at the break")
        << pairs << QStringList{pairs.left(SourceView::maxRowLength - 1), QStringLiteral("😀z")};
}

void TestSourceView::rows()
{
    QFETCH(QString, document);
    QFETCH(QStringList, rows);
    SourceView view;
    view.setText(document);
    QStringList actual;
    for (qsizetype i = 0; i < view.rowCount(); ++i)
        actual.append(view.rowText(i));
    QCOMPARE(actual, rows);
    QCOMPARE(view.text(), document);
}

void TestSourceView::keyboardSelectionCopiesTheDocument()
{
    SourceView view;
    view.resize(300, 200);
    const QString document = QStringLiteral("line one\r\nline\u00A0two\r\nthree");
    view.setText(document);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setFocus();

    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("line one"));
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("line one\r\nline\u00A0two"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line one\r\nline\u00A0two"));

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), document);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), 0);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.cursorPosition(), 11);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), document.size());
}

void TestSourceView::mouseDragSelects()
{
    SourceView view;
    view.resize(400, 200);
    view.setText(QStringLiteral("abcdefghij\nklmnopqrst"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lineHeight = view.fontMetrics().lineSpacing();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(1, lineHeight / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(390, lineHeight * 1.5), view.viewport()->mapToGlobal(QPointF(390, lineHeight * 1.5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(390, int(lineHeight * 1.5)));
    QCOMPARE(view.selectedText(), QStringLiteral("abcdefghij\nklmnopqrst"));
}

void TestSourceView::hugeSingleLineStaysBrowsable()
{
    SourceView view;
    view.resize(400, 300);
    const QString line = QString(5'000'000, QLatin1Char('a'));
    view.setText(line);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.rowCount(), 5'000'000 / SourceView::maxRowLength);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), line.size());
    QVERIFY(view.firstVisibleRow() > 0);
    QCOMPARE(view.text().size(), line.size());
}

QTEST_MAIN(TestSourceView)
#include "tst_sourceview.moc"
