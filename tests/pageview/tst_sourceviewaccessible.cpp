#include "SourceView.h"
#include "SourceViewAccessible.h"

#include <QAccessible>
#include <QtTest>

namespace {

const QString smile = QStringLiteral("\U0001F600");

} // namespace

class TestSourceViewAccessible : public QObject
{
    Q_OBJECT

private slots:
    void reportsANewDocument_data();
    void reportsANewDocument();
    void reportsCaretAndSelection_data();
    void reportsCaretAndSelection();
    void readsLines_data();
    void readsLines();
};

void TestSourceViewAccessible::reportsANewDocument_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("type"); // 0: nothing reported
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("inserted");

    const QString huge = QString(300000, u'a') + QStringLiteral("\r\nend");
    const QString head = huge.first(SourceViewAccessible::reportedLength);
    QTest::newRow("a first page is an insertion") << QString() << QStringLiteral("<p>")
                                                  << int(QAccessible::TextInserted) << QString() << QStringLiteral("<p>");
    QTest::newRow("a cleared page is a removal") << QStringLiteral("<p>") << QString() << int(QAccessible::TextRemoved)
                                                 << QStringLiteral("<p>") << QString();
    QTest::newRow("another page replaces the old one") << QStringLiteral("<p>") << QStringLiteral("<b>")
                                                       << int(QAccessible::TextUpdated) << QStringLiteral("<p>")
                                                       << QStringLiteral("<b>");
    QTest::newRow("a huge page is reported by its beginning")
        << QString() << huge << int(QAccessible::TextInserted) << QString() << head;
    QTest::newRow("a huge page is removed as it was reported")
        << huge << QString() << int(QAccessible::TextRemoved) << head << QString();
    QTest::newRow("the beginning never ends in half a pair")
        << QString() << QString(SourceViewAccessible::reportedLength - 1, u'x') + smile + QStringLiteral("y")
        << int(QAccessible::TextInserted) << QString() << QString(SourceViewAccessible::reportedLength - 1, u'x');
    QTest::newRow("nothing to tell when nothing was and nothing is") << QString() << QString() << 0 << QString()
                                                                    << QString();
}

void TestSourceViewAccessible::reportsANewDocument()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, type);
    SourceView view;
    view.setText(before);
    // A reader that looks at the view learns what it shows.
    QVERIFY(QAccessible::queryAccessibleInterface(&view));
    view.setText(after);
    const std::unique_ptr<QAccessibleEvent> event = SourceViewAccessible::textReplacedEvent(&view);
    if (type == 0) {
        QVERIFY(!event);
        return;
    }
    QVERIFY(event);
    QCOMPARE(int(event->type()), type);
    // Qt's bridge reads the event as the class its kind promises.
    QString removed;
    QString inserted;
    if (auto *e = dynamic_cast<QAccessibleTextInsertEvent *>(event.get()); e && type == QAccessible::TextInserted)
        inserted = e->textInserted();
    else if (auto *e = dynamic_cast<QAccessibleTextRemoveEvent *>(event.get()); e && type == QAccessible::TextRemoved)
        removed = e->textRemoved();
    else if (auto *e = dynamic_cast<QAccessibleTextUpdateEvent *>(event.get()); e && type == QAccessible::TextUpdated)
        std::tie(removed, inserted) = std::pair(e->textRemoved(), e->textInserted());
    else
        QFAIL("the event is not of the class its kind promises");
    QTEST(removed, "removed");
    QTEST(inserted, "inserted");
}

void TestSourceViewAccessible::reportsCaretAndSelection_data()
{
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::newRow("forwards: the caret at the end") << 3 << 14 << 3 << 14;
    QTest::newRow("backwards: the selection still from its start") << 14 << 3 << 3 << 14;
    QTest::newRow("no selection: an empty one at the caret") << 5 << 5 << 5 << 5;
    QTest::newRow("past the end: at the end") << 0 << 999 << 0 << 22;
}

void TestSourceViewAccessible::reportsCaretAndSelection()
{
    QFETCH(int, anchor);
    QFETCH(int, cursor);
    SourceView view;
    view.setText(QStringLiteral("<p>one</p>\r\n<p>two</p>"));
    view.setSelection(anchor, cursor);
    const auto caret = SourceViewAccessible::caretMovedEvent(&view);
    QCOMPARE(caret->type(), QAccessible::TextCaretMoved);
    QCOMPARE(caret->cursorPosition(), int(view.cursorPosition()));
    const auto selection = SourceViewAccessible::selectionChangedEvent(&view);
    QCOMPARE(selection->type(), QAccessible::TextSelectionChanged);
    QTEST(selection->selectionStart(), "start");
    QTEST(selection->selectionEnd(), "end");
    QCOMPARE(selection->cursorPosition(), int(view.cursorPosition()));
}

void TestSourceViewAccessible::readsLines_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    const int row = int(SourceView::maxRowLength);
    QTest::newRow("a line ends after its LF") << QStringLiteral("ab\ncd") << 1 << 0 << 3;
    QTest::newRow("the LF of a CR LF belongs to the line it ends") << QStringLiteral("ab\r\ncd") << 3 << 0 << 4;
    QTest::newRow("a lone CR ends a line") << QStringLiteral("ab\rcd") << 3 << 3 << 5;
    QTest::newRow("a final line break leaves an empty last line") << QStringLiteral("ab\n") << 3 << 3 << 3;
    QTest::newRow("an empty document has one empty line") << QString() << 0 << 0 << 0;
    QTest::newRow("past the end is the last line") << QStringLiteral("ab\ncd") << 99 << 3 << 5;
    QTest::newRow("a long line reads in rows as the view shows it") << QString(3 * row, u'x') << row + 5 << row << 2 * row;
    QTest::newRow("a long line's last row keeps the line break")
        << QString(2 * row + 10, u'x') + QStringLiteral("\r\nz") << 2 * row + 3 << 2 * row << 2 * row + 12;
    QTest::newRow("a row never ends in half a pair")
        << QString(row - 1, u'x') + smile + QStringLiteral("yz") << row << row - 1 << row + 3;
    QTest::newRow("lines far into the document are found")
        << QStringLiteral("a\n").repeated(100000) + QStringLiteral("last") << 200002 << 200000 << 200004;
}

void TestSourceViewAccessible::readsLines()
{
    QFETCH(QString, document);
    QFETCH(int, offset);
    SourceView view;
    view.setText(document);
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    QVERIFY(text);
    int start = -1;
    int end = -1;
    const QString line = text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
    QTEST(start, "start");
    QTEST(end, "end");
    QCOMPARE(line, document.mid(start, end - start));
}

QTEST_MAIN(TestSourceViewAccessible)
#include "tst_sourceviewaccessible.moc"
