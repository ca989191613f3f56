#include "SourceView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

class TestSourceView : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheExactString_data();
    void keepsTheExactString();
    void richTextShownAsSource();
    void mouseDownReportsButtonAndKeys_data();
    void mouseDownReportsButtonAndKeys();
    void rightPressKeepsCaretAndSelection();
    void noBuiltInContextMenu();
    void sizesInTwips();
    void rows_data();
    void rows();
    void keyboardSelectionCopiesTheDocument();
    void mouseDragSelects();
    void hugeSingleLineStaysBrowsable();
};

void TestSourceView::keepsTheExactString_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("no-break space") << QStringLiteral("a\u00A0b");
    QTest::newRow("line and paragraph separators") << QStringLiteral("a\u2028b\u2029c");
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    QTest::newRow("lone CR") << QStringLiteral("a\rb");
    QTest::newRow("empty") << QString();
}

void TestSourceView::keepsTheExactString()
{
    QFETCH(QString, document);
    SourceView view;
    view.setTextRTF(document);
    QCOMPARE(view.text(), document);
    view.setText(QStringLiteral("other"));
    view.setText(document);
    QCOMPARE(view.text(), document);
}

void TestSourceView::richTextShownAsSource()
{
    SourceView view;
    const QString rtf = QStringLiteral("{\\rtf1\\ansi {\\b bold}}");
    view.setTextRTF(rtf);
    QCOMPARE(view.rowCount(), 1);
    QCOMPARE(view.rowText(0), rtf);
    QCOMPARE(view.text(), rtf);
}

void TestSourceView::mouseDownReportsButtonAndKeys_data()
{
    QTest::addColumn<Qt::MouseButton>("qtButton");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("shift");
    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << 1 << 0;
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers() << 2 << 0;
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers() << 4 << 0;
    QTest::newRow("shift+right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << 2 << 1;
    QTest::newRow("ctrl+alt+right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << 2 << 6;
}

void TestSourceView::mouseDownReportsButtonAndKeys()
{
    QFETCH(Qt::MouseButton, qtButton);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    SourceView view;
    view.resize(300, 200);
    view.setText(QStringLiteral("some text\nmore"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &SourceView::mouseDown);

    QTest::mousePress(view.viewport(), qtButton, modifiers, QPoint(20, 10));
    QTest::mouseRelease(view.viewport(), qtButton, modifiers, QPoint(20, 10));
    QCOMPARE(spy.size(), 1);
    QTEST(spy.first().at(0).toInt(), "button");
    QTEST(spy.first().at(1).toInt(), "shift");
    // Positions in twips, relative to the view.
    const float perPixel = 1440.0f / view.logicalDpiX();
    QVERIFY(spy.first().at(2).toFloat() >= 20 * perPixel);
    QVERIFY(spy.first().at(3).toFloat() >= 10 * perPixel);
}

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

void TestSourceView::noBuiltInContextMenu()
{
    SourceView view;
    view.setText(QStringLiteral("text"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &SourceView::mouseDown);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &keyboard);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &mouse);
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(spy.size(), 0);
}

void TestSourceView::sizesInTwips()
{
    SourceView view;
    view.move(0, 360 * view.logicalDpiY() / 1440);
    const QPoint origin = view.pos();
    view.setHeightTwips(1810.0f);
    view.setWidthTwips(3375.0f);
    QCOMPARE(view.height(), qRound(1810.0 * view.logicalDpiY() / 1440.0));
    QCOMPARE(view.width(), qRound(3375.0 * view.logicalDpiX() / 1440.0));
    QCOMPARE(view.pos(), origin);
    view.setHeightTwips(0.0f);
    QCOMPARE(view.height(), 0);
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
