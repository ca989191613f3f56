#include "QtPageView.h"
#include "SourceView.h"
#include "WindowFont.h"
#include "FindBar.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QtTest>

// The source view as the window's handlers see it: twips, the MouseDown event, the
// plain-text setter.
class TestQtPageView : public QObject
{
    Q_OBJECT

private slots:
    void mouseDownReportsButtonAndKeys_data();
    void mouseDownReportsButtonAndKeys();
    void noBuiltInContextMenu();
    void sizesInTwips();
    void richTextShownAsSource();
    void fieldsTakeTheWindowFont();
};

void TestQtPageView::mouseDownReportsButtonAndKeys_data()
{
    QTest::addColumn<Qt::MouseButton>("qtButton");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("shift");
    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << MouseButton::left << 0;
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers() << MouseButton::right << 0;
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers() << MouseButton::middle << 0;
    QTest::newRow("shift+right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << MouseButton::right
                                 << ShiftState::shift;
    QTest::newRow("ctrl+alt+right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
                                    << MouseButton::right << (ShiftState::ctrl | ShiftState::alt);
}

void TestQtPageView::mouseDownReportsButtonAndKeys()
{
    QFETCH(Qt::MouseButton, qtButton);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    SourceView view;
    QtPageView page(&view);
    view.resize(300, 200);
    page.setText(QStringLiteral("some text\nmore"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&page, &QtPageView::mouseDown);

    const QPoint at(20, 10);
    QTest::mousePress(view.viewport(), qtButton, modifiers, at);
    QTest::mouseRelease(view.viewport(), qtButton, modifiers, at);
    QCOMPARE(spy.size(), 1);
    QTEST(spy.first().at(0).toInt(), "button");
    QTEST(spy.first().at(1).toInt(), "shift");
    // In twips, from the view's own top left (the gutter is part of the view).
    const QPoint inView = view.viewport()->mapTo(&view, at);
    QCOMPARE(qRound(spy.first().at(2).toFloat() * view.logicalDpiX() / 1440.0f), inView.x());
    QCOMPARE(qRound(spy.first().at(3).toFloat() * view.logicalDpiY() / 1440.0f), inView.y());
}

void TestQtPageView::noBuiltInContextMenu()
{
    SourceView view;
    QtPageView page(&view);
    page.setText(QStringLiteral("text"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&page, &QtPageView::mouseDown);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &keyboard);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &mouse);
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(spy.size(), 0);
}

void TestQtPageView::sizesInTwips()
{
    SourceView view;
    QtPageView page(&view);
    view.move(0, 360 * view.logicalDpiY() / 1440);
    const QPoint origin = view.pos();
    page.setHeightTwips(1810.0f);
    page.setWidthTwips(3375.0f);
    QCOMPARE(view.height(), qRound(1810.0 * view.logicalDpiY() / 1440.0));
    QCOMPARE(view.width(), qRound(3375.0 * view.logicalDpiX() / 1440.0));
    QCOMPARE(view.pos(), origin);
    page.setHeightTwips(0.0f);
    QCOMPARE(view.height(), 0);
}

void TestQtPageView::richTextShownAsSource()
{
    SourceView view;
    QtPageView page(&view);
    const QString rtf = QStringLiteral("{\\rtf1\\ansi {\\b bold}}");
    page.setContentType("text/rtf");
    page.setTextRTF(rtf);
    QCOMPARE(view.rowCount(), 1);
    QCOMPARE(view.rowText(0), rtf);
    QCOMPARE(page.text(), rtf);
}

void TestQtPageView::fieldsTakeTheWindowFont()
{
    SourceView view;
    QtPageView page(&view);
    view.setZoom(SourceView::maximumZoom);
    QCOMPARE(view.findBar()->font().pointSizeF(), windowFont().pointSizeF());
    QCOMPARE(view.findBar()->font().bold(), windowFont().bold());
}

QTEST_MAIN(TestQtPageView)
#include "tst_qtpageview.moc"
