#include "ContextMenu.h"
#include "Fakes.h"
#include "QtClipboard.h"
#include "QtPageView.h"
#include "SourceView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

class TestContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void onlyRightPressOpensMenu_data();
    void onlyRightPressOpensMenu();
    void copyReplacesClipboardWithWholeText_data();
    void copyReplacesClipboardWithWholeText();
    void copyOnRealClipboardLeavesOnlyText();
    void clearEmptiesOnlyTheView();
};

void TestContextMenu::onlyRightPressOpensMenu_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("shown");
    QTest::newRow("right") << 2 << 0 << 1;
    QTest::newRow("shift+right") << 2 << 1 << 1;
    QTest::newRow("ctrl+right") << 2 << 2 << 1;
    QTest::newRow("alt+right") << 2 << 4 << 1;
    QTest::newRow("ctrl+alt+shift+right") << 2 << 7 << 1;
    QTest::newRow("left") << 1 << 0 << 0;
    QTest::newRow("middle") << 4 << 0 << 0;
    QTest::newRow("shift+left") << 1 << 1 << 0;
}

void TestContextMenu::onlyRightPressOpensMenu()
{
    QFETCH(int, button);
    QFETCH(int, shift);
    FakePopupMenu popup;
    rchtxtHTML_MouseDown(button, shift, 100.0f, 200.0f, popup);
    QTEST(popup.shown, "shown");
}

void TestContextMenu::copyReplacesClipboardWithWholeText_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("page") << QStringLiteral("<html>\n<body>x</body>\n</html>\n");
    QTest::newRow("empty view") << QString();
    QTest::newRow("CR LF, no-break space, line separator, NUL")
        << QStringLiteral("a\r\nb\u00A0c\u2028d") + QChar(0) + QStringLiteral("e");
}

void TestContextMenu::copyReplacesClipboardWithWholeText()
{
    QFETCH(QString, document);
    FakeClipboard clipboard;
    clipboard.text = QStringLiteral("what the clipboard held before");
    FakePageView view;
    view.document = document;

    Copy_Click(clipboard, view);
    QCOMPARE(clipboard.text, document);
    // The view keeps its text.
    QCOMPARE(view.document, document);
}

void TestContextMenu::copyOnRealClipboardLeavesOnlyText()
{
    auto *image = new QMimeData;
    image->setImageData(QImage(4, 4, QImage::Format_RGB32));
    image->setData(QStringLiteral("application/x-other"), "x");
    QGuiApplication::clipboard()->setMimeData(image);

    SourceView widget;
    QtPageView view(&widget);
    const QString document = QStringLiteral("line 1\r\nline\u00A02\u2028end");
    view.setTextRTF(document);
    QtClipboard clipboard;
    Copy_Click(clipboard, view);

    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QVERIFY(!data->hasImage());
    QVERIFY(!data->hasFormat(QStringLiteral("application/x-other")));
    QCOMPARE(QGuiApplication::clipboard()->text(), document);

    FakeStatusBar status;
    Clear_Click(view, status);
    Copy_Click(clipboard, view);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TestContextMenu::clearEmptiesOnlyTheView()
{
    FakePageView view;
    view.document = QStringLiteral("page");
    FakeStatusBar status;
    status.simple = QStringLiteral("complete!");
    status.details = QStringLiteral("Address: http://example.com/");
    Clear_Click(view, status);
    QCOMPARE(view.document, QString());
    // The details of the document go with it; the status text stays.
    QCOMPARE(status.details, QString());
    QCOMPARE(status.simple, QStringLiteral("complete!"));
    QVERIFY(status.history.isEmpty());
    Clear_Click(view, status);
    QCOMPARE(view.document, QString());
}

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
