#include "Tokenizer.h"

#include <QTest>

using namespace html;

namespace {

// Tokens as a short text: <tag>, </tag>, "characters", <!--comment-->.
class TraceSink : public TokenSink
{
public:
    void token(const Token &token) override
    {
        switch (token.kind) {
        case TokenKind::StartTag:
            trace += u'<' + token.name + u'>';
            break;
        case TokenKind::EndTag:
            trace += QStringLiteral("</") + token.name + u'>';
            break;
        case TokenKind::Characters:
            if (trace.endsWith(u'"'))
                trace.insert(trace.size() - 1, token.data);
            else
                trace += u'"' + token.data + u'"';
            break;
        case TokenKind::Comment:
            trace += QStringLiteral("<!--") + token.data + QStringLiteral("-->");
            break;
        case TokenKind::Doctype:
            trace += u"<!DOCTYPE>";
            break;
        case TokenKind::EndOfFile:
            break;
        }
    }
    void parseError(ParseError, qsizetype) override {}

    QString trace;
};

QString trace(const QString &document, Checkpoint *end = nullptr)
{
    TraceSink sink;
    Tokenizer tokenizer(sink, true);
    Checkpoint checkpoint;
    tokenizer.run(document, checkpoint, document.size());
    if (end)
        *end = checkpoint;
    return sink.trace;
}

} // namespace

class tst_HtmlTreeState : public QObject
{
    Q_OBJECT

private slots:
    void tokenizerFollowsTree_data();
    void tokenizerFollowsTree();
    void beforeBody_data();
    void beforeBody();
    void openElements_data();
    void openElements();
    void deepNestingStaysBounded();
};

void tst_HtmlTreeState::tokenizerFollowsTree_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("tokens");

    // A CDATA section is one only in svg or MathML content, elsewhere a bogus comment:
    // the rows end with one to tell where the tag before it left the tree.
    QTest::newRow("CDATA outside svg and math is a bogus comment")
        << "<p><![CDATA[x]]>" << "<p><!--[CDATA[x]]-->";
    QTest::newRow("CDATA inside svg is text")
        << "<svg><![CDATA[a<b>]]>" << "<svg>\"a<b>\"";
    QTest::newRow("CDATA directly inside foreignObject is text: foreignObject is svg's")
        << "<svg><foreignObject><![CDATA[x]]>" << "<svg><foreignobject>\"x\"";
    QTest::newRow("CDATA inside HTML inside foreignObject is a comment")
        << "<svg><foreignObject><div><![CDATA[x]]>" << "<svg><foreignobject><div><!--[CDATA[x]]-->";

    QTest::newRow("script inside foreignObject is raw text")
        << "<svg><foreignObject><script>a<b>c</script><![CDATA[x]]>"
        << "<svg><foreignobject><script>\"a<b>c\"</script>\"x\"";
    QTest::newRow("style inside svg desc is raw text")
        << "<svg><desc><style>a<i>b</style>" << "<svg><desc><style>\"a<i>b\"</style>";
    QTest::newRow("textarea inside svg title is RCDATA")
        << "<svg><title><textarea>&amp;<b></textarea>" << "<svg><title><textarea>\"&<b>\"</textarea>";
    QTest::newRow("script inside MathML mi is raw text")
        << "<math><mi><script>a<b></script>" << "<math><mi><script>\"a<b>\"</script>";
    QTest::newRow("style inside MathML mo, mn, ms, mtext is raw text")
        << "<math><mo><style><a></style></mo><mn><style><a></style></mn><ms><style><a></style></ms>"
           "<mtext><style><a></style>"
        << "<math><mo><style>\"<a>\"</style></mo><mn><style>\"<a>\"</style></mn><ms><style>\"<a>\"</style>"
           "</ms><mtext><style>\"<a>\"</style>";
    QTest::newRow("script inside annotation-xml encoding=text/html is raw text")
        << "<math><annotation-xml encoding=\"text/html\"><script>a<b></script>"
        << "<math><annotation-xml><script>\"a<b>\"</script>";
    QTest::newRow("annotation-xml's encoding is read without regard to case")
        << "<math><annotation-xml encoding='Application/XHTML+XML'><style><g></style>"
        << "<math><annotation-xml><style>\"<g>\"</style>";
    QTest::newRow("annotation-xml with another encoding keeps MathML's script")
        << "<math><annotation-xml encoding=\"image/svg+xml\"><script><g></script><![CDATA[x]]>"
        << "<math><annotation-xml><script><g></script>\"x\"";
    QTest::newRow("script in svg itself is svg's, with tags in it")
        << "<svg><script>a<g></g></script><![CDATA[x]]>" << "<svg><script>\"a\"<g></g></script>\"x\"";
    QTest::newRow("mglyph inside mi stays MathML")
        << "<math><mi><mglyph><![CDATA[x]]>" << "<math><mi><mglyph>\"x\"";

    QTest::newRow("b inside foreignObject stays inside svg")
        << "<svg><foreignObject><b></b></foreignObject><style><g></style>"
        << "<svg><foreignobject><b></b></foreignobject><style><g></style>";
    QTest::newRow("i inside desc stays inside svg")
        << "<svg><desc><i></i></desc><![CDATA[x]]>" << "<svg><desc><i></i></desc>\"x\"";
    QTest::newRow("div inside mi stays inside math")
        << "<math><mi><div></div></mi><![CDATA[x]]>" << "<math><mi><div></div></mi>\"x\"";
    QTest::newRow("b directly inside svg leaves svg")
        << "<svg><g><b><![CDATA[x]]>" << "<svg><g><b><!--[CDATA[x]]-->";
    QTest::newRow("a breakout leaves nested svg and math at once")
        << "<svg><g><svg><div><style>a<g></style>" << "<svg><g><svg><div><style>\"a<g>\"</style>";

    QTest::newRow("font with color leaves svg")
        << "<svg><font color=red><![CDATA[x]]>" << "<svg><font><!--[CDATA[x]]-->";
    QTest::newRow("font with face leaves svg")
        << "<svg><font face=serif><![CDATA[x]]>" << "<svg><font><!--[CDATA[x]]-->";
    QTest::newRow("font with size leaves svg")
        << "<svg><font SIZE=3><![CDATA[x]]>" << "<svg><font><!--[CDATA[x]]-->";
    QTest::newRow("font with other attributes stays in svg")
        << "<svg><font id=f><![CDATA[x]]>" << "<svg><font>\"x\"";

    QTest::newRow("<svg><math></svg> closes both")
        << "<svg><math></svg><![CDATA[x]]>" << "<svg><math></svg><!--[CDATA[x]]-->";
    QTest::newRow("svg inside svg: its end tag closes the inner one")
        << "<svg><svg></svg><![CDATA[x]]>" << "<svg><svg></svg>\"x\"";
    QTest::newRow("math inside math: its end tag closes the inner one")
        << "<math><math></math><![CDATA[x]]>" << "<math><math></math>\"x\"";
    QTest::newRow("self-closing svg opens nothing")
        << "<svg/><![CDATA[x]]>" << "<svg><!--[CDATA[x]]-->";
    QTest::newRow("self-closing element inside svg opens nothing")
        << "<svg><path/></svg><![CDATA[x]]>" << "<svg><path></svg><!--[CDATA[x]]-->";

    QTest::newRow("</p> in svg leaves it")
        << "<p><svg><g></p><![CDATA[x]]>" << "<p><svg><g></p><!--[CDATA[x]]-->";
    QTest::newRow("</br> in math leaves it")
        << "<math><mrow></br><![CDATA[x]]>" << "<math><mrow></br><!--[CDATA[x]]-->";
    QTest::newRow("an HTML end tag of an element open below svg closes svg")
        << "<div><svg><g></div><![CDATA[x]]>" << "<div><svg><g></div><!--[CDATA[x]]-->";
    QTest::newRow("an HTML end tag of an element not open leaves svg open")
        << "<svg><g></div><![CDATA[x]]>" << "<svg><g></div>\"x\"";
    QTest::newRow("an end tag of an svg element closes those above it")
        << "<svg><g><a><text></g><![CDATA[x]]></svg><![CDATA[y]]>"
        << "<svg><g><a><text></g>\"x\"</svg><!--[CDATA[y]]-->";

    QTest::newRow("</table> closes the unclosed cells and the svg in them")
        << "<table><tr><td>a<td><svg><g></table><![CDATA[x]]>"
        << "<table><tr><td>\"a\"<td><svg><g></table><!--[CDATA[x]]-->";
    QTest::newRow("</template> closes svg inside the template")
        << "<template><svg><g></template><![CDATA[x]]>" << "<template><svg><g></template><!--[CDATA[x]]-->";
    QTest::newRow("script inside template is raw text")
        << "<template><script>a<b></script></template>" << "<template><script>\"a<b>\"</script></template>";

    QTest::newRow("script is script data")
        << "<script><!--<script>x</script>--></script>" << "<script>\"<!--<script>x</script>-->\"</script>";
    QTest::newRow("style, xmp, iframe, noembed, noframes are raw text")
        << "<style>&amp;<a></style><xmp><a></xmp><iframe><a></iframe><noembed><a></noembed><noframes><a></noframes>"
        << "<style>\"&amp;<a>\"</style><xmp>\"<a>\"</xmp><iframe>\"<a>\"</iframe><noembed>\"<a>\"</noembed>"
           "<noframes>\"<a>\"</noframes>";
    QTest::newRow("noscript is raw text, scripts being on")
        << "<noscript><p>a</noscript>" << "<noscript>\"<p>a\"</noscript>";
    QTest::newRow("title and textarea are RCDATA: references read, tags not")
        << "<title>&lt;<b></title><textarea>&amp;<i></textarea>"
        << "<title>\"<<b>\"</title><textarea>\"&<i>\"</textarea>";
    QTest::newRow("a raw-text end tag must match its start tag")
        << "<style></script><a></style>" << "<style>\"</script><a>\"</style>";
    QTest::newRow("plaintext never ends")
        << "<plaintext></plaintext><b>&amp;" << "<plaintext>\"</plaintext><b>&amp;\"";
    QTest::newRow("a self-closing script is still raw text")
        << "<script/><b></script>" << "<script>\"<b>\"</script>";
}

void tst_HtmlTreeState::tokenizerFollowsTree()
{
    QFETCH(QString, document);
    QFETCH(QString, tokens);
    QCOMPARE(trace(document), tokens);
}

void tst_HtmlTreeState::beforeBody_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("beforeBody");

    QTest::newRow("nothing read yet") << "" << true;
    QTest::newRow("the head's own elements and whitespace")
        << "<!DOCTYPE html>\n<html>\n <head><meta charset=utf-8><title>a b</title><link rel=x>\n"
           "<style>p{}</style><script>var a</script><base href=x><!-- c -->"
        << true;
    QTest::newRow("the head's end tag: still before the body") << "<head></head>\n" << true;
    QTest::newRow("noscript's raw text holds no body") << "<head><noscript><p>x</noscript>" << true;
    QTest::newRow("text starts the body") << "<head><title>t</title></head>x" << false;
    QTest::newRow("a reference in text starts the body") << "<head>&amp;" << false;
    QTest::newRow("a body element starts the body") << "<meta charset=x><div>" << false;
    QTest::newRow("the body start tag starts the body") << "<body>" << false;
    QTest::newRow("</br> starts the body") << "<head></br>" << false;
    QTest::newRow("svg starts the body") << "<svg>" << false;
}

void tst_HtmlTreeState::beforeBody()
{
    QFETCH(QString, document);
    QFETCH(bool, beforeBody);
    Checkpoint end;
    trace(document, &end);
    QCOMPARE(end.tree().beforeBody(), beforeBody);
}

void tst_HtmlTreeState::openElements_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("depth");

    QTest::newRow("each end tag closes its own element") << "<div><a href=x>y</a> <span></span></div>" << 0;
    QTest::newRow("an end tag in other case closes it too") << "<DIV><Span></sPAN>" << 1;
    QTest::newRow("an end tag of an element not open closes nothing") << "<div><b></span>" << 2;
    QTest::newRow("an end tag of an element further down closes those above it") << "<div><b><i></div>" << 0;
    QTest::newRow("html, head and body are not counted") << "<html><head></head><body><p>" << 1;
    QTest::newRow("the body's end tag closes nothing") << "<div></body></html>" << 1;
    QTest::newRow("a void element stays closed") << "<div><br><img></img></br>" << 1;
    QTest::newRow("a paragraph closed by a div") << "<p><div></div>" << 0;
    QTest::newRow("elements of names the tree does not know") << "<x-a><x-b></x-b>" << 1;
    QTest::newRow("a row's end tag closes its cell") << "<table><tr><td></tr>" << 1;
    QTest::newRow("a table's end tag as the current node") << "<table></table>" << 0;
    QTest::newRow("a list item closes the one before") << "<ul><li><li></ul>" << 0;
    QTest::newRow("svg's own elements") << "<svg><g></g>" << 1;
}

// How many elements are open after the document: what decides how far an end tag reaches.
void tst_HtmlTreeState::openElements()
{
    QFETCH(QString, document);
    QFETCH(int, depth);
    Checkpoint end;
    trace(document, &end);
    QCOMPARE(end.tree().depth(), depth);
    // Tokenizing without tokens leaves the same tree.
    struct Quiet : TokenSink
    {
        bool wantsTokens() const override { return false; }
        void token(const Token &) override {}
        void parseError(ParseError, qsizetype) override {}
    } quiet;
    Checkpoint quietEnd;
    Tokenizer(quiet, false).run(document, quietEnd, document.size());
    QVERIFY(quietEnd == end);
}

void tst_HtmlTreeState::deepNestingStaysBounded()
{
    // A hundred thousand open elements: the checkpoint keeps the innermost ones and
    // still reads the svg at the bottom.
    const QString document = QStringLiteral("<div>").repeated(100000) + QStringLiteral("<svg><g><![CDATA[x]]></svg><![CDATA[y]]>");
    Checkpoint end;
    const QString tokens = trace(document, &end);
    QVERIFY(tokens.endsWith(QStringLiteral("<svg><g>\"x\"</svg><!--[CDATA[y]]-->")));
    // Full when the svg opened; its end tag closed the svg and the g.
    QCOMPARE(end.tree().depth(), TreeState::stackCapacity - 2);
    QCOMPARE(end.tree().forgottenDepth(), 100000u + 2 - TreeState::stackCapacity);
    QVERIFY(sizeof(Checkpoint) <= 512);
}

QTEST_GUILESS_MAIN(tst_HtmlTreeState)
#include "tst_htmltreestate.moc"
