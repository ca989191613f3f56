// Colouring rows with HTML's tokenizer, and the parse errors the view marks, explains,
// counts and visits.

#include "DocumentDetails.h"
#include "MarkupColouring.h"
#include "SourceView.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// One letter per character: t text, T tag, N attribute name, V value, C comment,
// D doctype, R reference, X CDATA; inside a stylesheet of the page, s selector, a
// at-rule, p property, v value, c comment, q string, n number, h hash, f function, u url.
QString letters(const QList<MarkupSpan> &spans)
{
    QString result;
    for (const MarkupSpan &span : spans)
        result += QString(span.length, QLatin1Char("tTNVCDRPXsapvcqnhfu"[int(span.role)]));
    return result;
}

void waitForScan(MarkupColouring &colouring, qsizetype size)
{
    QTRY_VERIFY(colouring.isReadyAt(size));
}

} // namespace

class TestMarkupColouring : public QObject
{
    Q_OBJECT

private slots:
    void rolesWholeAndCut_data();
    void rolesWholeAndCut();
    void errorMarks_data();
    void errorMarks();
    void errorsCountedAndVisitedAcrossCheckpoints();
    void duplicateAcrossCheckpoint_data();
    void duplicateAcrossCheckpoint();
    void viewKeysTipsAndToggle();
    void countInDetails_data();
    void countInDetails();
};

void TestMarkupColouring::rolesWholeAndCut_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("roles");
    QTest::newRow("doctype, attributes with quotes, a reference in a value and in text")
        << QStringLiteral("<!DOCTYPE html><a href=\"x?a=1&amp;b\">T&lt;</a>")
        << QStringLiteral("DDDDDDDDDDDDDDDTTTNNNNTVVVVVVRRRRRVVTtRRRRTTTT");
    QTest::newRow("script is raw text up to its end tag")
        << QStringLiteral("<script>a<b</script>") << QStringLiteral("TTTTTTTTtttTTTTTTTTT");
    QTest::newRow("style raw text (a stylesheet) at svg's title, markup in svg itself")
        << QStringLiteral("<svg><title><style><b></style></title><style><b></style></svg>")
        << QStringLiteral("TTTTTTTTTTTTTTTTTTTsssTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT");
    QTest::newRow("script raw text in foreignObject")
        << QStringLiteral("<svg><foreignObject><script>x<y</script></foreignObject></svg>")
        << QStringLiteral("TTTTTTTTTTTTTTTTTTTTTTTTTTTTtttTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT");
    QTest::newRow("CDATA in svg") << QStringLiteral("<svg><![CDATA[a<b]]></svg>")
                                  << QStringLiteral("TTTTTXXXXXXXXXXXXXXXTTTTTT");
    QTest::newRow("CDATA outside foreign content is a comment") << QStringLiteral("<![CDATA[x]]>a")
                                                                 << QStringLiteral("CCCCCCCCCCCCCt");
    QTest::newRow("title: references, no tags") << QStringLiteral("<title>&amp;<b></title>")
                                                << QStringLiteral("TTTTTTTRRRRRtttTTTTTTTT");
    QTest::newRow("a comment that does not end at -- >") << QStringLiteral("<!-- c -- ><p>")
                                                          << QStringLiteral("CCCCCCCCCCCCCC");
    QTest::newRow("unquoted values, a legacy reference, a tag cut by the end")
        << QStringLiteral("<div a=1 b=\"2\"c>&notit; &#0;</div")
        << QStringLiteral("TTTTTNTVTNTVVVNTRRRRttttRRRRTTTTT");
    QTest::newRow("a reference in an attribute stays text where HTML keeps it")
        << QStringLiteral("<a b=\"&noti;\">") << QStringLiteral("TTTNTVVVVVVVVT");
}

void TestMarkupColouring::rolesWholeAndCut()
{
    QFETCH(QString, document);
    QFETCH(QString, roles);
    MarkupColouring whole;
    whole.reset(document, MarkupSyntax::Html);
    waitForScan(whole, document.size());
    QCOMPARE(letters(whole.spans(0, document.size())), roles);
    // Cut anywhere, as rows are: the first piece then the second going on from its
    // state, and the second alone from the checkpoint.
    for (qsizetype cut = 1; cut < document.size(); ++cut) {
        MarkupColouring pieces;
        pieces.reset(document, MarkupSyntax::Html);
        waitForScan(pieces, document.size());
        const QString second = letters(pieces.spans(cut, document.size()));
        QCOMPARE(letters(pieces.spans(0, cut)) + letters(pieces.spans(cut, document.size())), roles);
        QCOMPARE(second, roles.mid(cut));
    }
}

void TestMarkupColouring::errorMarks_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("end");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("cut");
    QTest::newRow("duplicate attribute: its name marked and named")
        << QStringLiteral("<p class=a CLASS=b>") << qsizetype(11) << qsizetype(16)
        << QStringLiteral("Duplicate attribute “CLASS”: browsers keep the first") << qsizetype(1);
    // A row that starts inside a tag knows the names before its start.
    QTest::newRow("duplicate attribute, a row cut between the two")
        << QStringLiteral("<p class=a CLASS=b>") << qsizetype(11) << qsizetype(16)
        << QStringLiteral("Duplicate attribute “CLASS”: browsers keep the first") << qsizetype(11);
    QTest::newRow("duplicate attribute, a row cut inside the first's value")
        << QStringLiteral("<p class=\"a b\" id=x CLASS=b>") << qsizetype(20) << qsizetype(25)
        << QStringLiteral("Duplicate attribute “CLASS”: browsers keep the first") << qsizetype(11);
    QTest::newRow("duplicate attribute, a row cut at a newline inside the tag")
        << QStringLiteral("<p class=a\nCLASS=b>") << qsizetype(11) << qsizetype(16)
        << QStringLiteral("Duplicate attribute “CLASS”: browsers keep the first") << qsizetype(11);
    QTest::newRow("duplicate attribute, a row cut after a reference in a value")
        << QStringLiteral("<p title=\"&lt;\"\nTITLE=x>") << qsizetype(16) << qsizetype(21)
        << QStringLiteral("Duplicate attribute “TITLE”: browsers keep the first") << qsizetype(16);
    QTest::newRow("end of file in a comment: the last character")
        << QStringLiteral("<!-- open") << qsizetype(8) << qsizetype(9) << QStringLiteral("End of file inside a comment")
        << qsizetype(8);
    const QString longName = QStringLiteral("n").repeated(50);
    QTest::newRow("a long name from the page is cut short")
        << QStringLiteral("<p %1=1 %1=2>").arg(longName) << qsizetype(56) << qsizetype(106)
        << QStringLiteral("Duplicate attribute “%1…”: browsers keep the first").arg(longName.left(40)) << qsizetype(2);
    QTest::newRow("missing semicolon, under the character after the name, a row cut there")
        << QStringLiteral("a &amp b") << qsizetype(6) << qsizetype(7)
        << QStringLiteral("Character reference without its closing “;”") << qsizetype(6);
    QTest::newRow("missing semicolon, a row cut inside the reference")
        << QStringLiteral("a &amp b") << qsizetype(6) << qsizetype(7)
        << QStringLiteral("Character reference without its closing “;”") << qsizetype(4);
    QTest::newRow("CDATA in HTML") << QStringLiteral("<![CDATA[x]]>") << qsizetype(8) << qsizetype(9)
                                   << QStringLiteral("CDATA section outside svg or math: browsers read it as a comment")
                                   << qsizetype(8);
}

void TestMarkupColouring::errorMarks()
{
    QFETCH(QString, document);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, end);
    QFETCH(QString, text);
    QFETCH(qsizetype, cut);
    MarkupColouring colouring;
    colouring.reset(document, MarkupSyntax::Html);
    waitForScan(colouring, document.size());
    QList<ParseErrorMark> marks;
    colouring.spans(0, document.size(), &marks);
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].start, start);
    QCOMPARE(marks[0].end, end);
    QCOMPARE(parseErrorText(marks[0], document), text);
    // Each row gets the marks that start in it, once.
    QList<ParseErrorMark> before, after;
    colouring.spans(0, cut, &before);
    colouring.spans(cut, document.size(), &after);
    QCOMPARE(before.size() + after.size(), 1);
    QCOMPARE((before + after).first(), marks[0]);
}

void TestMarkupColouring::errorsCountedAndVisitedAcrossCheckpoints()
{
    // Errors in the first block and in the fourth; none between.
    const qsizetype spacing = MarkupColouring::checkpointSpacing;
    QString document = QStringLiteral("<p a=1 a=2>");
    const qsizetype first = 7;
    while (document.size() < 3 * spacing + 100)
        document += QStringLiteral("<div class=\"x\">text &amp; more</div>\n");
    const qsizetype second = document.size() + 7; // the ">" of "</b/>"
    document += QStringLiteral("<b></b/>\n&#0;");
    const qsizetype third = document.size(); // found after the reference's ";"
    document += QStringLiteral("<i>end");

    MarkupColouring colouring;
    QSignalSpy counted(&colouring, &MarkupColouring::errorsCounted);
    colouring.reset(document, MarkupSyntax::Html);
    QTRY_COMPARE(counted.size(), 1);
    QCOMPARE(counted[0][0].value<qsizetype>(), 3);
    QCOMPARE(colouring.errorCount(), 3);

    const auto next = [&](qsizetype offset) { const auto mark = colouring.nextError(offset); return mark ? mark->start : -1; };
    const auto previous = [&](qsizetype offset) { const auto mark = colouring.previousError(offset); return mark ? mark->start : -1; };
    QCOMPARE(next(0), first);
    QCOMPARE(next(first), second);
    QCOMPARE(next(second), third);
    QCOMPARE(next(third), -1);
    QCOMPARE(previous(document.size()), third);
    QCOMPARE(previous(second), first);
    QCOMPARE(previous(first), -1);
}

void TestMarkupColouring::duplicateAcrossCheckpoint_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<qsizetype>("before"); // characters of the tag before the checkpoint
    QTest::addColumn<qsizetype>("duplicateAt"); // where its name starts, in the tag
    QTest::newRow("between the attributes") << QStringLiteral("<img src=a.png alt=x SRC=b.png>") << qsizetype(14)
                                            << qsizetype(21);
    QTest::newRow("inside a quoted value") << QStringLiteral("<img src=\"a.png\" alt=x SRC=b.png>") << qsizetype(12)
                                           << qsizetype(23);
    QTest::newRow("inside the duplicate's name") << QStringLiteral("<img src=a.png alt=x SRC=b.png>") << qsizetype(22)
                                                 << qsizetype(21);
    QTest::newRow("after more names than a checkpoint keeps")
        << QStringLiteral("<p a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 B=9>") << qsizetype(33) << qsizetype(35);
    QTest::newRow("at an attribute's '='") << QStringLiteral("<img src=a alt=b SRC=c>") << qsizetype(8) << qsizetype(17);
    QTest::newRow("inside a reference in a value")
        << QStringLiteral("<a title='x&amp;y' TITLE=z>") << qsizetype(13) << qsizetype(19);
}

// The scan counts from checkpoints 64K characters apart; one that falls inside a tag
// still knows the names before it, and the error is counted, visited and marked once.
void TestMarkupColouring::duplicateAcrossCheckpoint()
{
    QFETCH(QString, tag);
    QFETCH(qsizetype, before);
    QFETCH(qsizetype, duplicateAt);
    const qsizetype spacing = MarkupColouring::checkpointSpacing;
    const QString line = QStringLiteral("<div class=\"x\">text &amp; more</div>\n");
    QString document;
    while (document.size() + line.size() <= spacing - before)
        document += line;
    document += QString(spacing - before - document.size(), QLatin1Char(' '));
    const qsizetype tagStart = document.size();
    document += tag + line + line;
    const qsizetype duplicate = tagStart + duplicateAt;

    MarkupColouring colouring;
    QSignalSpy counted(&colouring, &MarkupColouring::errorsCounted);
    colouring.reset(document, MarkupSyntax::Html);
    QTRY_COMPARE(counted.size(), 1);
    QCOMPARE(colouring.errorCount(), 1);
    const auto next = colouring.nextError(0);
    QVERIFY(next);
    QCOMPARE(next->start, duplicate);
    const auto previous = colouring.previousError(document.size());
    QVERIFY(previous);
    QCOMPARE(previous->start, duplicate);
    // Rows from the checkpoint on, and rows cut anywhere across the tag: each row the
    // mark (the duplicate's name) reaches into marks it, and no other row does.
    const qsizetype nameEnd = tagStart + duplicateAt + tag.indexOf(u'=', duplicateAt) - duplicateAt;
    QList<qsizetype> cuts = {spacing};
    for (qsizetype cut = tagStart + 1; cut <= nameEnd + 1; ++cut)
        cuts.append(cut);
    for (const qsizetype cut : std::as_const(cuts)) {
        QList<ParseErrorMark> first, second;
        colouring.spans(tagStart - 10, cut, &first);
        colouring.spans(cut, document.size(), &second);
        QCOMPARE(first.size(), duplicate < cut ? 1 : 0);
        QCOMPARE(second.size(), cut < nameEnd ? 1 : 0);
        for (const ParseErrorMark &mark : first + second) {
            QCOMPARE(mark.start, duplicate);
            QCOMPARE(mark.end, nameEnd);
        }
    }
}

void TestMarkupColouring::viewKeysTipsAndToggle()
{
    SourceView view;
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy counted(&view, &SourceView::parseErrorsCounted);
    const QString document = QStringLiteral("<p a=1 a=2>\n<!-- x --!>\ntext\n<b/ >");
    view.setText(document, "text/html");
    QTRY_COMPARE(counted.size(), 1);
    QCOMPARE(view.parseErrorCount(), 3);

    // F8 goes from mark to mark and stops at the last; Shift+F8 goes back.
    const qsizetype marks[] = {7, document.indexOf(QLatin1String("--!>")) + 3, document.lastIndexOf(QLatin1Char('/')) + 1};
    for (const qsizetype mark : marks) {
        QTest::keyClick(&view, Qt::Key_F8);
        QCOMPARE(qMin(view.anchor(), view.cursorPosition()), mark);
    }
    QTest::keyClick(&view, Qt::Key_F8);
    QCOMPARE(qMin(view.anchor(), view.cursorPosition()), marks[2]);
    QTest::keyClick(&view, Qt::Key_F8, Qt::ShiftModifier);
    QCOMPARE(qMin(view.anchor(), view.cursorPosition()), marks[1]);

    // The pointer on the duplicate's name tells of it; off the marks, nothing.
    const QPoint onName = view.characterRect(7).center().toPoint();
    QCOMPARE(view.errorTipAt(onName), QStringLiteral("Duplicate attribute “a”: browsers keep the first"));
    const QPoint onText = view.characterRect(document.indexOf(QLatin1String("text")) + 1).center().toPoint();
    QCOMPARE(view.errorTipAt(onText), QString());

    // Alt+E hides the marks and their tips, and shows them again.
    QVERIFY(view.errorMarksShown());
    QTest::keyClick(&view, Qt::Key_E, Qt::AltModifier);
    QVERIFY(!view.errorMarksShown());
    QCOMPARE(view.errorTipAt(onName), QString());
    QTest::keyClick(&view, Qt::Key_E, Qt::AltModifier);
    QVERIFY(view.errorMarksShown());
    QVERIFY(!view.errorTipAt(onName).isEmpty());
}

void TestMarkupColouring::countInDetails_data()
{
    QTest::addColumn<QString>("details");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("added as the last line") << QStringLiteral("Address: a\nTime: 3 ms") << qint64(1234)
                                            << QStringLiteral("Address: a\nTime: 3 ms\nParse errors: 1,234");
    QTest::newRow("a count replaces the one before") << QStringLiteral("Address: a\nParse errors: 5") << qint64(0)
                                                     << QStringLiteral("Address: a\nParse errors: none");
    QTest::newRow("no document, no count") << QString() << qint64(7) << QString();
}

void TestMarkupColouring::countInDetails()
{
    QFETCH(QString, details);
    QFETCH(qint64, count);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(withParseErrorCount(details, count), expected);
}

QTEST_MAIN(TestMarkupColouring)
#include "tst_markupcolouring.moc"
