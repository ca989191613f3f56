#include "QtPageView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

class TestPageView : public QObject
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
};

void TestPageView::keepsTheExactString_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("no-break space") << QStringLiteral("a\u00A0b");
    QTest::newRow("line and paragraph separators") << QStringLiteral("a\u2028b\u2029c");
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    QTest::newRow("lone CR") << QStringLiteral("a\rb");
    QTest::newRow("empty") << QString();
}

void TestPageView::keepsTheExactString()
{
    QFETCH(QString, document);
    QtPageView view;
    view.setTextRTF(document);
    QCOMPARE(view.text(), document);
    view.setText(QStringLiteral("other"));
    view.setText(document);
    QCOMPARE(view.text(), document);
}

void TestPageView::richTextShownAsSource()
{
    QtPageView view;
    const QString rtf = QStringLiteral("{\\rtf1\\ansi {\\b bold}}");
    view.setTextRTF(rtf);
    QCOMPARE(view.toPlainText(), rtf);
    QCOMPARE(view.text(), rtf);
}

void TestPageView::mouseDownReportsButtonAndKeys_data()
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

void TestPageView::mouseDownReportsButtonAndKeys()
{
    QFETCH(Qt::MouseButton, qtButton);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QtPageView view;
    view.resize(300, 200);
    view.setText(QStringLiteral("some text\nmore"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &QtPageView::mouseDown);

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

void TestPageView::rightPressKeepsCaretAndSelection()
{
    QtPageView view;
    view.resize(300, 200);
    view.setText(QStringLiteral("first line of the page\nsecond line of the page\nthird"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(2);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);

    QTest::mousePress(view.viewport(), Qt::RightButton, {}, QPoint(100, 30));
    QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, QPoint(100, 30));
    QCOMPARE(view.textCursor().anchor(), 2);
    QCOMPARE(view.textCursor().position(), 8);

    // A left press still does what a text view does.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!view.textCursor().hasSelection());
}

void TestPageView::noBuiltInContextMenu()
{
    QtPageView view;
    view.setText(QStringLiteral("text"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &QtPageView::mouseDown);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &keyboard);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &mouse);
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(spy.size(), 0);
    QCOMPARE(view.contextMenuPolicy(), Qt::PreventContextMenu);
}

void TestPageView::sizesInTwips()
{
    QtPageView view;
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

QTEST_MAIN(TestPageView)
#include "tst_pageview.moc"
