#include "MarkupTokenizer.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A stretch of a fragment and the colour it must have, worked out by hand.
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
Result colourInPieces(QStringView text, const QList<qsizetype> &cuts)
{
    Result result{{}, MarkupState()};
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
    QTest::addColumn<Pieces>("pieces");

    QTest::newRow("plain text") << Pieces{{u"hello, world"_s, Text}};
    QTest::newRow("empty document") << Pieces{};
    QTest::newRow("start tag with a double-quoted value")
        << Pieces{{u"<div "_s, Tag}, {u"class"_s, Name}, {u"="_s, Tag}, {u"\"row\""_s, Value}, {u">"_s, Tag},
                  {u"x"_s, Text}, {u"</div>"_s, Tag}};
    QTest::newRow("single-quoted and unquoted values, spaces around =")
        << Pieces{{u"<a "_s, Tag}, {u"b"_s, Name}, {u" = "_s, Tag}, {u"'c d'"_s, Value}, {u" "_s, Tag},
                  {u"e"_s, Name}, {u"="_s, Tag}, {u"f/g"_s, Value}, {u">"_s, Tag}};
    QTest::newRow("attribute without a value, self-closing")
        << Pieces{{u"<br "_s, Tag}, {u"clear"_s, Name}, {u" />"_s, Tag}};
    QTest::newRow("missing space between attributes")
        << Pieces{{u"<a "_s, Tag}, {u"b"_s, Name}, {u"="_s, Tag}, {u"\"c\""_s, Value}, {u"d"_s, Name},
                  {u">"_s, Tag}};
    QTest::newRow("an attribute name may start with =") << Pieces{{u"<a "_s, Tag}, {u"=b"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("quotes and < inside an attribute name")
        << Pieces{{u"<a "_s, Tag}, {u"b\"c<d"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("tag over several lines")
        << Pieces{{u"<IMG\n  "_s, Tag}, {u"SRC"_s, Name}, {u"=\n"_s, Tag}, {u"\"a\nb\""_s, Value},
                  {u"\n>"_s, Tag}};
    QTest::newRow("end tag with an attribute") << Pieces{{u"</p "_s, Tag}, {u"x"_s, Name}, {u">"_s, Tag}};
    QTest::newRow("</> is an empty tag") << Pieces{{u"a"_s, Text}, {u"</>"_s, Tag}, {u"b"_s, Text}};

    QTest::newRow("character references in text")
        << Pieces{{u"a "_s, Text}, {u"&amp;"_s, Ref}, {u" "_s, Text}, {u"&#123;"_s, Ref}, {u" "_s, Text},
                  {u"&#x1F;"_s, Ref}, {u"&#X1f;"_s, Ref}, {u" "_s, Text}, {u"&frac12;"_s, Ref}};
    QTest::newRow("numeric references need no semicolon")
        << Pieces{{u"&#38"_s, Ref}, {u"x "_s, Text}, {u"&#x26"_s, Ref}, {u"g"_s, Text}};
    QTest::newRow("what only looks like a reference is text")
        << Pieces{{u"AT&T & b &#; &#x; &#xg; &amp &1a; &a-b; & amp;"_s, Text}};
    QTest::newRow("a name longer than any reference is text")
        << Pieces{{u"&abcdefghijklmnopqrstuvwxyzabcdefg;"_s, Text}};
    QTest::newRow("the longest reference name") << Pieces{{u"&CounterClockwiseContourIntegral;"_s, Ref}};
    QTest::newRow("references in attribute values")
        << Pieces{{u"<a "_s, Tag}, {u"href"_s, Name}, {u"="_s, Tag}, {u"\"?a=1"_s, Value}, {u"&amp;"_s, Ref},
                  {u"b=2\""_s, Value}, {u" "_s, Tag}, {u"t"_s, Name}, {u"="_s, Tag}, {u"a"_s, Value},
                  {u"&lt;"_s, Ref}, {u"b"_s, Value}, {u">"_s, Tag}};
    QTest::newRow("no references inside a tag's name or a comment")
        << Pieces{{u"<a&amp;>"_s, Tag}, {u"<!-- &amp; -->"_s, Comment}};

    QTest::newRow("comment") << Pieces{{u"a"_s, Text}, {u"<!-- b -- c - d --->"_s, Comment}, {u"e"_s, Text}};
    QTest::newRow("<!--> and <!---> are empty comments")
        << Pieces{{u"<!-->"_s, Comment}, {u"x"_s, Text}, {u"<!--->"_s, Comment}, {u"y"_s, Text}};
    QTest::newRow("comment closed by --!>") << Pieces{{u"<!-- a --!>"_s, Comment}, {u"x"_s, Text}};
    QTest::newRow("--! not followed by > goes on") << Pieces{{u"<!-- a --!b -->"_s, Comment}, {u"x"_s, Text}};
    QTest::newRow("a nested <!-- changes nothing") << Pieces{{u"<!-- <!-- a -->"_s, Comment}, {u"-->"_s, Text}};
    QTest::newRow("unclosed comment runs to the end") << Pieces{{u"<p>"_s, Tag}, {u"<!-- a <b> c -"_s, Comment}};
    QTest::newRow("bogus comments: <!x>, </3>, </ >")
        << Pieces{{u"<!x y>"_s, Comment}, {u"a"_s, Text}, {u"</3>"_s, Comment}, {u"</ >"_s, Comment}};
    QTest::newRow("<! at the end is a bogus comment") << Pieces{{u"a"_s, Text}, {u"<!"_s, Comment}};

    QTest::newRow("doctype") << Pieces{{u"<!DOCTYPE html>"_s, Doctype}, {u"\n"_s, Text}};
    QTest::newRow("doctype in any case, ending at the first > outside a subset")
        << Pieces{{u"<!doctype html PUBLIC \"a>"_s, Doctype}, {u"b\">"_s, Text}};
    QTest::newRow("doctype with an internal subset")
        << Pieces{{u"<!DOCTYPE svg [ <!ENTITY a \"b\"> ]>"_s, Doctype}, {u"<svg/>"_s, Tag}};
    QTest::newRow("a ] in a subset goes back to the doctype; [ opens it again")
        << Pieces{{u"<!DOCTYPE a [ ] x [ > ] >"_s, Doctype}, {u"b"_s, Text}};
    QTest::newRow("processing instruction ends at ?>") << Pieces{{u"<?xml a>b ?\?>"_s, Pi}, {u"<r/>"_s, Tag}};
    QTest::newRow("processing instruction: ?? then >") << Pieces{{u"<?a ?\?>"_s, Pi}, {u"?>"_s, Text}};
    QTest::newRow("CDATA ends at ]]>") << Pieces{{u"<![CDATA[<a>]]>"_s, CData}, {u"x"_s, Text}};
    QTest::newRow("CDATA: a run of ] before >")
        << Pieces{{u"<![CDATA[a>b]]]>"_s, CData}, {u"<r>"_s, Tag}, {u"<![CDATA[] ]>"_s, CData}};
    QTest::newRow("lower-case cdata is a bogus comment") << Pieces{{u"<![cdata[a]]>"_s, Comment}};

    QTest::newRow("stray < is text") << Pieces{{u"a < b <3 <= <"_s, Text}};
    QTest::newRow("</ at the end is text") << Pieces{{u"a</"_s, Text}};
    QTest::newRow("a tag cut off by the end")
        << Pieces{{u"<a "_s, Tag}, {u"href"_s, Name}, {u"="_s, Tag}, {u"\"x"_s, Value}};
    QTest::newRow("names may start with _, : or a non-ASCII letter")
        << Pieces{{u"<_a>"_s, Tag}, {u"<é/>"_s, Tag}, {u"</:b>"_s, Tag}, {u"</_c>"_s, Tag}};
    QTest::newRow("no raw text: script, style and title hold markup")
        << Pieces{{u"<script>"_s, Tag}, {u"a"_s, Text}, {u"<b/>"_s, Tag}, {u"</script>"_s, Tag},
                  {u"<title>"_s, Tag}, {u"<b>"_s, Tag}, {u"<style>"_s, Tag}, {u"&amp;"_s, Ref}};
}

// Colours each fragment whole, cut in two at every position and cut into single
// characters: the colours and the state at the end must agree every time.
void TestMarkupTokenizer::colours()
{
    QFETCH(Pieces, pieces);

    const QString text = joined(pieces);
    const QList<MarkupSpan> expected = spansOf(pieces);

    const Result whole = colourInPieces(text, {});
    QCOMPARE(describe(text, whole.spans), describe(text, expected));
    QCOMPARE(whole.spans, expected);
    QVERIFY(whole.eachPieceCovered);
    QVERIFY(tokenizeMarkup(text, MarkupState(), nullptr) == whole.state);

    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        const Result halves = colourInPieces(text, {cut});
        QVERIFY2(halves.spans == expected, qPrintable(u"cut at %1: "_s.arg(cut) + describe(text, halves.spans)));
        QVERIFY2(halves.eachPieceCovered, qPrintable(u"cut at %1"_s.arg(cut)));
        QVERIFY2(halves.state == whole.state, qPrintable(u"cut at %1"_s.arg(cut)));
    }
    QList<qsizetype> everyCharacter;
    for (qsizetype cut = 1; cut < text.size(); ++cut)
        everyCharacter.append(cut);
    const Result single = colourInPieces(text, everyCharacter);
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
    QTest::newRow("after a comment") << u"<!-- a -->"_s << true;
    QTest::newRow("inside a CDATA section") << u"<![CDATA[a]]"_s << false;
    QTest::newRow("after a CDATA section") << u"<![CDATA[a]]>"_s << true;
    QTest::newRow("inside a processing instruction") << u"<?a >"_s << false;
    QTest::newRow("inside a doctype's subset") << u"<!DOCTYPE a [ >"_s << false;
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
    const QString alphabet = u"<>/!-?&#;=\"' \nxXaS[]CDAT_:"_s;
    QRandomGenerator random(15);
    for (int round = 0; round < 800; ++round) {
        QString text;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i)
            text += alphabet[random.bounded(int(alphabet.size()))];
        // Words that open states, so that random text reaches them.
        static const QString words[] = {u"<!--"_s, u"-->"_s, u"<![CDATA["_s, u"]]>"_s, u"<?x"_s, u"?>"_s,
                                        u"<!DOCTYPE a ["_s, u"]>"_s, u"&amp;"_s, u"&#x"_s};
        for (int i = random.bounded(4); i > 0; --i)
            text.insert(random.bounded(int(text.size()) + 1), words[random.bounded(int(std::size(words)))]);

        const Result whole = colourInPieces(text, {});
        QVERIFY2(whole.eachPieceCovered, qPrintable(text));
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            const Result halves = colourInPieces(text, {cut});
            QVERIFY2(halves.eachPieceCovered && halves.spans == whole.spans && halves.state == whole.state,
                     qPrintable(u"%1 cut at %2: %3 instead of %4"_s.arg(text).arg(cut).arg(
                         describe(text, halves.spans), describe(text, whole.spans))));
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
    QTest::newRow("unlabelled, form feed and tab before markup") << QByteArray() << u"\f\t\r\n<p>"_s << int(MarkupSyntax::Html);
    QTest::newRow("unlabelled, markup just inside the sniffed head") << QByteArray() << (QString(1444, u' ') + u"<p>"_s)
                                                                     << int(MarkupSyntax::Html);
    QTest::newRow("unlabelled, markup past the sniffed head") << QByteArray() << (QString(1445, u'\n') + u"<p>"_s) << -1;
    QTest::newRow("unlabelled, whitespace only") << QByteArray() << QString(5000, u' ') << -1;
    QTest::newRow("unlabelled, a no-break space is not whitespace") << QByteArray() << u"\u00a0<p>"_s << -1;
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
