#include "SourceView.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

// The view's keys and mouse as a person uses them, on the widget: at rows cut from a
// long line and at wrapped rows, over clusters, with selections.
class TestCaretKeys : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void ctrlUpDownScrollAndLeaveTheCaret();
    void clickRightOfAWrappedRowStaysOnIt();
    void tripleClickSelectsTheLine();
    void doubleClickDragGrowsByWords();
    void dragPastTheBottomScrolls();
    void shiftClickInTheGutterGrowsTheLines();
    void keyboardSelectionIsOffered();
};

namespace {

const QString cutLine = QString(SourceView::maxRowLength, u'a') + QString(SourceView::maxRowLength, u'b') + QStringLiteral("ccccc");
const QString wrappedLine = QString(300, u'x');

struct Shown
{
    explicit Shown(const QString &text, bool wrap)
    {
        view.resize(320, 200);
        view.setText(text);
        view.setWrapping(wrap);
        view.show();
        view.setFocus();
    }
    SourceView view;
};

// The start of a row of the view as it is laid out: "r1" is where the second row starts,
// "r1+2" two characters on; a plain number is an offset.
qsizetype offsetOf(SourceView &view, const QString &text)
{
    static const QRegularExpression rowRef(QStringLiteral("^r(\\d+)([+-]\\d+)?$"));
    const QRegularExpressionMatch match = rowRef.match(text);
    if (!match.hasMatch())
        return text.toLongLong();
    qsizetype start = 0;
    for (qsizetype row = 0; row < match.captured(1).toLongLong(); ++row)
        start += view.rowText(row).size();
    return start + match.captured(2).toLongLong();
}

// "anchor>caret/row", or "caret/row" with nothing selected; the row is the one the
// caret is drawn on.
QString stateOf(SourceView &view, const QString &expected)
{
    const qsizetype anchor = view.anchor();
    const qsizetype caret = view.cursorPosition();
    QString state = anchor == caret ? QString::number(caret) : QStringLiteral("%1>%2").arg(anchor).arg(caret);
    if (expected.contains(u'/'))
        state += QStringLiteral("/%1").arg(view.caretRow());
    return state;
}

QString resolve(SourceView &view, const QString &expected)
{
    // Row references become offsets, so that the rows a font wraps at are the view's own.
    QString row;
    QString selection = expected;
    if (const qsizetype slash = expected.indexOf(u'/'); slash >= 0) {
        row = expected.mid(slash);
        selection = expected.left(slash);
    }
    const QStringList ends = selection.split(u'>');
    QStringList resolved;
    for (const QString &end : ends)
        resolved << QString::number(offsetOf(view, end));
    return resolved.join(u'>') + row;
}

// False for a key the table does not know.
bool press(QWidget *widget, const QString &key)
{
    static const QHash<QString, Qt::Key> keys = {
        {QStringLiteral("Left"), Qt::Key_Left},   {QStringLiteral("Right"), Qt::Key_Right},
        {QStringLiteral("Up"), Qt::Key_Up},       {QStringLiteral("Down"), Qt::Key_Down},
        {QStringLiteral("Home"), Qt::Key_Home},   {QStringLiteral("End"), Qt::Key_End},
        {QStringLiteral("PgUp"), Qt::Key_PageUp}, {QStringLiteral("PgDn"), Qt::Key_PageDown},
        {QStringLiteral("A"), Qt::Key_A},
    };
    Qt::KeyboardModifiers modifiers;
    QString name = key;
    while (name.size() > 2 && name.at(1) == u'+') {
        modifiers |= name.at(0) == u'S' ? Qt::ShiftModifier : Qt::ControlModifier;
        name = name.mid(2);
    }
    if (!keys.contains(name))
        return false;
    QTest::keyClick(widget, keys.value(name), modifiers);
    return true;
}

} // namespace

void TestCaretKeys::keys_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("start"); // "anchor>caret" or "caret"
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("after"); // the state after each key

    const QString cut = cutLine;
    QTest::newRow("Left at the start of a cut row goes into the row before") << cut << false << u"r1"_qs
            << QStringList{"Left", "Right", "Right"} << QStringList{"r1-1/0", "r1/1", "r1+1/1"};
    QTest::newRow("Shift+Left at the start of a cut row selects") << cut << false << u"r1"_qs
            << QStringList{"S+Left", "S+Left"} << QStringList{"r1>r1-1", "r1>r1-2"};
    QTest::newRow("Ctrl+Left at the start of a cut row goes to the word's start") << cut << false << u"r1"_qs
            << QStringList{"C+Left"} << QStringList{"0/0"};
    QTest::newRow("End on a cut row stays on it, Shift+Home then selects the row") << cut << false << u"5"_qs
            << QStringList{"End", "End", "S+Home"} << QStringList{"r1/0", "r1/0", "r1>0/0"};
    QTest::newRow("End then Down on cut rows goes one row down") << cut << false << u"5"_qs
            << QStringList{"End", "Down", "Down", "Up"} << QStringList{"r1/0", "r2/1", "r2+5/2", "r2/1"};
    QTest::newRow("Home from the end of a cut row goes to its start") << cut << false << u"5"_qs
            << QStringList{"End", "Home", "Down", "Home"} << QStringList{"r1/0", "0/0", "r1/1", "r1/1"};

    const QString wrapped = wrappedLine;
    QTest::newRow("Left at the start of a wrapped row goes into the row before") << wrapped << true << u"r1"_qs
            << QStringList{"Left", "Right"} << QStringList{"r1-1/0", "r1/1"};
    QTest::newRow("End on a wrapped row stays on it, Shift+Home then selects the row") << wrapped << true << u"3"_qs
            << QStringList{"End", "S+Home"} << QStringList{"r1/0", "r1>0/0"};
    QTest::newRow("End then Down on wrapped rows goes one row down") << wrapped << true << u"3"_qs
            << QStringList{"End", "Down", "Up", "Up"} << QStringList{"r1/0", "r2/1", "r1/0", "0/0"};

    const QString clusters = u"ae\u0301b👍🏽c🇩🇪d"_qs;
    QTest::newRow("a letter and its accent are one press") << clusters << false << u"1"_qs
            << QStringList{"Right", "Left", "S+Right"} << QStringList{"3", "1", "1>3"};
    QTest::newRow("an emoji with its skin tone is one press") << clusters << false << u"4"_qs
            << QStringList{"Right", "Left"} << QStringList{"8", "4"};
    QTest::newRow("a flag is one press") << clusters << false << u"9"_qs
            << QStringList{"Right", "Left", "Left"} << QStringList{"13", "9", "8"};

    const QString words = u"abc def\nghi"_qs;
    QTest::newRow("Left ends a selection at its start") << words << false << u"1>5"_qs
            << QStringList{"Left"} << QStringList{"1"};
    QTest::newRow("Right ends a selection at its end") << words << false << u"5>1"_qs
            << QStringList{"Right"} << QStringList{"5"};
    QTest::newRow("Up on the first row goes to the start, Down on the last to the end") << words << false << u"2"_qs
            << QStringList{"Up", "Down", "Down", "Down"} << QStringList{"0", "8", "11", "11"};
    QTest::newRow("Shift+Up and Shift+Down select to the ends") << words << false << u"2"_qs
            << QStringList{"S+Up", "S+Down", "S+Down"} << QStringList{"2>0", "2>8", "2>11"};
    QTest::newRow("Ctrl+Right and Ctrl+Left go by words, Ctrl+Shift selects") << words << false << u"0"_qs
            << QStringList{"C+Right", "C+Right", "S+C+Left"} << QStringList{"4", "7", "7>4"};
    QTest::newRow("Ctrl+End, Ctrl+Home and Ctrl+A") << words << false << u"2"_qs
            << QStringList{"C+End", "S+C+Home", "C+A"} << QStringList{"11", "11>0", "0>11"};
}

void TestCaretKeys::keys()
{
    QFETCH(QString, document);
    QFETCH(bool, wrap);
    QFETCH(QString, start);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, after);

    Shown shown(document, wrap);
    SourceView &view = shown.view;
    if (wrap)
        QVERIFY2(view.rowCount() > 2, "the line wraps into several rows");
    const QStringList ends = start.split(u'>');
    view.setSelection(offsetOf(view, ends.first()), offsetOf(view, ends.last()));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        QVERIFY2(press(&view, keys.at(i)), qPrintable(keys.at(i)));
        QCOMPARE(QStringLiteral("%1: %2").arg(keys.at(i), stateOf(view, after.at(i))),
                 QStringLiteral("%1: %2").arg(keys.at(i), resolve(view, after.at(i))));
    }
}

void TestCaretKeys::ctrlUpDownScrollAndLeaveTheCaret()
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("line %1").arg(i);
    Shown shown(lines.join(u'\n'), false);
    shown.view.setSelection(3, 3);
    QTest::keyClick(&shown.view, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(&shown.view, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(shown.view.firstVisibleRow(), 2);
    QCOMPARE(shown.view.cursorPosition(), 3);
    QTest::keyClick(&shown.view, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(shown.view.firstVisibleRow(), 1);
    QCOMPARE(shown.view.cursorPosition(), 3);
}

void TestCaretKeys::clickRightOfAWrappedRowStaysOnIt()
{
    Shown shown(wrappedLine, true);
    QVERIFY(QTest::qWaitForWindowExposed(&shown.view));
    QWidget *viewport = shown.view.viewport();
    const int row = shown.view.lineHeight();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 1, row / 2));
    QCOMPARE(shown.view.cursorPosition(), shown.view.rowText(0).size());
    QCOMPARE(shown.view.caretRow(), 0);
    // Shift+Home from there selects the row clicked, not nothing.
    QTest::keyClick(&shown.view, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(shown.view.selectedText(), shown.view.rowText(0));
}

void TestCaretKeys::tripleClickSelectsTheLine()
{
    Shown shown(u"first line\nsecond line\r\nthird"_qs, false);
    QVERIFY(QTest::qWaitForWindowExposed(&shown.view));
    const QPoint onSecond(30, shown.view.lineHeight() * 3 / 2);
    QTest::mouseDClick(shown.view.viewport(), Qt::LeftButton, {}, onSecond);
    QCOMPARE(shown.view.selectedText(), u"second"_qs);
    QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {}, onSecond);
    QCOMPARE(shown.view.selectedText(), u"second line\r\n"_qs);
    // A fourth click is a click again.
    QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {}, onSecond);
    QVERIFY(shown.view.selectedText().isEmpty());
}

void TestCaretKeys::doubleClickDragGrowsByWords()
{
    Shown shown(u"alpha beta gamma delta"_qs, false);
    QVERIFY(QTest::qWaitForWindowExposed(&shown.view));
    const QRectF beta = shown.view.characterRect(7);
    const QRectF gamma = shown.view.characterRect(13);
    QWidget *viewport = shown.view.viewport();
    // mouseDClick ends with the button up; a press on the same spot straight after a
    // double-click would be a triple-click, so the drag starts from a double-click event.
    QMouseEvent press(QEvent::MouseButtonPress, beta.center(), viewport->mapToGlobal(beta.center()), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &press);
    QMouseEvent twice(QEvent::MouseButtonDblClick, beta.center(), viewport->mapToGlobal(beta.center()), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &twice);
    QCOMPARE(shown.view.selectedText(), u"beta"_qs);
    QMouseEvent drag(QEvent::MouseMove, gamma.center(), viewport->mapToGlobal(gamma.center()), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drag);
    QCOMPARE(shown.view.selectedText(), u"beta gamma"_qs);
}

void TestCaretKeys::dragPastTheBottomScrolls()
{
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("line %1").arg(i);
    Shown shown(lines.join(u'\n'), false);
    QVERIFY(QTest::qWaitForWindowExposed(&shown.view));
    QWidget *viewport = shown.view.viewport();
    auto *timer = shown.view.findChild<QTimer *>(QStringLiteral("autoScroll"));
    QVERIFY(timer);
    const int visible = viewport->height() / shown.view.lineHeight();

    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, 2));
    QTest::mouseMove(viewport, QPoint(20, viewport->height() + 20));
    QVERIFY(timer->isActive());
    // The view scrolls on while the button is held below it, and the selection with it.
    QTRY_VERIFY(shown.view.firstVisibleRow() >= 3);
    QVERIFY(shown.view.cursorPosition() > shown.view.text().indexOf(QStringLiteral("line %1").arg(visible)));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() + 20));
    QVERIFY(!timer->isActive());
    QCOMPARE(shown.view.anchor(), 0);

    // Back inside, the scrolling stops.
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, 2));
    QTest::mouseMove(viewport, QPoint(20, -10));
    QVERIFY(timer->isActive());
    QTest::mouseMove(viewport, QPoint(20, 10));
    QVERIFY(!timer->isActive());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, 10));
}

void TestCaretKeys::shiftClickInTheGutterGrowsTheLines()
{
    Shown shown(u"one\ntwo\nthree\nfour\nfive"_qs, false);
    QVERIFY(QTest::qWaitForWindowExposed(&shown.view));
    QWidget *gutter = nullptr;
    for (QWidget *child : shown.view.findChildren<QWidget *>()) {
        if (child->metaObject()->className() == QByteArrayLiteral("LineNumberGutter"))
            gutter = child;
    }
    QVERIFY(gutter);
    const int row = shown.view.lineHeight();
    QTest::mouseClick(gutter, Qt::LeftButton, {}, QPoint(2, row + row / 2));
    QCOMPARE(shown.view.selectedText(), u"two\n"_qs);
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 3 * row + row / 2));
    QCOMPARE(shown.view.selectedText(), u"two\nthree\nfour\n"_qs);
    // Upwards from the same line, after a selection made downwards.
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, row / 2));
    QCOMPARE(shown.view.selectedText(), u"one\ntwo\n"_qs);
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 4 * row + row / 2));
    QCOMPARE(shown.view.selectedText(), u"two\nthree\nfour\nfive"_qs);
}

void TestCaretKeys::keyboardSelectionIsOffered()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        QSKIP("this platform has no primary selection");
    Shown shown(u"abc def"_qs, false);
    clipboard->setText(QString(), QClipboard::Selection);
    QTest::keyClick(&shown.view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    QTRY_COMPARE(clipboard->text(QClipboard::Selection), u"abc "_qs);
    QTest::keyClick(&shown.view, Qt::Key_A, Qt::ControlModifier);
    QTRY_COMPARE(clipboard->text(QClipboard::Selection), u"abc def"_qs);
}

QTEST_MAIN(TestCaretKeys)
#include "tst_caretkeys.moc"
