#include "MarkupTokenizer.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A stretch of a fragment and the colour it must have, worked out by hand from the
// HTML standard's tokenizer.
struct Piece
{
    QString text;
    MarkupRole role;
};
using Pieces = QList<Piece>;

constexpr MarkupRole Text = MarkupRole::Text;
constexpr MarkupRole Tag = MarkupRole::Tag;
constexpr MarkupRole Name = MarkupRole::AttributeName;
constexpr MarkupRole Value = MarkupRole::AttributeValue;
constexpr MarkupRole Comment = MarkupRole::Comment;
constexpr MarkupRole Doctype = MarkupRole::Doctype;
constexpr MarkupRole Ref = MarkupRole::CharacterReference;
constexpr MarkupRole Pi = MarkupRole::ProcessingInstruction;
constexpr MarkupRole CData = MarkupRole::CData;

QString joined(const Pieces &pieces)
{
    QString text;
    for (const Piece &piece : pieces)
        text += piece.text;
    return text;
}

void appendMerged(QList<MarkupSpan> &spans, const MarkupSpan &span)
{
    if (span.length == 0)
        return;
    if (!spans.isEmpty() && spans.last().role == span.role
        && spans.last().start + spans.last().length == span.start) {
        spans.last().length += span.length;
    } else {
        spans.append(span);
    }
}

QList<MarkupSpan> spansOf(const Pieces &pieces)
{
    QList<MarkupSpan> spans;
    qsizetype at = 0;
    for (const Piece &piece : pieces) {
        appendMerged(spans, {at, piece.text.size(), piece.role});
        at += piece.text.size();
    }
    return spans;
}

// The colouring in a form that shows what went wrong when a comparison fails.
QString describe(QStringView text, const QList<MarkupSpan> &spans)
{
    static const char *const names[] = {"text", "tag", "name", "value", "comment",
                                        "doctype", "ref", "pi", "cdata"};
    QStringList parts;
    for (const MarkupSpan &span : spans) {
        parts += QString::fromLatin1(names[int(span.role)]) + u'[' + text.sliced(span.start, span.length).toString()
                 + u']';
    }
    return parts.join(u' ');
}

// Whether spans cover text exactly, in order, each differing in role from the one
// before, as tokenizeMarkup promises.
bool coversExactly(QStringView text, const QList<MarkupSpan> &spans)
{
    qsizetype at = 0;
    for (qsizetype i = 0; i < spans.size(); ++i) {
        if (spans[i].start != at || spans[i].length <= 0 || (i > 0 && spans[i].role == spans[i - 1].role))
            return false;
        at += spans[i].length;
    }
    return at == text.size();
}

struct Result
{
    QList<MarkupSpan> spans;
    MarkupState state;
    bool eachPieceCovered = true;
};

// Colours text in the pieces that the cuts make, each told what follows it, as the
// view does from its checkpoints; the spans come back merged and by offset into text.
Result colourInPieces(QStringView text, MarkupSyntax syntax, const QList<qsizetype> &cuts)
{
    Result result{{}, MarkupState(syntax)};
    qsizetype start = 0;
    QList<qsizetype> ends = cuts;
    ends.append(text.size());
    for (qsizetype end : ends) {
        QList<MarkupSpan> spans;
        result.state = tokenizeMarkup(text.sliced(start, end - start), result.state, &spans, text.sliced(end));
        result.eachPieceCovered = result.eachPieceCovered && coversExactly(text.sliced(start, end - start), spans);
        for (const MarkupSpan &span : spans)
            appendMerged(result.spans, {span.start + start, span.length, span.role});
        start = end;
    }
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Pieces)
Q_DECLARE_METATYPE(MarkupSyntax)

class TestMarkupTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void colours_data();
    void colours();
    void endState_data();
    void endState();
    void randomMarkupResumes();
    void appendsToTheCallersSpans();
    void syntaxFor_data();
    void syntaxFor();
};

void TestMarkupTokenizer::colours_data()
{
    QTest::addColumn<MarkupSyntax>("syntax");
    QTest::addColumn<Pieces>("pieces");

    const MarkupSyntax html = MarkupSyntax::Html;
    const MarkupSyntax xml = MarkupSyntax::Xml;

    QTest::newRow("plain text") << html << Pieces{{u"hello, world"_s, Text}};
    QTest::newRow("empty document") << html << Pieces{};
    QTest::newRow("start tag with a double-quoted value")
        << html
        << Pieces{{u"<div "_s, Tag}, {u"class"_s, Name}, {u"="_s, Tag}, {u"\"row\""_s, Value}, {u">"_s, Tag},
                  {u"x"_s, Text}, {u"</div>"_s, Tag}};
    QTest::newRow("single-quoted and unquoted values, spaces around =")
        << html
        << Pieces{{u"<a "_s, Tag}, {u"b"_s, Name}, {u" = "_s, Tag}, {u"'c d'"_s, Value}, {u" "_s, Tag},
                  {u"e"_s, Name}, {u"="_s, Tag}, {u"f/g"_s, Value}, {u">"_s, Tag}};
    QTest::newRow("attribute without a value, self-closing")
        << html << Pieces{{u"<br "_s, Tag}, {u"clear"_s, Name}, {u" />"_s, Tag}};
    QTest::newRow("missing space between attributes")
        << html
        << Pieces{{u"<a "_s, Tag}, {u"b"_s, Name}, {u"="_s, Tag}, {u"\"c\""_s, Value}, {u"d"_s, Name},
                  {u">"_s, Tag}};
    QTest::newRow("an attribute name may start with =")
        << html << Pieces{{u"<a "_s, Tag}, {u"=b"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("quotes and < inside an attribute name")
        << html << Pieces{{u"<a "_s, Tag}, {u"b\"c<d"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("tag over several lines")
        << html
        << Pieces{{u"<IMG\n  "_s, Tag}, {u"SRC"_s, Name}, {u"=\n"_s, Tag}, {u"\"a\nb\""_s, Value},
                  {u"\n>"_s, Tag}};
    QTest::newRow("end tag with an attribute") << html << Pieces{{u"</p "_s, Tag}, {u"x"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("</> is an empty tag") << html << Pieces{{u"a"_s, Text}, {u"</>"_s, Tag}, {u"b"_s, Text}};

    QTest::newRow("character references in text")
        << html
        << Pieces{{u"a "_s, Text}, {u"&amp;"_s, Ref}, {u" "_s, Text}, {u"&#123;"_s, Ref}, {u" "_s, Text},
                  {u"&#x1F;"_s, Ref}, {u"&#X1f;"_s, Ref}, {u" "_s, Text}, {u"&frac12;"_s, Ref}};
    QTest::newRow("numeric references need no semicolon")
        << html << Pieces{{u"&#38"_s, Ref}, {u"x "_s, Text}, {u"&#x26"_s, Ref}, {u"g"_s, Text}};
    QTest::newRow("what only looks like a reference is text")
        << html << Pieces{{u"AT&T & b &#; &#x; &#xg; &amp &1a; &a-b; & amp;"_s, Text}};
    QTest::newRow("a name longer than any reference is text")
        << html << Pieces{{u"&abcdefghijklmnopqrstuvwxyzabcdefg;"_s, Text}};
    QTest::newRow("the longest reference name")
        << html << Pieces{{u"&CounterClockwiseContourIntegral;"_s, Ref}};
    QTest::newRow("references in attribute values")
        << html
        << Pieces{{u"<a "_s, Tag}, {u"href"_s, Name}, {u"="_s, Tag}, {u"\"?a=1"_s, Value}, {u"&amp;"_s, Ref},
                  {u"b=2\""_s, Value}, {u" "_s, Tag}, {u"t"_s, Name}, {u"="_s, Tag}, {u"a"_s, Value},
                  {u"&lt;"_s, Ref}, {u"b"_s, Value}, {u">"_s, Tag}};
    QTest::newRow("no references inside a tag's name or a comment")
        << html << Pieces{{u"<a&amp;>"_s, Tag}, {u"<!-- &amp; -->"_s, Comment}};

    QTest::newRow("comment")
        << html << Pieces{{u"a"_s, Text}, {u"<!-- b -- c - d --->"_s, Comment}, {u"e"_s, Text}};
    QTest::newRow("<!--> and <!---> are empty comments")
        << html << Pieces{{u"<!-->"_s, Comment}, {u"x"_s, Text}, {u"<!--->"_s, Comment}, {u"y"_s, Text}};
    QTest::newRow("comment closed by --!>")
        << html << Pieces{{u"<!-- a --!>"_s, Comment}, {u"x"_s, Text}};
    QTest::newRow("--! not followed by > goes on")
        << html << Pieces{{u"<!-- a --!b -->"_s, Comment}, {u"x"_s, Text}};
    QTest::newRow("a nested <!-- changes nothing")
        << html << Pieces{{u"<!-- <!-- a -->"_s, Comment}, {u"-->"_s, Text}};
    QTest::newRow("unclosed comment runs to the end")
        << html << Pieces{{u"<p>"_s, Tag}, {u"<!-- a <b> c -"_s, Comment}};
    QTest::newRow("bogus comments: <!x>, </3>, </ >")
        << html << Pieces{{u"<!x y>"_s, Comment}, {u"a"_s, Text}, {u"</3>"_s, Comment}, {u"</ >"_s, Comment}};
    QTest::newRow("<! at the end is a bogus comment") << html << Pieces{{u"a"_s, Text}, {u"<!"_s, Comment}};

    QTest::newRow("doctype") << html << Pieces{{u"<!DOCTYPE html>"_s, Doctype}, {u"\n"_s, Text}};
    QTest::newRow("doctype in any case, ending at the first >")
        << html
        << Pieces{{u"<!doctype html PUBLIC \"a>"_s, Doctype}, {u"b\">"_s, Text}};
    QTest::newRow("processing instruction in HTML ends at the first >")
        << html << Pieces{{u"<?php a>"_s, Pi}, {u"b ?>"_s, Text}};
    QTest::newRow("processing instruction in XML ends at ?>")
        << xml << Pieces{{u"<?xml a>b ?\?>"_s, Pi}, {u"<r/>"_s, Tag}};
    QTest::newRow("CDATA in HTML content ends at the first >")
        << html << Pieces{{u"<![CDATA[a>"_s, CData}, {u"b]]>"_s, Text}};
    QTest::newRow("CDATA inside svg ends at ]]>")
        << html
        << Pieces{{u"<svg>"_s, Tag}, {u"<![CDATA[a>b]]]>"_s, CData}, {u"</svg>"_s, Tag}, {u"<![CDATA[>"_s, CData}};
    QTest::newRow("CDATA in XML ends at ]]>") << xml << Pieces{{u"<![CDATA[<a>]]>"_s, CData}, {u"x"_s, Text}};
    QTest::newRow("lower-case cdata is a bogus comment") << xml << Pieces{{u"<![cdata[a]]>"_s, Comment}};
    QTest::newRow("XML doctype with an internal subset")
        << xml << Pieces{{u"<!DOCTYPE svg [ <!ENTITY a \"b\"> ]>"_s, Doctype}, {u"<svg/>"_s, Tag}};

    QTest::newRow("stray < is text") << html << Pieces{{u"a < b <3 <= <"_s, Text}};
    QTest::newRow("</ at the end is text") << html << Pieces{{u"a</"_s, Text}};
    QTest::newRow("a tag cut off by the end") << html << Pieces{{u"<a "_s, Tag}, {u"href"_s, Name}, {u"="_s, Tag}, {u"\"x"_s, Value}};
    QTest::newRow("XML names may start with _ or a non-ASCII letter")
        << xml << Pieces{{u"<_a>"_s, Tag}, {u"<é/>"_s, Tag}};
    QTest::newRow("HTML tag names start with an ASCII letter") << html << Pieces{{u"<_a> <é>"_s, Text}};

    QTest::newRow("script contents are text")
        << html
        << Pieces{{u"<script>"_s, Tag}, {u"if (a<b && c>d) x = \"</div>&amp;\";"_s, Text}, {u"</script>"_s, Tag},
                  {u"<b>"_s, Tag}};
    QTest::newRow("script end tag in upper case")
        << html << Pieces{{u"<SCRIPT>"_s, Tag}, {u"x"_s, Text}, {u"</SCRIPT>"_s, Tag}};
    QTest::newRow("script end tag with a space, a slash, attributes")
        << html
        << Pieces{{u"<script "_s, Tag}, {u"src"_s, Name}, {u"="_s, Tag}, {u"x"_s, Value}, {u">"_s, Tag},
                  {u"a"_s, Text}, {u"</script >"_s, Tag}, {u"<script>"_s, Tag}, {u"b"_s, Text},
                  {u"</script/>"_s, Tag}, {u"<script>"_s, Tag}, {u"c"_s, Text}, {u"</script "_s, Tag},
                  {u"x"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("</scriptx> does not end a script")
        << html << Pieces{{u"<script>"_s, Tag}, {u"a</scriptx>b</scrip>c"_s, Text}, {u"</script>"_s, Tag}};
    QTest::newRow("a self-closing script still opens one")
        << html << Pieces{{u"<script/>"_s, Tag}, {u"<b>"_s, Text}, {u"</script>"_s, Tag}};
    QTest::newRow("script escaped by <!-- still ends at </script>")
        << html << Pieces{{u"<script>"_s, Tag}, {u"<!-- a"_s, Text}, {u"</script>"_s, Tag}, {u"b"_s, Text}};
    QTest::newRow("<script> inside an escaped script hides </script> until -->")
        << html
        << Pieces{{u"<script>"_s, Tag}, {u"<!-- w(\"<script></script>\") -->"_s, Text}, {u"</script>"_s, Tag}};
    QTest::newRow("--> in a double-escaped script ends the escape")
        << html
        << Pieces{{u"<script>"_s, Tag}, {u"<!--<script>--->"_s, Text}, {u"</script>"_s, Tag}};
    QTest::newRow("<!--> in a script escapes nothing")
        << html << Pieces{{u"<script>"_s, Tag}, {u"<!--><script>"_s, Text}, {u"</script>"_s, Tag}};
    QTest::newRow("style contents are text")
        << html
        << Pieces{{u"<style>"_s, Tag}, {u"a<b>{x:\"&amp;\"}"_s, Text}, {u"</STYLE>"_s, Tag}, {u"&amp;"_s, Ref}};
    QTest::newRow("title: references coloured, tags not")
        << html
        << Pieces{{u"<title>"_s, Tag}, {u"a "_s, Text}, {u"&amp;"_s, Ref}, {u" <b></titl>"_s, Text},
                  {u"</title>"_s, Tag}};
    QTest::newRow("textarea holds markup as text")
        << html
        << Pieces{{u"<textarea>"_s, Tag}, {u"</div><!--"_s, Text}, {u"</textarea\t>"_s, Tag}, {u"<p>"_s, Tag}};
    QTest::newRow("iframe, xmp, noembed, noframes are raw text")
        << html
        << Pieces{{u"<iframe>"_s, Tag}, {u"<b>"_s, Text}, {u"</iframe>"_s, Tag}, {u"<xmp>"_s, Tag},
                  {u"<b>"_s, Text}, {u"</xmp>"_s, Tag}, {u"<noembed>"_s, Tag}, {u"<b>"_s, Text},
                  {u"</noembed>"_s, Tag}, {u"<noframes>"_s, Tag}, {u"<b>"_s, Text}, {u"</noframes>"_s, Tag}};
    QTest::newRow("noscript holds markup")
        << html << Pieces{{u"<noscript>"_s, Tag}, {u"<b>"_s, Tag}, {u"</noscript>"_s, Tag}};
    QTest::newRow("plaintext runs to the end")
        << html << Pieces{{u"<plaintext>"_s, Tag}, {u"</plaintext><b>&amp;"_s, Text}};
    QTest::newRow("XML has no raw text")
        << xml
        << Pieces{{u"<script>"_s, Tag}, {u"a"_s, Text}, {u"<b/>"_s, Tag}, {u"</script>"_s, Tag},
                  {u"<title>"_s, Tag}, {u"<b>"_s, Tag}};
    QTest::newRow("title and style inside svg hold markup")
        << html
        << Pieces{{u"<svg>"_s, Tag}, {u"<title>"_s, Tag}, {u"<a>"_s, Tag}, {u"</title>"_s, Tag},
                  {u"<style>"_s, Tag}, {u"<a>"_s, Tag}, {u"</svg>"_s, Tag}, {u"<style>"_s, Tag}, {u"<b>"_s, Text},
                  {u"</style>"_s, Tag}};
    QTest::newRow("an HTML tag inside svg leaves it")
        << html
        << Pieces{{u"<svg>"_s, Tag}, {u"<div>"_s, Tag}, {u"<style>"_s, Tag}, {u"<b>"_s, Text}, {u"</style>"_s, Tag}};
    QTest::newRow("a self-closed svg is over at once")
        << html
        << Pieces{{u"<math/>"_s, Tag}, {u"<style>"_s, Tag}, {u"<b>"_s, Text}, {u"</style>"_s, Tag}};
}

// Colours each fragment whole, cut in two at every position and cut into single
// characters: the colours and the state at the end must agree every time.
void TestMarkupTokenizer::colours()
{
    QFETCH(MarkupSyntax, syntax);
    QFETCH(Pieces, pieces);

    const QString text = joined(pieces);
    const QList<MarkupSpan> expected = spansOf(pieces);

    const Result whole = colourInPieces(text, syntax, {});
    QCOMPARE(describe(text, whole.spans), describe(text, expected));
    QCOMPARE(whole.spans, expected);
    QVERIFY(whole.eachPieceCovered);
    QVERIFY(tokenizeMarkup(text, MarkupState(syntax), nullptr) == whole.state);

    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        const Result halves = colourInPieces(text, syntax, {cut});
        QVERIFY2(halves.spans == expected, qPrintable(u"cut at %1: "_s.arg(cut) + describe(text, halves.spans)));
        QVERIFY2(halves.eachPieceCovered, qPrintable(u"cut at %1"_s.arg(cut)));
        QVERIFY2(halves.state == whole.state, qPrintable(u"cut at %1"_s.arg(cut)));
    }
    QList<qsizetype> everyCharacter;
    for (qsizetype cut = 1; cut < text.size(); ++cut)
        everyCharacter.append(cut);
    const Result single = colourInPieces(text, syntax, everyCharacter);
    QCOMPARE(describe(text, single.spans), describe(text, expected));
    QVERIFY(single.eachPieceCovered);
    QVERIFY(single.state == whole.state);
}

void TestMarkupTokenizer::endState_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("inData");

    QTest::newRow("after text") << u"a"_s << true;
    QTest::newRow("after a whole tag") << u"<a href=x>"_s << true;
    QTest::newRow("inside a tag") << u"<a href=x"_s << false;
    QTest::newRow("inside a comment") << u"<!-- a"_s << false;
    QTest::newRow("inside a script") << u"<script>a"_s << false;
    QTest::newRow("after a script") << u"<script>a</script>"_s << true;
    QTest::newRow("after a comment") << u"<!-- a -->"_s << true;
    QTest::newRow("<!- at the end is a bogus comment") << u"<!-"_s << false;
    QTest::newRow("among a reference's digits") << u"&#12"_s << false;
}

// The state a piece ends in is what the view stores in a checkpoint.
void TestMarkupTokenizer::endState()
{
    QFETCH(QString, text);
    QFETCH(bool, inData);

    QCOMPARE(tokenizeMarkup(text, MarkupState(), nullptr).isData(), inData);
}

// Fragments made of markup's punctuation at random: whatever they hold, the spans
// cover the text and cutting it anywhere changes nothing.
void TestMarkupTokenizer::randomMarkupResumes()
{
    const QString alphabet = u"<>/!-?&#;=\"' \nxXaS[]CDATscript"_s;
    QRandomGenerator random(15);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i)
            text += alphabet[random.bounded(int(alphabet.size()))];
        // Words that open states, so that random text reaches them.
        static const QString words[] = {u"<script>"_s, u"</script>"_s, u"<!--"_s, u"-->"_s, u"<title>"_s,
                                        u"<svg>"_s, u"<![CDATA["_s, u"&amp;"_s, u"&#x"_s};
        for (int i = random.bounded(4); i > 0; --i)
            text.insert(random.bounded(int(text.size()) + 1), words[random.bounded(int(std::size(words)))]);

        for (MarkupSyntax syntax : {MarkupSyntax::Html, MarkupSyntax::Xml}) {
            const Result whole = colourInPieces(text, syntax, {});
            QVERIFY2(whole.eachPieceCovered, qPrintable(text));
            for (qsizetype cut = 0; cut <= text.size(); ++cut) {
                const Result halves = colourInPieces(text, syntax, {cut});
                QVERIFY2(halves.eachPieceCovered && halves.spans == whole.spans && halves.state == whole.state,
                         qPrintable(u"%1 cut at %2: %3 instead of %4"_s.arg(text).arg(cut).arg(
                             describe(text, halves.spans), describe(text, whole.spans))));
            }
        }
    }
}

// The view colours row after row into one list: a row's spans never merge with the
// spans already there.
void TestMarkupTokenizer::appendsToTheCallersSpans()
{
    QList<MarkupSpan> spans{{0, 3, Tag}};
    tokenizeMarkup(u"<b><i>"_s, MarkupState(), &spans);
    QCOMPARE(spans, (QList<MarkupSpan>{{0, 3, Tag}, {0, 6, Tag}}));
}

void TestMarkupTokenizer::syntaxFor_data()
{
    QTest::addColumn<QByteArray>("contentType"); // the MIME type's essence
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("syntax"); // -1: not coloured

    QTest::newRow("text/html") << QByteArray("text/html") << u"x"_s << int(MarkupSyntax::Html);
    QTest::newRow("XHTML is XML") << QByteArray("application/xhtml+xml") << u""_s << int(MarkupSyntax::Xml);
    QTest::newRow("SVG is XML") << QByteArray("image/svg+xml") << u""_s << int(MarkupSyntax::Xml);
    QTest::newRow("text/xml") << QByteArray("text/xml") << u""_s << int(MarkupSyntax::Xml);
    QTest::newRow("plain text, even if it looks like markup") << QByteArray("text/plain") << u"<p>"_s << -1;
    QTest::newRow("JSON") << QByteArray("application/json") << u"{}"_s << -1;
    QTest::newRow("unlabelled markup") << QByteArray() << u"\n  <p>"_s << int(MarkupSyntax::Html);
    QTest::newRow("unlabelled XML") << QByteArray() << u"<?xml version=\"1.0\"?>"_s << int(MarkupSyntax::Xml);
    QTest::newRow("unlabelled text") << QByteArray() << u"a <p>"_s << -1;
}

void TestMarkupTokenizer::syntaxFor()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QFETCH(int, syntax);

    const std::optional<MarkupSyntax> found = markupSyntaxFor(contentType, text);
    QCOMPARE(found ? int(*found) : -1, syntax);
}

QTEST_APPLESS_MAIN(TestMarkupTokenizer)
#include "tst_markuptokenizer.moc"
