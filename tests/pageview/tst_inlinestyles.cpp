// A page's own stylesheets: style elements' contents and style attributes' values
// coloured as CSS, and their url() and @import links.

#include "MarkupColouring.h"
#include "MarkupColours.h"
#include "SourceView.h"
#include "StylesheetColouring.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// One letter per character: the markup's roles as tst_markupcolouring writes them
// (t text, T tag, N attribute name, V value, C comment, D doctype, R reference, P
// processing instruction, X CDATA), then a stylesheet's: s selector, a at-rule,
// p property, v value, c comment, q string, n number, h hash, f function, u url.
constexpr char roleLetters[] = "tTNVCDRPXsapvcqnhfu";

QString letters(const QList<MarkupSpan> &spans)
{
    QString result;
    for (const MarkupSpan &span : spans)
        result += QString(span.length, QLatin1Char(roleLetters[int(span.role)]));
    return result;
}

// L under the characters of links, '.' elsewhere.
QString linkLetters(const QList<MarkupSpan> &spans)
{
    QString result;
    for (const MarkupSpan &span : spans)
        result += QString(span.length, QLatin1Char(span.link ? 'L' : '.'));
    return result;
}

bool scanned(MarkupColouring &colouring, qsizetype size)
{
    return QTest::qWaitFor([&] { return colouring.isReadyAt(size); }, 30000);
}

// A stylesheet read alone, from its start, as a text/css document: the same letters.
void stylesheetLetters(const QString &sheet, QString *roles, QString *links)
{
    StylesheetColouring colouring;
    colouring.reset(sheet, true);
    QVERIFY(QTest::qWaitFor([&] { return colouring.isReadyAt(sheet.size()); }, 30000));
    *roles = QString(sheet.size(), QLatin1Char('t'));
    *links = QString(sheet.size(), QLatin1Char('.'));
    for (const StylesheetSpan &span : colouring.spans(0, sheet.size())) {
        const QChar letter = QLatin1Char(roleLetters[int(markupRole(span.role))]);
        for (qsizetype i = span.start; i < span.start + span.length; ++i) {
            (*roles)[i] = letter;
            if (span.link)
                (*links)[i] = QLatin1Char('L');
        }
    }
}

} // namespace

class TestInlineStyles : public QObject
{
    Q_OBJECT

private slots:
    void rolesWholeAndCut_data();
    void rolesWholeAndCut();
    void links_data();
    void links();
    void rowsDeepInALongStyleElement_data();
    void rowsDeepInALongStyleElement();
    void aLongStyleAttributeRowByRow();
    void aTokenLongerThanAMegabyte();
    void coloursAreTheStylesheets();
    void viewFollowsALinkInAStyleElement();
    void tagsWhereverACheckpointFalls_data();
    void tagsWhereverACheckpointFalls();
};

void TestInlineStyles::rolesWholeAndCut_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("roles");
    QTest::newRow("style element: selector, property, hash, numbers, comment")
        << QStringLiteral("<style>a{color:#fff;margin:0 1px}/*c*/</style>")
        << QStringLiteral("TTTTTTTstpppppthhhhtpppppptntnnntcccccTTTTTTTT");
    QTest::newRow("over several lines")
        << QStringLiteral("<style>\na {\n  color: red;\n}\n</style>")
        << QStringLiteral("TTTTTTTtstttttpppppttvvvttttTTTTTTTT");
    QTest::newRow("an upper-case end tag with a space ends it") << QStringLiteral("<style>p{}</STYLE >a{}")
                                                                << QStringLiteral("TTTTTTTsttTTTTTTTTTttt");
    QTest::newRow("an upper-case start tag") << QStringLiteral("<STYLE>a{}</style>")
                                             << QStringLiteral("TTTTTTTsttTTTTTTTT");
    QTest::newRow("</stylex> does not end it") << QStringLiteral("<style>a</stylex>{}</style>")
                                               << QStringLiteral("TTTTTTTssssssssssttTTTTTTTT");
    QTest::newRow("a comment holding </style> is cut there")
        << QStringLiteral("<style>/*</style>*/") << QStringLiteral("TTTTTTTccTTTTTTTTtt");
    QTest::newRow("@import's string and url() are addresses")
        << QStringLiteral("<style>@import \"a.css\";b{background:url(c.png)}</style>")
        << QStringLiteral("TTTTTTTaaaaaaatuuuuuuutstpppppppppptuuuuuuuuuutTTTTTTTT");
    QTest::newRow("script is not read as CSS") << QStringLiteral("<script>a{color:red}</script>")
                                               << QStringLiteral("TTTTTTTTttttttttttttTTTTTTTTT");
    QTest::newRow("a style element in svg") << QStringLiteral("<svg><style>a{}</style></svg>")
                                            << QStringLiteral("TTTTTTTTTTTTsttTTTTTTTTTTTTTT");
    QTest::newRow("in svg a tag ends the stylesheet") << QStringLiteral("<svg><style><b>c</b></style></svg>")
                                                      << QStringLiteral("TTTTTTTTTTTTTTTtTTTTTTTTTTTTTTTTTT");
    QTest::newRow("<style/> has no contents in svg, and raw text in HTML") << QStringLiteral("<svg><style/>a{}</svg><style/>b{}</style>")
                                                                          << QStringLiteral("TTTTTTTTTTTTTtttTTTTTTTTTTTTTTsttTTTTTTTT");
    QTest::newRow("style attribute in double quotes") << QStringLiteral("<p style=\"color:red\">x")
                                                      << QStringLiteral("TTTNNNNNTVppppptvvvVTt");
    QTest::newRow("style attribute in single quotes, a quoted url()")
        << QStringLiteral("<p style='background:url(\"i.png\")'>")
        << QStringLiteral("TTTNNNNNTVpppppppppptuuuuuuuuuuutVT");
    QTest::newRow("unquoted style attribute") << QStringLiteral("<p style=color:red>")
                                              << QStringLiteral("TTTNNNNNTppppptvvvT");
    QTest::newRow("upper-case STYLE attribute, others untouched") << QStringLiteral("<p id=\"a:b\" STYLE=\"a:b\">")
                                                                  << QStringLiteral("TTTNNTVVVVVTNNNNNTVptvVT");
    QTest::newRow("two style attributes in a tag, one in the next") << QStringLiteral("<p style=\"a:b\" style='c:d'><i style=e:f>")
                                                                   << QStringLiteral("TTTNNNNNTVptvVTNNNNNTVptvVTTTTNNNNNTptvT");
    QTest::newRow("styles is another attribute") << QStringLiteral("<p styles=\"a:b\">")
                                                 << QStringLiteral("TTTNNNNNNTVVVVVT");
    // A reference is coloured as one, and the CSS tokenizer reads it as written: its
    // ';' ends the declaration.
    QTest::newRow("a reference in a style attribute, read as written") << QStringLiteral("<p style=\"a:&amp;b\">")
                                                                       << QStringLiteral("TTTNNNNNTVptRRRRRsVT");
}

void TestInlineStyles::rolesWholeAndCut()
{
    QFETCH(QString, document);
    QFETCH(QString, roles);
    MarkupColouring whole;
    whole.reset(document, MarkupSyntax::Html);
    whole.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(whole, document.size()));
    QCOMPARE(letters(whole.spans(0, document.size())), roles);
    // Cut anywhere, as rows are: the first piece then the second going on from its
    // state, and the second alone from the checkpoint.
    for (qsizetype cut = 1; cut < document.size(); ++cut) {
        MarkupColouring pieces;
        pieces.reset(document, MarkupSyntax::Html);
        pieces.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
        QVERIFY(scanned(pieces, document.size()));
        const QString second = letters(pieces.spans(cut, document.size()));
        QCOMPARE(letters(pieces.spans(0, cut)) + letters(pieces.spans(cut, document.size())), roles);
        QCOMPARE(second, roles.mid(cut));
    }
}

void TestInlineStyles::links_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("at"); // the link under the first character of this
    QTest::addColumn<QString>("written"); // empty for none
    QTest::addColumn<QString>("whole"); // what is underlined
    const QString page = QStringLiteral("<style>\n@import 'base.css';\n@import url(more.css);\n"
                                        "div { background: url(img/b\\67.png) }\np { cursor: url(\"hand.cur\"), auto }\n"
                                        "</style>url(after.png)\n<p style=\"background:url(attr.png)\">url(text.png)</p>\n"
                                        "<script>a{b:url(script.png)}</script>");
    QTest::newRow("@import's string") << page << "base" << "base.css" << "'base.css'";
    QTest::newRow("@import url()") << page << "more" << "more.css" << "url(more.css)";
    QTest::newRow("url() with an escape read") << page << "img/" << "img/bg.png" << "url(img/b\\67.png)";
    QTest::newRow("its last character") << page << ") }\np" << "img/bg.png" << "url(img/b\\67.png)";
    QTest::newRow("url()'s quoted address") << page << "hand" << "hand.cur" << "\"hand.cur\"";
    QTest::newRow("in a style attribute") << page << "attr" << "attr.png" << "url(attr.png)";
    QTest::newRow("a property name is none") << page << "cursor" << QString() << QString();
    QTest::newRow("after the style element, none") << page << "after" << QString() << QString();
    QTest::newRow("in the text, none") << page << "text.png" << QString() << QString();
    QTest::newRow("in a script, none") << page << "script" << QString() << QString();
    QTest::newRow("a reference in a style attribute's address, read")
        << QStringLiteral("<p style=\"background:url(a.php?x=1&amp;y=2)\">") << "a.php" << "a.php?x=1&y=2"
        << "url(a.php?x=1&amp;y=2)";
    QTest::newRow("in a style element, raw text: left as written")
        << QStringLiteral("<style>a{b:url(c.php?x=1&amp;y=2)}</style>") << "c.php" << "c.php?x=1&amp;y=2"
        << "url(c.php?x=1&amp;y=2)";
    QTest::newRow("an address cut by </style>") << QStringLiteral("<style>a{b:url(x.png</style>)}")
                                                 << "x.png" << "x.png" << "url(x.png";
}

void TestInlineStyles::links()
{
    QFETCH(QString, document);
    QFETCH(QString, at);
    QFETCH(QString, written);
    QFETCH(QString, whole);
    MarkupColouring colouring;
    colouring.reset(document, MarkupSyntax::Html);
    colouring.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(colouring, document.size()));
    const qsizetype offset = document.indexOf(at);
    QVERIFY(offset >= 0);

    const auto link = colouring.styleLinkAt(offset);
    QCOMPARE(link.has_value(), !written.isEmpty());
    // Underlined: the link, and nothing around it.
    const QString underlined = linkLetters(colouring.spans(0, document.size()));
    if (!link) {
        QCOMPARE(underlined[offset], QLatin1Char('.'));
        return;
    }
    QCOMPARE(link->written, written);
    QCOMPARE(document.mid(link->start, link->end - link->start), whole);
    QCOMPARE(underlined.mid(link->start - 1, whole.size() + 2), QLatin1Char('.') + QString(whole.size(), QLatin1Char('L')) + QLatin1Char('.'));
}

void TestInlineStyles::rowsDeepInALongStyleElement_data()
{
    QTest::addColumn<bool>("lines"); // the stylesheet on lines, or minified on one
    QTest::addColumn<qsizetype>("rowLength"); // rows cut every so many characters; 0: at line ends
    QTest::addColumn<qsizetype>("longComment"); // a comment this long, across checkpoints
    QTest::newRow("lines, rows at line ends") << true << qsizetype(0) << qsizetype(0);
    QTest::newRow("lines, rows cut inside tokens") << true << qsizetype(37) << qsizetype(0);
    QTest::newRow("minified, rows cut inside tokens") << false << qsizetype(53) << qsizetype(0);
    QTest::newRow("lines, a comment over three checkpoints") << true << qsizetype(0) << 3 * MarkupColouring::checkpointSpacing;
    QTest::newRow("minified, a comment over three checkpoints") << false << qsizetype(41) << 3 * MarkupColouring::checkpointSpacing;
}

void TestInlineStyles::rowsDeepInALongStyleElement()
{
    QFETCH(bool, lines);
    QFETCH(qsizetype, rowLength);
    QFETCH(qsizetype, longComment);
    // A style element several checkpoints long, with comments, strings and blocks that
    // run across checkpoints, nested at-rules and addresses.
    const qsizetype spacing = MarkupColouring::checkpointSpacing;
    const QString newline = lines ? QStringLiteral("\n") : QString();
    QString sheet = QStringLiteral("@import \"first.css\";") + newline;
    for (int i = 0; sheet.size() < 4 * spacing + longComment; ++i) {
        const QString n = QString::number(i);
        sheet += QStringLiteral(".item-%1 > a:hover, #r%1 {").arg(n) + newline
                + QStringLiteral("  color: #3a7bd5; margin: 0 auto 1.5em; background: url(/img/%1.png) no-repeat;").arg(n) + newline
                + QStringLiteral("  font-family: \"Fira Sans\", sans-serif; content: 'a\\'b' }") + newline;
        if (i % 97 == 0)
            sheet += QStringLiteral("/* a comment") + newline + QString(3000, QLatin1Char('-')) + newline + QStringLiteral("*/")
                    + newline;
        if (i == 300 && longComment > 0) {
            QString comment = QStringLiteral("/* long");
            while (comment.size() < longComment)
                comment += QStringLiteral("</styl / * x* ") + newline;
            sheet += comment + QStringLiteral(" far in the comment */ a{b:c}") + newline;
        }
        // A property name whose colon is far behind a comment.
        if (i == 700)
            sheet += QStringLiteral("h2 { colour-after /*%1*/ : teal }").arg(QString(5000, QLatin1Char('x'))) + newline;
        if (i % 89 == 0)
            sheet += QStringLiteral("@media (max-width: 600px) { .x { width: calc(100% - 2rem) } @font-face { unicode-range: U+0-7F } }")
                    + newline;
    }
    const QString head = QStringLiteral("<!DOCTYPE html><html><head><title>x</title><style>");
    const QString tail = QStringLiteral("</style></head>\n<body><p style=\"color:red\">a{b:c}</p>");
    const QString document = head + sheet + tail;
    QString sheetRoles;
    QString sheetLinks;
    stylesheetLetters(sheet, &sheetRoles, &sheetLinks);
    const QString tailRoles = QStringLiteral("TTTTTTTTTTTTTTTtTTTTTTTTTNNNNNTVppppptvvvVTttttttTTTT");
    QCOMPARE(tailRoles.size(), tail.size());

    // Rows far in, each coloured by a view that has coloured nothing before it.
    QList<std::pair<qsizetype, qsizetype>> rows;
    const qsizetype start = head.size();
    const qsizetype farColon = document.indexOf(QLatin1String("colour-after"));
    QVERIFY(farColon > start + spacing);
    QList<qsizetype> probes = {start + 10, start + spacing - 3, start + 2 * spacing + 5, start + 3 * spacing + spacing / 2,
                               farColon, document.size() - tail.size() - 40};
    if (longComment > 0) {
        const qsizetype commentStart = document.indexOf(QLatin1String("/* long"));
        probes += {commentStart + longComment / 2, document.indexOf(QLatin1String("far in the comment")) - 2};
    }
    for (const qsizetype at : std::as_const(probes)) {
        qsizetype from = at;
        if (rowLength == 0)
            from = std::max(start, document.lastIndexOf(QLatin1Char('\n'), at) + 1);
        for (int k = 0; k < 3; ++k) {
            const qsizetype to = rowLength == 0 ? document.indexOf(QLatin1Char('\n'), from) + 1 : from + rowLength;
            rows.append({from, std::min(to, document.size())});
            from = to;
        }
    }
    for (const auto &[from, to] : rows) {
        MarkupColouring fresh;
        fresh.reset(document, MarkupSyntax::Html);
        fresh.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
        QVERIFY(scanned(fresh, document.size()));
        QString expected;
        QString expectedLinks;
        for (qsizetype i = from; i < to; ++i) {
            const qsizetype inSheet = i - start;
            const qsizetype inTail = i - start - sheet.size();
            expected += inSheet < sheet.size() ? sheetRoles[inSheet] : tailRoles[inTail];
            expectedLinks += inSheet < sheet.size() ? sheetLinks[inSheet] : QLatin1Char('.');
        }
        // The row, then the next going on from it.
        const QList<MarkupSpan> row = fresh.spans(from, to);
        QCOMPARE(letters(row), expected);
        QCOMPARE(linkLetters(row), expectedLinks);
    }
}

void TestInlineStyles::aLongStyleAttributeRowByRow()
{
    // A value of many lines: each row goes on from where the row before it left the
    // value, and gives what reading it whole gives; so does a row read first.
    QString document = QStringLiteral("<p id=x style=\"\n");
    qsizetype addresses = 0;
    for (int i = 0; i < 300; ++i) {
        document += QStringLiteral("  color: red; /* %1 */ background: url(x%1.png);\n").arg(i);
        addresses += QStringLiteral("url(x%1.png)").arg(i).size();
    }
    document += QStringLiteral("\">a{b:c}<i style='d:e'>");
    MarkupColouring whole;
    whole.reset(document, MarkupSyntax::Html);
    whole.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(whole, document.size()));
    const QList<MarkupSpan> all = whole.spans(0, document.size());
    const QString roles = letters(all);
    QCOMPARE(roles.count(QLatin1Char('u')), addresses);
    QCOMPARE(roles.right(23), QStringLiteral("VTttttttTTTNNNNNTVptvVT"));

    MarkupColouring rows;
    rows.reset(document, MarkupSyntax::Html);
    rows.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(rows, document.size()));
    QString rowByRow;
    for (qsizetype from = 0; from < document.size();) {
        const qsizetype to = document.indexOf(QLatin1Char('\n'), from) < 0 ? document.size() : document.indexOf(QLatin1Char('\n'), from) + 1;
        rowByRow += letters(rows.spans(from, to));
        from = to;
    }
    QCOMPARE(rowByRow, roles);

    MarkupColouring jump;
    jump.reset(document, MarkupSyntax::Html);
    jump.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(jump, document.size()));
    const qsizetype middle = document.indexOf(QLatin1String("  color: red; /* 150 */"));
    QCOMPARE(letters(jump.spans(middle, middle + 60)), roles.mid(middle, 60));
}

void TestInlineStyles::aTokenLongerThanAMegabyte()
{
    // An address of 1.5 MB: its first megabyte is an address, and the rest is read on
    // from there, the same from any row. (Written "http:" so that it is a link: a data:
    // address, as an inline image would be, is none.)
    const QString head = QStringLiteral("<style>a{background:url(\"http:");
    const QString document = head + QString(3 << 19, QLatin1Char('A')) + QStringLiteral("\")}\nb{c:d}</style><p>");
    MarkupColouring whole;
    whole.reset(document, MarkupSyntax::Html);
    whole.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(whole, document.size()));
    const qsizetype string = head.size() - 6;
    const qsizetype cut = string + (1 << 20);
    QCOMPARE(letters(whole.spans(string, cut)), QString(1 << 20, QLatin1Char('u')));
    QCOMPARE(linkLetters(whole.spans(cut - 2, cut + 2)), QStringLiteral("LL.."));
    QString rowByRow;
    for (qsizetype from = 0; from < document.size(); from += 1000)
        rowByRow += letters(whole.spans(from, std::min(from + 1000, document.size())));
    for (const qsizetype at : {cut - 10, cut + 3, document.size() - 20}) {
        MarkupColouring fresh;
        fresh.reset(document, MarkupSyntax::Html);
        fresh.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
        QVERIFY(scanned(fresh, document.size()));
        QCOMPARE(letters(fresh.spans(at, at + 15)), rowByRow.mid(at, 15));
    }
    QCOMPARE(rowByRow.right(11), QStringLiteral("TTTTTTTTTTT"));
}

void TestInlineStyles::coloursAreTheStylesheets()
{
    for (const QColor base : {QColor(Qt::white), QColor(30, 30, 30)}) {
        QPalette palette;
        palette.setColor(QPalette::Base, base);
        const MarkupColours markup(palette);
        const StylesheetColours stylesheet(palette);
        for (int role = int(StylesheetRole::Selector); role <= int(StylesheetRole::Url); ++role)
            QCOMPARE(markup.colour(markupRole(StylesheetRole(role))), stylesheet.colour(StylesheetRole(role)));
        QCOMPARE(markup.colour(markupRole(StylesheetRole::Text)), markup.colour(MarkupRole::Text));
    }
}

void TestInlineStyles::viewFollowsALinkInAStyleElement()
{
    SourceView view;
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setDocumentAddress(QStringLiteral("http://example.test/dir/page.html"));
    const QString document = QStringLiteral("<style>\na { background: url(../img/bg.png) }\n</style>\n<p style=\"x:url(y.png)\">");
    view.setText(document, "text/html");
    QTRY_VERIFY(view.coloursReadyOnScreen());
    QSignalSpy activated(&view, &SourceView::linkActivated);
    const QPoint onLink = view.characterRect(document.indexOf(QLatin1String("img/bg"))).center().toPoint();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLink);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated[0][0].toString(), QStringLiteral("http://example.test/img/bg.png"));
    const QPoint onAttribute = view.characterRect(document.indexOf(QLatin1String("y.png"))).center().toPoint();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onAttribute);
    QCOMPARE(activated.size(), 2);
    QCOMPARE(activated[1][0].toString(), QStringLiteral("http://example.test/dir/y.png"));
    // Off the links, a click follows nothing.
    const QPoint onProperty = view.characterRect(document.indexOf(QLatin1String("background"))).center().toPoint();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onProperty);
    QCOMPARE(activated.size(), 2);
}

void TestInlineStyles::tagsWhereverACheckpointFalls_data()
{
    // The scan reads a block for its errors alone unless a style element's text or a
    // first <base> may be in it: a tag cut by the block's end, or begun in the block
    // before, must still be seen.
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("shift"); // where the tag's '<' stands against the checkpoint

    const QString style = QStringLiteral("<style>");
    const QString styleWithAttributes = QStringLiteral("<STYLE media=\"screen\" title=\"a\" nonce=\"b\" id=\"c\">");
    const QString base = QStringLiteral("<base href=\"/b/\">");
    // A checkpoint after its href: the run from it does not see the href.
    const QString baseWithMore = QStringLiteral("<base href=\"/b/\" target=\"_self\" data-a=\"1\" data-b=\"2\">");
    for (const int shift : {-40, -7, -6, -5, -1, 0, 1}) {
        QTest::addRow("<style> at %d", shift) << style << shift;
        QTest::addRow("<STYLE ...> at %d", shift) << styleWithAttributes << shift;
        QTest::addRow("<base> at %d", shift) << base << shift;
    }
    for (const int shift : {-35, -20, -10})
        QTest::addRow("<base> cut after its href, at %d", shift) << baseWithMore << shift;
}

void TestInlineStyles::tagsWhereverACheckpointFalls()
{
    QFETCH(QString, tag);
    QFETCH(int, shift);

    const qsizetype spacing = MarkupColouring::checkpointSpacing;
    QString document = QString(spacing + shift, QLatin1Char('x')) + tag;
    const bool isStyle = tag.startsWith(QLatin1String("<s"), Qt::CaseInsensitive);
    QString sheet;
    if (isStyle) {
        for (int i = 0; sheet.size() < 3 * spacing; ++i)
            sheet += QStringLiteral("a%1 { color: red; }\n").arg(i);
        document += sheet + QStringLiteral("</style>");
    } else {
        document += QString(2 * spacing, QLatin1Char('y'));
    }
    const qsizetype link = document.size() + 9;
    document += QStringLiteral("<a href=\"x.html\">x</a>");

    MarkupColouring colouring;
    colouring.reset(document, MarkupSyntax::Html);
    colouring.setDocumentAddress(QStringLiteral("http://example.com/page.html"));
    QVERIFY(scanned(colouring, document.size()));
    if (isStyle) {
        QString roles;
        QString links;
        stylesheetLetters(sheet, &roles, &links);
        const qsizetype start = spacing + shift + tag.size();
        const qsizetype from = start + 2 * spacing + 3;
        QCOMPARE(letters(colouring.spans(from, from + 40)), roles.mid(from - start, 40));
    } else {
        const auto found = colouring.linkAt(link);
        QVERIFY(found);
        QCOMPARE(found->resolved.address, QStringLiteral("http://example.com/b/x.html"));
    }
}

QTEST_MAIN(TestInlineStyles)
#include "tst_inlinestyles.moc"
