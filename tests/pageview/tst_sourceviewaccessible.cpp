#include "LineWrapping.h"
#include "SourceView.h"
#include "SourceViewAccessible.h"

#include <QAccessible>
#include <QtTest>

namespace {

const QString smile = QStringLiteral("\U0001F600");
const QString flag = QStringLiteral("\U0001F1EB\U0001F1F7");

using Piece = std::pair<int, int>;

// The pieces a reader gets line by line, worked out the long way: the document split
// at every line break, each line with its break, a longer one cut into rows from its
// start. After a final line break comes an empty last line.
QList<Piece> referencePieces(const QString &document)
{
    QList<Piece> pieces;
    qsizetype start = 0;
    for (;;) {
        qsizetype textEnd = start;
        while (textEnd < document.size() && document[textEnd] != u'\n' && document[textEnd] != u'\r')
            ++textEnd;
        qsizetype next = textEnd;
        if (next < document.size())
            next += QStringView(document).sliced(next).startsWith(u"\r\n") ? 2 : 1;
        const QStringView text = QStringView(document).sliced(start, textEnd - start);
        for (qsizetype pieceStart = 0;;) {
            const qsizetype pieceEnd = LineWrapping::fixedRowEnd(text, pieceStart, SourceView::maxRowLength);
            if (pieceEnd >= text.size()) {
                pieces.append({int(start + pieceStart), int(next)});
                break;
            }
            pieces.append({int(start + pieceStart), int(start + pieceEnd)});
            pieceStart = pieceEnd;
        }
        if (textEnd == document.size())
            return pieces;
        start = next;
    }
}

// The piece that holds offset: the end of the document is in the last.
Piece referencePieceAt(const QList<Piece> &pieces, int offset)
{
    for (const Piece &piece : pieces) {
        if (piece.first <= offset && offset < piece.second)
            return piece;
    }
    return pieces.last();
}

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
    void readsEveryLineAsTheDocumentHasIt_data();
    void readsEveryLineAsTheDocumentHasIt();
    void keepsNoPageOfItsOwn_data();
    void keepsNoPageOfItsOwn();
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
    QTest::newRow("an offset on the CR of a CR LF is in the line it ends") << QStringLiteral("ab\r\ncd") << 2 << 0 << 4;
    QTest::newRow("an empty line of CR LF, on its LF") << QStringLiteral("a\r\n\r\nb") << 4 << 3 << 5;
    QTest::newRow("a first line with no break is the whole document") << QStringLiteral("abc") << 1 << 0 << 3;
    QTest::newRow("a letter keeps its accent at a row's edge")
        << QString(row - 1, u'x') + QStringLiteral("e\u0301yz") << row << row - 1 << row + 3;
    QTest::newRow("a flag stays whole at a row's edge")
        << QString(row - 2, u'x') + flag + QStringLiteral("z") << row - 1 << row - 2 << row + 3;
    QTest::newRow("a row deep into a 5 MB line") << QString(5'000'000, u'x') + QStringLiteral("\n") << 4'999'999
                                                 << 4'998'000 << 5'000'001;
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

void TestSourceViewAccessible::readsEveryLineAsTheDocumentHasIt_data()
{
    QTest::addColumn<QString>("document");

    const int row = int(SourceView::maxRowLength);
    QTest::newRow("LF, with empty lines and a final break") << QStringLiteral("<p>\none\n\ntwo\n");
    QTest::newRow("CR LF, with an empty line") << QStringLiteral("a\r\nbc\r\n\r\nd");
    QTest::newRow("lone CRs, one at the end") << QStringLiteral("a\rbc\r\rd\r");
    QTest::newRow("CR CR LF and LF CR") << QStringLiteral("a\r\r\nb\n\rc\r\n");
    QTest::newRow("no final break") << QStringLiteral("one\ntwo");
    QTest::newRow("nothing but line breaks") << QStringLiteral("\n\r\n\r\n\n\r");
    QTest::newRow("the empty document") << QString();
    QTest::newRow("a 5,000-character line and a CR LF") << QString(5000, u'x') + QStringLiteral("\r\nnext");
    QTest::newRow("a 5,000-character line between short ones")
        << QStringLiteral("a\n") + QString(5000, u'x') + QStringLiteral("\n") + QString(4500, u'y');
    QTest::newRow("a line of exactly a row, then one of a row and one")
        << QString(row, u'x') + QStringLiteral("\r\n") + QString(row + 1, u'y') + QStringLiteral("\r\nz");
    QTest::newRow("surrogate pairs at the rows' edges")
        << QString(row - 1, u'x') + smile + QString(row - 3, u'x') + smile + QString(100, u'x') + QStringLiteral("\n");
    QTest::newRow("clusters at the rows' edges")
        << QString(row - 1, u'x') + QStringLiteral("e\u0301") + QString(row - 3, u'x') + flag + QStringLiteral("\rz");
}

void TestSourceViewAccessible::readsEveryLineAsTheDocumentHasIt()
{
    QFETCH(QString, document);
    SourceView view;
    view.setText(document);
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    QVERIFY(text);
    const QList<Piece> pieces = referencePieces(document);
    for (int offset = 0; offset <= document.size(); ++offset) {
        const Piece expected = referencePieceAt(pieces, offset);
        for (const auto type : {QAccessible::LineBoundary, QAccessible::ParagraphBoundary}) {
            Piece got;
            const QString line = text->textAtOffset(offset, type, &got.first, &got.second);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("at %1: %2-%3, not %4-%5").arg(offset).arg(got.first).arg(got.second)
                                     .arg(expected.first).arg(expected.second)));
            QCOMPARE(line, document.mid(got.first, got.second - got.first));
        }
    }
    // A reader stepping line by line meets every piece that has text, in order, both ways.
    QList<Piece> withText;
    for (const Piece &piece : pieces) {
        if (piece.first < piece.second)
            withText.append(piece);
    }
    QList<Piece> forwards;
    Piece at;
    text->textAtOffset(0, QAccessible::LineBoundary, &at.first, &at.second);
    for (; at.first >= 0 && forwards.size() <= pieces.size(); text->textAfterOffset(at.first, QAccessible::LineBoundary, &at.first, &at.second)) {
        if (at.first < at.second)
            forwards.append(at);
    }
    QCOMPARE(forwards, withText);
    QList<Piece> backwards;
    text->textAtOffset(int(document.size()), QAccessible::LineBoundary, &at.first, &at.second);
    for (; at.first >= 0 && backwards.size() <= pieces.size(); text->textBeforeOffset(at.first, QAccessible::LineBoundary, &at.first, &at.second)) {
        if (at.first < at.second)
            backwards.prepend(at);
    }
    QCOMPARE(backwards, withText);
}

void TestSourceViewAccessible::keepsNoPageOfItsOwn_data()
{
    QTest::addColumn<int>("type");

    QTest::newRow("after a line was read") << int(QAccessible::LineBoundary);
    QTest::newRow("after a paragraph was read") << int(QAccessible::ParagraphBoundary);
    QTest::newRow("after a word was read") << int(QAccessible::WordBoundary);
}

void TestSourceViewAccessible::keepsNoPageOfItsOwn()
{
    QFETCH(int, type);
    QString page = QStringLiteral("<p>one two</p>\r\n").repeated(1000);
    SourceView view;
    view.setText(page);
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    QVERIFY(text);
    int start = -1;
    int end = -1;
    QVERIFY(!text->textAtOffset(int(page.size()) - 5, QAccessible::TextBoundaryType(type), &start, &end).isEmpty());
    // Whether or not a reader is listening, a page the view lets go of is let go of:
    // the reader's requests leave no copy of it (nor an index of its lines) behind.
    view.setText(QStringLiteral("<p>"));
    QVERIFY(page.isDetached());
}

QTEST_MAIN(TestSourceViewAccessible)
#include "tst_sourceviewaccessible.moc"
