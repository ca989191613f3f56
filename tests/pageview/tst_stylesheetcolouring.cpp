#include "SourceView.h"
#include "StylesheetColouring.h"

#include <QtTest>

Q_DECLARE_METATYPE(StylesheetRole)

namespace {

// The role of each character of document[from, to) as spans() tells it, Text where no
// span covers it.
QList<StylesheetRole> rolesOf(StylesheetColouring &colouring, qsizetype from, qsizetype to)
{
    QList<StylesheetRole> roles(to - from, StylesheetRole::Text);
    for (const StylesheetSpan &span : colouring.spans(from, to)) {
        for (qsizetype i = span.start; i < span.start + span.length; ++i)
            roles[i] = span.role;
    }
    return roles;
}

bool waitUntilColoured(StylesheetColouring &colouring, qsizetype size)
{
    return QTest::qWaitFor([&] { return colouring.isReadyAt(size); }, 30000);
}

} // namespace

class TestStylesheetColouring : public QObject
{
    Q_OBJECT

private slots:
    void rolesInAStylesheet_data();
    void rolesInAStylesheet();
    void rowsFarIntoAHugeStylesheet_data();
    void rowsFarIntoAHugeStylesheet();
    void rowsInsideALongToken_data();
    void rowsInsideALongToken();
    void linksInAStylesheet_data();
    void linksInAStylesheet();
    void onlyAStylesheetIsColoured();
    void coloursReadOnLightAndDark();
    void viewColoursAStylesheetByItsType();
};

void TestStylesheetColouring::rolesInAStylesheet_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("piece"); // its first occurrence, every character of it
    QTest::addColumn<StylesheetRole>("role");

    const QString sheet = QStringLiteral("@import \"base.css\" screen;\n"
                                         "/* the header */\n"
                                         "h1.title > a:hover, #top { color: #ff0000; margin: -1.5em 0 2px 50%; }\n"
                                         "div { background: url(img/bg.png) no-repeat; font-family: \"Fira Sans\"; }\n"
                                         "p { width: calc(100% - 3rem); cursor: url('hand.cur'), auto }\n"
                                         "@media (max-width: 600px) { p { display: none } }\n");
    QTest::newRow("a property name") << sheet << "color" << StylesheetRole::Property;
    QTest::newRow("a value's word, told apart from the property") << sheet << "no-repeat" << StylesheetRole::Value;
    QTest::newRow("a comment, its delimiters included") << sheet << "/* the header */" << StylesheetRole::Comment;
    QTest::newRow("an at-keyword") << sheet << "@media" << StylesheetRole::AtRule;
    QTest::newRow("the address of @import is a link") << sheet << "\"base.css\"" << StylesheetRole::Url;
    QTest::newRow("url(...) without quotes, whole") << sheet << "url(img/bg.png)" << StylesheetRole::Url;
    QTest::newRow("url( before a quoted address") << sheet << "url(" << StylesheetRole::Url;
    QTest::newRow("a quoted address in url()") << sheet << "'hand.cur'" << StylesheetRole::Url;
    QTest::newRow("a string that is no address") << sheet << "\"Fira Sans\"" << StylesheetRole::String;
    QTest::newRow("a number with its unit") << sheet << "-1.5em" << StylesheetRole::Number;
    QTest::newRow("a percentage") << sheet << "50%" << StylesheetRole::Number;
    QTest::newRow("a function's name and parenthesis") << sheet << "calc(" << StylesheetRole::Function;
    QTest::newRow("a hash in a value") << sheet << "#ff0000" << StylesheetRole::Hash;
    QTest::newRow("a hash in a selector is the selector's") << sheet << "#top" << StylesheetRole::Selector;
    QTest::newRow("a selector's class") << sheet << "h1.title" << StylesheetRole::Selector;
    QTest::newRow("a selector's pseudo-class, not a declaration") << sheet << "a:hover" << StylesheetRole::Selector;
    QTest::newRow("a combinator") << sheet << ">" << StylesheetRole::Selector;
    QTest::newRow("a property inside @media's block") << sheet << "display" << StylesheetRole::Property;
    QTest::newRow("the value there") << sheet << "none" << StylesheetRole::Value;
    QTest::newRow("a comment cut off by the end")
        << QStringLiteral("a { color: red } /* never closed\nb { color: blue }") << "b { color: blue }" << StylesheetRole::Comment;
    QTest::newRow("a string cut off by a line break ends there")
        << QStringLiteral("a { content: \"open\nb: 1 }") << "\"open" << StylesheetRole::String;
}

void TestStylesheetColouring::rolesInAStylesheet()
{
    QFETCH(QString, document);
    QFETCH(QString, piece);
    QFETCH(StylesheetRole, role);
    StylesheetColouring colouring;
    colouring.reset(document, true);
    QVERIFY(waitUntilColoured(colouring, document.size()));
    const qsizetype at = document.indexOf(piece);
    QVERIFY(at >= 0);

    // Coloured as a whole, and as the row that holds it alone.
    const qsizetype lineStart = document.lastIndexOf(QLatin1Char('\n'), at) + 1;
    qsizetype lineEnd = document.indexOf(QLatin1Char('\n'), at);
    lineEnd = lineEnd < 0 ? document.size() : lineEnd + 1;
    const QList<StylesheetRole> whole = rolesOf(colouring, 0, document.size()).mid(at, piece.size());
    const QList<StylesheetRole> row = rolesOf(colouring, lineStart, lineEnd).mid(at - lineStart, piece.size());
    QCOMPARE(whole, QList<StylesheetRole>(piece.size(), role));
    QCOMPARE(row, whole);
}

void TestStylesheetColouring::rowsFarIntoAHugeStylesheet_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<StylesheetRole>("role");
    QTest::addColumn<qsizetype>("rowLength");
    QTest::newRow("a property name, from the checkpoint before it") << "colour-after" << StylesheetRole::Property << qsizetype(40);
    QTest::newRow("a value after it") << "teal" << StylesheetRole::Value << qsizetype(40);
    QTest::newRow("a row that starts inside a comment across a checkpoint") << "inside the comment" << StylesheetRole::Comment
                                                                          << qsizetype(30);
    QTest::newRow("a url far in") << "url(far.png)" << StylesheetRole::Url << qsizetype(200);
}

void TestStylesheetColouring::rowsFarIntoAHugeStylesheet()
{
    QFETCH(QString, piece);
    QFETCH(StylesheetRole, role);
    QFETCH(qsizetype, rowLength);
    // A minified stylesheet on one line, several checkpoints long, with a comment
    // that runs across a checkpoint and its rule beyond it.
    QString document;
    const QString rule = QStringLiteral(".r{margin:0;color:red}");
    while (document.size() < 3 * StylesheetColouring::checkpointSpacing - 500)
        document += rule;
    document += QStringLiteral("/*") + QString(1000, QLatin1Char('x')) + QStringLiteral(" inside the comment ")
            + QString(1000, QLatin1Char('y')) + QStringLiteral("*/");
    document += QStringLiteral("h2{colour-after:teal;background:url(far.png)}");
    while (document.size() < 5 * StylesheetColouring::checkpointSpacing)
        document += rule;
    StylesheetColouring colouring;
    colouring.reset(document, true);
    QVERIFY(waitUntilColoured(colouring, document.size()));

    // Rows as the view cuts a long line: here each starts at the piece, with nothing
    // coloured before it in this colouring.
    const qsizetype at = document.indexOf(piece);
    QVERIFY(at > 3 * StylesheetColouring::checkpointSpacing - 500);
    const QList<StylesheetRole> roles = rolesOf(colouring, at, at + rowLength);
    QVERIFY(roles.size() >= piece.size());
    QCOMPARE(roles.first(piece.size()), QList<StylesheetRole>(piece.size(), role));
    // The next row goes on from where this one ended.
    const QList<StylesheetRole> next = rolesOf(colouring, at + rowLength, at + 2 * rowLength);
    StylesheetColouring fresh;
    fresh.reset(document, true);
    QVERIFY(waitUntilColoured(fresh, document.size()));
    QCOMPARE(next, rolesOf(fresh, at + rowLength, at + 2 * rowLength));
}

void TestStylesheetColouring::rowsInsideALongToken_data()
{
    // Rows inside a token of hundreds of kilobytes are coloured from the token met
    // last instead of reading it from its start again: they must read as the whole.
    QTest::addColumn<QString>("token");
    const QString filler(300 * 1000, QLatin1Char('x'));
    QTest::newRow("a comment") << QStringLiteral("/*") + filler + QStringLiteral("*/");
    QTest::newRow("a string") << QStringLiteral("a{content:\"") + filler + QStringLiteral("\"}");
    QTest::newRow("a url") << QStringLiteral("a{background:url(") + filler + QStringLiteral(")}");
    QTest::newRow("a comment that never ends") << QStringLiteral("/*") + filler;
}

void TestStylesheetColouring::rowsInsideALongToken()
{
    QFETCH(QString, token);
    QString document;
    const QString rule = QStringLiteral(".r{margin:0;color:red}\n");
    while (document.size() < StylesheetColouring::checkpointSpacing / 2)
        document += rule;
    document += token;
    if (!token.startsWith(QLatin1String("/*")) || token.endsWith(QLatin1String("*/"))) {
        document += QStringLiteral("h2{colour-after:teal}");
        for (int i = 0; i < 100; ++i)
            document += rule;
    }
    StylesheetColouring whole;
    whole.reset(document, true);
    QVERIFY(waitUntilColoured(whole, document.size()));
    const QList<StylesheetRole> expected = rolesOf(whole, 0, document.size());

    constexpr qsizetype row = 100;
    StylesheetColouring forwards;
    forwards.reset(document, true);
    QVERIFY(waitUntilColoured(forwards, document.size()));
    QList<StylesheetRole> read;
    for (qsizetype from = 0; from < document.size(); from += row)
        read += rolesOf(forwards, from, std::min(document.size(), from + row));
    QCOMPARE(read, expected);

    // Backwards, and jumping in and out of the token.
    StylesheetColouring jumps;
    jumps.reset(document, true);
    QVERIFY(waitUntilColoured(jumps, document.size()));
    const qsizetype tokenStart = document.indexOf(token);
    for (const qsizetype from : {document.size() - 50, tokenStart + 150'000, tokenStart + 100, tokenStart - 30, qsizetype(0),
                                 tokenStart + 299'950, tokenStart + token.size() - 10, tokenStart + 200'000}) {
        const qsizetype to = std::min(document.size(), from + row);
        QCOMPARE(rolesOf(jumps, from, to), expected.mid(from, to - from));
    }
    for (qsizetype from = document.size() - row; from > tokenStart - 2 * row; from -= 7 * row) {
        const qsizetype to = from + row;
        QCOMPARE(rolesOf(jumps, from, to), expected.mid(from, to - from));
    }
}

void TestStylesheetColouring::linksInAStylesheet_data()
{
    QTest::addColumn<QString>("at"); // the link under the first character of this
    QTest::addColumn<QString>("written"); // empty for none
    QTest::addColumn<QString>("whole"); // what is underlined
    QTest::newRow("url() without quotes") << "img/bg" << "img/bg.png" << "url(img/bg.png)";
    QTest::newRow("its last character") << ")\n" << "img/bg.png" << "url(img/bg.png)";
    QTest::newRow("the quoted address of url()") << "hand" << "hand.cur" << "'hand.cur'";
    QTest::newRow("escapes read") << "e\\" << "esc.png" << "url(e\\sc.png)";
    QTest::newRow("url() after another declaration") << "./img" << "../img/x.png" << "url(../img/x.png)";
    QTest::newRow("the string of @import") << "base" << "base.css" << "\"base.css\"";
    QTest::newRow("url( before a quote is no link itself") << "url('hand" << QString() << QString();
    QTest::newRow("a string that is no address") << "Fira" << QString() << QString();
    QTest::newRow("a property name") << "cursor" << QString() << QString();
}

void TestStylesheetColouring::linksInAStylesheet()
{
    QFETCH(QString, at);
    QFETCH(QString, written);
    QFETCH(QString, whole);
    const QString sheet = QStringLiteral("@import \"base.css\";\n"
                                         "div { background: url(img/bg.png)\n; font-family: \"Fira Sans\"; }\n"
                                         "p { cursor: url('hand.cur'), auto; list-style: url(e\\sc.png) }\n"
                                         "a { color: red; background: url(../img/x.png) }\n");
    StylesheetColouring colouring;
    colouring.reset(sheet, true);
    QVERIFY(waitUntilColoured(colouring, sheet.size()));
    const qsizetype offset = sheet.indexOf(at);
    QVERIFY(offset >= 0);

    const auto link = colouring.linkAt(offset);
    QCOMPARE(link.has_value(), !written.isEmpty());
    if (!link)
        return;
    QCOMPARE(link->written, written);
    QCOMPARE(sheet.mid(link->start, link->end - link->start), whole);
    // Underlined, and nothing around it.
    QString underlined;
    for (const StylesheetSpan &span : colouring.spans(0, sheet.size())) {
        if (span.link && span.start <= offset && offset < span.start + span.length)
            underlined = sheet.mid(span.start, span.length);
    }
    QCOMPARE(underlined, whole);
}

void TestStylesheetColouring::onlyAStylesheetIsColoured()
{
    StylesheetColouring colouring;
    colouring.reset(QStringLiteral("a { color: red }"), false);
    QVERIFY(!colouring.isActive());
    QVERIFY(!colouring.isReadyAt(0));
    QVERIFY(colouring.spans(0, 16).isEmpty());
}

void TestStylesheetColouring::coloursReadOnLightAndDark()
{
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    for (const QPalette &palette : {light, dark}) {
        const StylesheetColours colours(palette);
        const qreal base = palette.color(QPalette::Base).lightnessF();
        QSet<QRgb> seen;
        for (int role = int(StylesheetRole::Selector); role <= int(StylesheetRole::Url); ++role) {
            const QColor colour = colours.colour(StylesheetRole(role));
            QVERIFY2(qAbs(colour.lightnessF() - base) > 0.3, qPrintable(colour.name()));
            seen.insert(colour.rgb());
        }
        // Property names and values, and every other role, tell apart.
        QCOMPARE(seen.size(), int(StylesheetRole::Url));
    }
}

void TestStylesheetColouring::viewColoursAStylesheetByItsType()
{
    SourceView view;
    view.resize(400, 300);
    view.setText(QStringLiteral("a { color: red }\n"), "text/css");
    QTRY_VERIFY(view.coloursReadyOnScreen());
    view.setText(QStringLiteral("a { color: red }\n"), "text/plain");
    QVERIFY(view.coloursReadyOnScreen());
}

QTEST_MAIN(TestStylesheetColouring)
#include "tst_stylesheetcolouring.moc"
