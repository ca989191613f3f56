#include "Tokenizer.h"

#include <QRegularExpression>
#include <QTest>

using namespace html;

namespace {

// What a colouring sink sees: each token's kind and offsets, its name's and its
// attributes' offsets, references inside values, errors with their offsets.
class SpanSink : public TokenSink
{
public:
    void token(const Token &token) override
    {
        static const char *const kinds[] = {"doctype", "start", "end", "comment", "text", "eof"};
        // Characters split by a run's end are one stretch of text.
        if (token.kind == TokenKind::Characters && !token.characterReference && lastToken >= 0
            && spans[lastToken].startsWith(u"text[") && lastEnd == token.start) {
            spans[lastToken] = QStringLiteral("text[%1,%2)").arg(lastStart).arg(token.end);
            lastEnd = token.end;
            return;
        }
        QString span = QStringLiteral("%1[%2,%3)")
                           .arg(QLatin1String(token.characterReference ? "ref" : kinds[int(token.kind)]))
                           .arg(token.start)
                           .arg(token.end);
        if ((token.kind == TokenKind::StartTag || token.kind == TokenKind::EndTag) && token.nameStart >= 0)
            span += QStringLiteral(" name[%1,%2)").arg(token.nameStart).arg(token.nameEnd);
        for (const Attribute &attribute : token.attributes) {
            span += QStringLiteral(" attr[%1,%2)").arg(attribute.nameStart).arg(attribute.nameEnd);
            if (attribute.valueStart >= 0)
                span += QStringLiteral("=[%1,%2)").arg(attribute.valueStart).arg(attribute.valueEnd);
        }
        lastToken = spans.size();
        spans.append(span);
        lastStart = token.start;
        lastEnd = token.end;
    }
    void parseError(ParseError error, qsizetype position) override
    {
        spans.append(QStringLiteral("%1@%2").arg(parseErrorCode(error)).arg(position));
    }
    void attributeReference(qsizetype start, qsizetype end) override
    {
        spans.append(QStringLiteral("attr-ref[%1,%2)").arg(start).arg(end));
    }

    QStringList spans;
    qsizetype lastStart = 0;
    qsizetype lastEnd = -1;
    qsizetype lastToken = -1;
};

// Documents that go through every kind of state a checkpoint can fall in.
const char *const documents[] = {
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\" 'http://www.w3.org/TR/html4/strict.dtd'>\r\n"
    "<html lang=en><head><title>A &amp; B</title><script>if (a<b) x = '</p>';<!--<script>--></script>"
    "<style>p > a { }</style></head>\r\n<body class=\"x y\" data-a='1&copy=2' hidden>text &notin; &#x1F600; &#128"
    "<!-- a -- comment --!><a href=/x?a=1&amp;b=2>link</a><?php echo ?></p></body>",
    "<svg viewBox='0 0 1 1'><foreignObject><textarea>a</textarea></foreignObject><![CDATA[ <x> ]]]></svg>"
    "<math><mi><style>a</style></mi><annotation-xml encoding=text/html><script>b</script></annotation-xml></math>",
    "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 <b\x01>\x7F<x y=\"\xEF\xBF\xBF\"></x  ><p/>&ZeroWidthSpace;&Eacute&#0;",
    // Tags of the kinds read in one go and those just past them: duplicates, which a
    // piece that starts inside the tag must find too, spacing, slashes, end tags with
    // attributes, values unquoted, empty and with references.
    "<IMG Src=a.png ALT='x' src=\"b\" alt = y /><a href=/x/y?z class=\"\" CLASS=c\tid=q></a x=1></br/>"
    "<p a b=1 A c='2'd=3 b><i x=\"&amp;\" X='&lt;' y=&gt; Y=z><font color=red><b a=\"1\" / a=2>"
    "<p a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 B=9 i=0 c=1></p a=1 A=2 b=3 c=4 d=5 e=6 f=7 g=8 h=9 H=0>"
    "<div\r\nclass=a\r\nCLASS=b><s a=`1` b=1= c=\"1\"\x01 d=\"\xC3\xA9\" D=\"\xEF\xBF\xBE\"><u  x\n=\n1  >",
    // The references read in one go and those just past them: without their ';', longer,
    // in other case, in a title, and at the end.
    "&nbsp;<p>&amp;&amp&ampx;&lt;&lt&ltx&gt;&gt=&quot;&quot&quotx;&nbsp;&nbsp&nbspx&AMP;&Amp;&amp;amp;&lt;;"
    "&#38;&am;<title>&amp;&lt;</title>&gt;&quot;&nbsp;&quo",
};

} // namespace

class tst_HtmlTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void spans_data();
    void spans();
    void resumesFromAnyCheckpoint_data();
    void resumesFromAnyCheckpoint();
    void buildingTokensChangesNoSpan_data();
    void buildingTokensChangesNoSpan();
};

void tst_HtmlTokenizer::spans_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("spans");

    QTest::newRow("a tag's name and attributes, values with their quotes")
        << "<a href=\"x\" id=y hidden>"
        << QStringList{"start[0,24) name[1,2) attr[3,7)=[8,11) attr[12,14)=[15,16) attr[17,23)", "eof[24,24)"};
    QTest::newRow("a reference in text is a token of its own")
        << "a&amp;b" << QStringList{"text[0,1)", "ref[1,6)", "text[6,7)", "eof[7,7)"};
    QTest::newRow("a reference in a value is told for colouring")
        << "<a t='x&lt;y'>" << QStringList{"attr-ref[7,11)", "start[0,14) name[1,2) attr[3,4)=[5,13)", "eof[14,14)"};
    QTest::newRow("a legacy name before '=' in a value stays text")
        << "<a href='?a&copy=1'>" << QStringList{"start[0,20) name[1,2) attr[3,7)=[8,19)", "eof[20,20)"};
    QTest::newRow("a legacy name in text is read without its ';', with an error after it")
        << "&notit;" << QStringList{"missing-semicolon-after-character-reference@4", "ref[0,4)", "text[4,7)", "eof[7,7)"};
    QTest::newRow("the common references, each a token of its own")
        << "&lt;&gt;&quot;&nbsp;&amp;"
        << QStringList{"ref[0,4)", "ref[4,8)", "ref[8,14)", "ref[14,20)", "ref[20,25)", "eof[25,25)"};
    QTest::newRow("a common name without its ';' is its legacy reference")
        << "&quot &nbspx &lt"
        << QStringList{"missing-semicolon-after-character-reference@5", "ref[0,5)",
                       "missing-semicolon-after-character-reference@11", "text[5,6)", "ref[6,11)",
                       "missing-semicolon-after-character-reference@16", "text[11,13)", "ref[13,16)", "eof[16,16)"};
    QTest::newRow("a name that only begins like a common one")
        << "&ampx;&am;&Lt;"
        << QStringList{"missing-semicolon-after-character-reference@4", "ref[0,4)",
                       "unknown-named-character-reference@9", "text[4,10)", "ref[10,14)", "eof[14,14)"};
    QTest::newRow("an end tag, a comment and a DOCTYPE")
        << "<!doctype html></b ><!--c-->"
        << QStringList{"doctype[0,15)", "end[15,20) name[17,18)", "comment[20,28)", "eof[28,28)"};
    QTest::newRow("a bogus comment from '</' and a digit")
        << "</3 x>" << QStringList{"invalid-first-character-of-tag-name@2", "comment[0,6)", "eof[6,6)"};
    QTest::newRow("errors at the character that shows them")
        << "<a b c=\"1\"d>" << QStringList{"missing-whitespace-between-attributes@10", "start[0,12) name[1,2) attr[3,4) attr[5,6)=[7,10) attr[10,11)", "eof[12,12)"};
    QTest::newRow("a duplicate attribute is reported where its name ends")
        << "<a x=1 X=2>" << QStringList{"duplicate-attribute@8", "start[0,11) name[1,2) attr[3,4)=[5,6) attr[7,8)=[9,10)", "eof[11,11)"};
    QTest::newRow("a CR LF pair is one newline, a control character an error once")
        << "a\r\n\x01<" << QStringList{"control-character-in-input-stream@3", "eof-before-tag-name@5", "text[0,5)", "eof[5,5)"};
}

void tst_HtmlTokenizer::spans()
{
    QFETCH(QString, document);
    QFETCH(QStringList, spans);
    SpanSink sink;
    Tokenizer tokenizer(sink, false);
    Checkpoint checkpoint;
    tokenizer.run(document, checkpoint, document.size());
    QCOMPARE(sink.spans, spans);
}

void tst_HtmlTokenizer::resumesFromAnyCheckpoint_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("pieces");
    for (const char *document : documents) {
        for (int pieces : {2, 3, 7}) {
            QTest::addRow("%.20s... in %d pieces, from every offset", document, pieces)
                << QString::fromUtf8(document) << pieces;
        }
    }
}

// The view keeps checkpoints and reads from the nearest: wherever they fall, reading on
// from them tells the same tokens, errors and tree as one reading of the whole.
void tst_HtmlTokenizer::resumesFromAnyCheckpoint()
{
    QFETCH(QString, document);
    QFETCH(int, pieces);

    SpanSink whole;
    Checkpoint end;
    Tokenizer(whole, false).run(document, end, document.size());

    for (qsizetype first = 1; first < document.size(); ++first) {
        SpanSink pieced;
        Tokenizer tokenizer(pieced, false);
        Checkpoint checkpoint;
        for (qsizetype stop = first; stop < document.size(); stop += pieces)
            tokenizer.run(document, checkpoint, stop);
        tokenizer.run(document, checkpoint, document.size());
        // A tag read in two pieces tells only the attributes of its second.
        QStringList wholeSpans = whole.spans;
        QStringList piecedSpans = pieced.spans;
        for (QStringList *list : {&wholeSpans, &piecedSpans}) {
            for (QString &span : *list) {
                if (span.startsWith(u"start") || span.startsWith(u"end"))
                    span.truncate(span.indexOf(u')') + 1);
            }
        }
        // Errors come before the characters they were found in when those are told at
        // a run's end, so each list is compared in its own order.
        const auto isError = [](const QString &span) { return span.contains(u'@'); };
        QCOMPARE(piecedSpans.filter(QRegularExpression("@")), wholeSpans.filter(QRegularExpression("@")));
        piecedSpans.removeIf(isError);
        wholeSpans.removeIf(isError);
        QCOMPARE(piecedSpans, wholeSpans);
        QVERIFY(checkpoint == end);
    }
}

void tst_HtmlTokenizer::buildingTokensChangesNoSpan_data()
{
    QTest::addColumn<QString>("document");
    for (const char *document : documents)
        QTest::addRow("%.30s...", document) << QString::fromUtf8(document);
}

void tst_HtmlTokenizer::buildingTokensChangesNoSpan()
{
    QFETCH(QString, document);
    SpanSink withStrings;
    SpanSink without;
    Checkpoint a;
    Checkpoint b;
    Tokenizer(withStrings, true).run(document, a, document.size());
    Tokenizer(without, false).run(document, b, document.size());
    QCOMPARE(withStrings.spans, without.spans);
    QVERIFY(a == b);
}

QTEST_GUILESS_MAIN(tst_HtmlTokenizer)
#include "tst_htmltokenizer.moc"
