// Links in HTML: which attribute values are links, where they lead, how they are
// underlined, and following one with the mouse or Enter.

#include "MarkupColouring.h"
#include "MarkupColours.h"
#include "MarkupLinks.h"
#include "SourceView.h"
#include "SourceViewAccessible.h"
#include "StylesheetColouring.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString pageAddress = QStringLiteral("http://example.test/dir/page.html?q=1#top");

// A colouring of document, as the view has it once the scan has read it all.
void colour(MarkupColouring &colouring, const QString &document, MarkupSyntax syntax = MarkupSyntax::Html)
{
    colouring.setDocumentAddress(pageAddress);
    colouring.reset(document, syntax);
    QTRY_VERIFY(colouring.isReadyAt(document.size()));
}

// The underlined text around offset in the spans of [from, to): the run of underlined
// characters it is in, whatever roles they have.
QString underlinedAround(MarkupColouring &colouring, const QString &document, qsizetype offset, qsizetype from, qsizetype to)
{
    QList<bool> underlined(to - from, false);
    for (const MarkupSpan &span : colouring.spans(from, to)) {
        for (qsizetype i = span.start; i < span.start + span.length; ++i)
            underlined[i] = span.link;
    }
    qsizetype start = offset - from;
    qsizetype end = start;
    while (start > 0 && underlined[start - 1])
        --start;
    while (end < underlined.size() && underlined[end])
        ++end;
    return document.mid(from + start, end - start);
}

} // namespace

class TestMarkupLinks : public QObject
{
    Q_OBJECT

private slots:
    void valuesThatAreLinks_data();
    void valuesThatAreLinks();
    void linksInXml_data();
    void linksInXml();
    void sameLinkWhateverWasShownBefore_data();
    void sameLinkWhateverWasShownBefore();
    void baseElement_data();
    void baseElement();
    void linksInRowsCutAnywhere_data();
    void linksInRowsCutAnywhere();
    void referencesRead_data();
    void referencesRead();
    void stylesheetUnderlinesFetchedAddresses_data();
    void stylesheetUnderlinesFetchedAddresses();
    void linkColourReads_data();
    void linkColourReads();
    void followingInTheView_data();
    void followingInTheView();
    void screenReaderIsToldOfTheLink();
};

void TestMarkupLinks::valuesThatAreLinks_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("at"); // the first character of the value looked at
    QTest::addColumn<QString>("address"); // empty: no link there at all
    QTest::addColumn<QString>("underlined"); // empty: a value that is no link stays plain
    QTest::addColumn<QString>("reason"); // a word the tooltip's reason has

    QTest::newRow("relative") << "<a href=\"next.html\">n</a>" << "next" << "http://example.test/dir/next.html"
                              << "next.html" << QString();
    QTest::newRow("up a folder") << "<img src=\"../img/a.png\">" << "../img"
                                 << "http://example.test/img/a.png" << "../img/a.png" << QString();
    QTest::newRow("query only keeps the path") << "<a href='?page=2'>" << "?page"
                                               << "http://example.test/dir/page.html?page=2" << "?page=2" << QString();
    QTest::newRow("fragment only keeps the query") << "<a href=#end>" << "#end"
                                                   << "http://example.test/dir/page.html?q=1#end" << "#end" << QString();
    QTest::newRow("protocol-relative takes the page's scheme")
        << "<script src=\"//cdn.test/x.js\"></script>" << "//cdn" << "http://cdn.test/x.js" << "//cdn.test/x.js" << QString();
    QTest::newRow("spaces around the value are not the link")
        << "<a href=\"  /spaced  \">" << "/spaced" << "http://example.test/spaced" << "/spaced" << QString();
    QTest::newRow("references read before resolving, underlined as written")
        << "<a href=\"/s?a=1&amp;b=2\">" << "/s?" << "http://example.test/s?a=1&b=2" << "/s?a=1&amp;b=2" << QString();
    QTest::newRow("srcset: the candidate's URL without its descriptor")
        << "<img srcset=\"small.jpg 480w, large.jpg 2x\">" << "large" << "http://example.test/dir/large.jpg"
        << "large.jpg" << QString();
    QTest::newRow("srcset: its descriptor is no link") << "<img srcset=\"small.jpg 480w, large.jpg 2x\">" << "480w"
                                                       << QString() << QString() << QString();
    QTest::newRow("imagesrcset on a preload")
        << "<link rel=preload imagesrcset=\"a.png 1x,b.png 2x\">" << "b.png" << "http://example.test/dir/b.png"
        << "b.png" << QString();
    QTest::newRow("meta refresh: the url after the time")
        << "<meta http-equiv=\"Refresh\" content=\"5; url=/moved\">" << "/moved" << "http://example.test/moved"
        << "/moved" << QString();
    QTest::newRow("meta content without refresh is text") << "<meta name=x content=\"5; url=/moved\">" << "/moved"
                                                          << QString() << QString() << QString();
    QTest::newRow("form action") << "<form action=\"/send\">" << "/send" << "http://example.test/send" << "/send"
                                 << QString();
    QTest::newRow("formaction on a button") << "<button formaction=go>" << "go" << "http://example.test/dir/go"
                                            << "go" << QString();
    QTest::newRow("video poster") << "<video poster=p.jpg>" << "p.jpg" << "http://example.test/dir/p.jpg" << "p.jpg"
                                  << QString();
    QTest::newRow("object data") << "<object data=\"movie.swf\">" << "movie" << "http://example.test/dir/movie.swf"
                                 << "movie.swf" << QString();
    QTest::newRow("data on another element is no link") << "<div data=\"movie.swf\">" << "movie" << QString()
                                                        << QString() << QString();
    QTest::newRow("blockquote cite") << "<blockquote cite=\"/src\">" << "/src" << "http://example.test/src" << "/src"
                                     << QString();
    QTest::newRow("ping: the second of two") << "<a href=x ping=\"/p1 /p2\">" << "/p2" << "http://example.test/p2"
                                             << "/p2" << QString();
    QTest::newRow("svg xlink:href") << "<svg><use xlink:href=\"#icon\"/></svg>" << "#icon"
                                    << "http://example.test/dir/page.html?q=1#icon" << "#icon" << QString();
    QTest::newRow("xlink:href on an HTML element is no link") << "<div xlink:href=\"#icon\"></div>" << "#icon"
                                                              << QString() << QString() << QString();
    QTest::newRow("xlink:href on an HTML void element in foreignObject is no link")
        << "<svg><foreignObject><img xlink:href=\"#icon\"></foreignObject></svg>" << "#icon" << QString() << QString()
        << QString();
    QTest::newRow("after svg is closed, HTML again") << "<svg></svg><div xlink:href=\"#icon\"></div>" << "#icon"
                                                     << QString() << QString() << QString();
    QTest::newRow("an upper-case name") << "<A HREF=\"Up.html\">" << "Up" << "http://example.test/dir/Up.html"
                                        << "Up.html" << QString();
    QTest::newRow("a repeated href is dropped") << "<a href=one.html href=two.html>" << "two" << QString() << QString()
                                                << QString();
    QTest::newRow("a title naming a file is text") << "<a title=\"x.html\">" << "x.html" << QString() << QString()
                                                   << QString();
    QTest::newRow("href= in text is text") << "<p>write href=\"x.html\" here" << "x.html" << QString() << QString()
                                           << QString();
    QTest::newRow("inside a comment") << "<!-- <a href=\"x.html\"> -->" << "x.html" << QString() << QString()
                                      << QString();
    QTest::newRow("inside a script") << "<script>s = '<a href=\"x.html\">'</script>" << "x.html" << QString()
                                     << QString() << QString();
    QTest::newRow("mailto stays plain and says why") << "<a href=\"mailto:me@example.test\">" << "mailto"
                                                     << "-" << QString() << "\"mailto:\"";
    QTest::newRow("javascript stays plain and says why") << "<a href=\"javascript:go()\">" << "javascript"
                                                         << "-" << QString() << "\"javascript:\"";
    QTest::newRow("data stays plain and says why") << "<img src=\"data:image/png;base64,AAAA\">" << "data:"
                                                   << "-" << QString() << "\"data:\"";
    QTest::newRow("an address that does not parse") << "<a href=\"http://exa mple/\">" << "http" << "-" << QString()
                                                    << "Not a valid address";
}

void TestMarkupLinks::valuesThatAreLinks()
{
    QFETCH(QString, document);
    QFETCH(QString, at);
    QFETCH(QString, address);
    QFETCH(QString, underlined);
    QFETCH(QString, reason);
    MarkupColouring colouring;
    colour(colouring, document);
    const qsizetype offset = document.indexOf(at);
    QVERIFY(offset >= 0);

    const auto link = colouring.linkAt(offset);
    QCOMPARE(link.has_value(), !address.isEmpty());
    QCOMPARE(underlinedAround(colouring, document, offset, 0, document.size()), underlined);
    if (!link)
        return;
    QVERIFY(link->start <= offset && offset < link->end);
    if (reason.isEmpty()) {
        QCOMPARE(link->resolved.address, address);
        QCOMPARE(document.mid(link->start, link->end - link->start), underlined);
    } else {
        QVERIFY(!link->resolved.isLink());
        QVERIFY2(link->resolved.reason.contains(reason), qPrintable(link->resolved.reason));
    }
}

void TestMarkupLinks::linksInXml_data()
{
    QTest::addColumn<QString>("document"); // XHTML, SVG or another XML type, coloured as XML
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("address"); // empty: no link there

    const QString xhtml = QStringLiteral("<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">");
    QTest::newRow("XHTML: a's href") << xhtml + "<body><a href=\"next.html\">n</a></body></html>" << "next"
                                     << "http://example.test/dir/next.html";
    QTest::newRow("XHTML: a value holding references")
        << xhtml + "<a href=\"/s?a=1&amp;b=2\">" << "/s?" << "http://example.test/s?a=1&b=2";
    QTest::newRow("XHTML: the second attribute, after a space before '='")
        << xhtml + "<img alt=\"x\" src = 'i.png'/>" << "i.png" << "http://example.test/dir/i.png";
    QTest::newRow("XHTML: two tags with no text between") << xhtml + "<p><a href=\"b.html\">" << "b.html"
                                                           << "http://example.test/dir/b.html";
    QTest::newRow("XHTML: its base") << xhtml + "<head><base href=\"/b/\"/></head><body><a href=\"x\">"
                                     << "\"x\"" << "http://example.test/b/x";
    QTest::newRow("XHTML: object data") << xhtml + "<object data=\"m.svg\"/>" << "m.svg" << "http://example.test/dir/m.svg";
    QTest::newRow("XHTML: xlink:href in an inline svg")
        << xhtml + "<svg xmlns=\"http://www.w3.org/2000/svg\"><use xlink:href=\"s.svg#i\"/></svg>" << "s.svg"
        << "http://example.test/dir/s.svg#i";
    QTest::newRow("XHTML: a title naming a file is text") << xhtml + "<a title=\"x.html\">" << "x.html" << QString();
    QTest::newRow("XHTML: in a comment") << xhtml + "<!-- <a href=\"x.html\"> -->" << "x.html" << QString();
    QTest::newRow("XHTML: in a CDATA section") << xhtml + "<![CDATA[<a href=\"x.html\">]]>" << "x.html" << QString();
    QTest::newRow("XHTML: text that reads like a tag") << xhtml + "<p>write href=\"x.html\"</p>" << "x.html"
                                                       << QString();
    QTest::newRow("SVG: xlink:href") << "<svg xmlns=\"http://www.w3.org/2000/svg\"><use xlink:href=\"#icon\"/></svg>"
                                     << "#icon" << "http://example.test/dir/page.html?q=1#icon";
    QTest::newRow("SVG: image href") << "<svg><image href=\"a.png\" width=\"2\"/></svg>" << "a.png"
                                     << "http://example.test/dir/a.png";
    QTest::newRow("SVG: a base element is not HTML's") << "<svg><base href=\"/b/\"/><a href=\"x\"/></svg>"
                                                        << "\"x\"" << "http://example.test/dir/x";
    QTest::newRow("Atom: a link's href") << "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link rel=\"alternate\" href=\"/blog\"/>"
                                         << "/blog" << "http://example.test/blog";
    QTest::newRow("an xml-stylesheet instruction's href")
        << "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href='feed.xsl'?>\n<svg><a xlink:href=\"x\"/></svg>"
        << "feed" << "http://example.test/dir/feed.xsl";
    QTest::newRow("an instruction before the root leaves the root svg")
        << "<?xml-stylesheet href=\"s.css\"?><svg><object data=\"m.svg\"/></svg>" << "m.svg" << QString();
    QTest::newRow("another instruction's href is text") << "<?other href=\"o.css\"?><r/>" << "o.css" << QString();
    QTest::newRow("a target that runs on into a slash is another")
        << "<?xml-stylesheet/ href=\"a.css\"?><r/>" << "a.css" << QString();
    QTest::newRow("a target that runs on into a bracket is another")
        << "<?xml-stylesheet>href=\"a.css\"?><r/>" << "a.css" << QString();
    QTest::newRow("an opener inside another instruction is text")
        << "<?note see <?xml-stylesheet href=\"x.css\"?><r/>" << "x.css" << QString();
    QTest::newRow("XHTML: a base in an inline svg is not the page's")
        << xhtml + "<body><svg xmlns=\"http://www.w3.org/2000/svg\"><base href=\"/s/\"/></svg><a href=\"x\">" << "\"x\""
        << "http://example.test/dir/x";
    QTest::newRow("XHTML: a base in a template is not the page's")
        << xhtml + "<body><template><p><base href=\"/t/\"/></p></template><a href=\"x\">" << "\"x\""
        << "http://example.test/dir/x";
    QTest::newRow("XHTML: a base after an svg is the page's")
        << xhtml + "<head><svg><g/><g></g></svg><base href=\"/b/\"/></head><a href=\"x\">" << "\"x\""
        << "http://example.test/b/x";
    const QString padding = QString(MarkupColouring::checkpointSpacing - 10, u'.');
    QTest::newRow("an instruction across a checkpoint")
        << "<r>" + padding + "<?xml-stylesheet href=\"far.css\"?>" << "far" << "http://example.test/dir/far.css";
    QTest::newRow("a tag across a checkpoint") << "<r>" + padding + "<a class=\"c\" href=\"far.html\"/>" << "far"
                                               << "http://example.test/dir/far.html";
}

void TestMarkupLinks::linksInXml()
{
    QFETCH(QString, document);
    QFETCH(QString, at);
    QFETCH(QString, address);
    MarkupColouring colouring;
    colour(colouring, document, MarkupSyntax::Xml);
    qsizetype offset = document.indexOf(at);
    QVERIFY(offset >= 0);
    if (at.startsWith(u'"'))
        ++offset;

    // Underlined in the row that holds it, read from the state the row starts in
    // before anything else is asked.
    const qsizetype rowStart = std::max<qsizetype>(0, offset - 5);
    const QString underlined = underlinedAround(colouring, document, offset, rowStart, document.size());
    const auto link = colouring.linkAt(offset);
    QCOMPARE(link.has_value(), !address.isEmpty());
    if (!link) {
        QVERIFY(underlined.isEmpty());
        return;
    }
    QCOMPARE(link->resolved.address, address);
    QCOMPARE(underlined, document.mid(link->start, link->end - link->start));
}

void TestMarkupLinks::sameLinkWhateverWasShownBefore_data()
{
    QTest::addColumn<bool>("xml");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("at");
    QTest::addColumn<bool>("link");

    // Pages whose links are read in pieces around the screen: a link must be one, or
    // not, whatever rows were shown before it was asked for.
    const QString cut = "<r>\n" + QString(16000, u'x') + "\n<a href=\"x.html\" title=\"" + QString(20000, u'y') + "\"/>\n";
    QTest::newRow("HTML: a tag the first reading cuts") << false << cut << "x.html" << true;
    QTest::newRow("XML: a tag the first reading cuts") << true << cut << "x.html" << true;
    // A tag begun more than four checkpoints back is read from the checkpoint before
    // the rows: HTML's state there knows the attribute it is in, XML's does not.
    const QString longTag = "<r>\n<a title=\"" + QString(300 * 1024, u'y') + "\" href=\"http://x.test/\">\n";
    QTest::newRow("HTML: a tag longer than is read back") << false << longTag << "http://x.test" << true;
    QTest::newRow("XML: a tag longer than is read back") << true << longTag << "http://x.test" << false;
    QString lines = QStringLiteral("<r>\n");
    for (int i = 0; i < 600; ++i)
        lines += QString(99, u'x') + u'\n';
    const QString afterLines = lines + "<a title=\"" + QString(240000, u'y') + "\" href=\"http://x.test/\">\n";
    QTest::newRow("HTML: a long tag after short lines") << false << afterLines << "http://x.test" << true;
    QTest::newRow("XML: a long tag after short lines") << true << afterLines << "http://x.test" << false;
    const QString longAddress = "<p>\n<a href=\"http://x.test/" + QString(40000, u'a') + "\">\n";
    QTest::newRow("HTML: an address of 40,000 characters") << false << longAddress << "http://x.test" << false;
    QTest::newRow("XML: an address of 40,000 characters") << true << longAddress << "http://x.test" << false;
    const QString fairlyLong = "<p>\n" + QString(3000, u'x') + "<a href=\"http://x.test/" + QString(6000, u'a') + "\">\n";
    QTest::newRow("HTML: an address of 6,000 characters") << false << fairlyLong << "http://x.test" << true;
    QTest::newRow("XML: an address of 6,000 characters") << true << fairlyLong << "http://x.test" << true;
    QTest::newRow("XML: an instruction after a long one")
        << true << "<?pi " + QString(300 * 1024, u'z') + "?><?xml-stylesheet href=\"s.css\"?><r/>\n" << "s.css" << true;
    QTest::newRow("HTML: a value cut after spaces by the reading")
        << false << "<p>\n<a href=\"/" + QString(32740, u'a') + QString(40, u' ') + "b\">\n" << "/aaa" << false;
}

void TestMarkupLinks::sameLinkWhateverWasShownBefore()
{
    QFETCH(bool, xml);
    QFETCH(QString, document);
    QFETCH(QString, at);
    QFETCH(bool, link);
    const MarkupSyntax syntax = xml ? MarkupSyntax::Xml : MarkupSyntax::Html;
    const qsizetype offset = document.indexOf(at);
    QVERIFY(offset >= 0);
    // Rows as the view cuts a long line, 2,000 characters.
    const auto showRows = [&document](MarkupColouring &colouring, qsizetype from, qsizetype to) {
        for (qsizetype start = from; start < to;) {
            const qsizetype lineEnd = document.indexOf(u'\n', start) + 1;
            const qsizetype end = std::min({lineEnd > 0 ? lineEnd : document.size(), start + 2000, to});
            colouring.spans(start, end);
            start = end;
        }
    };

    MarkupColouring atOnce;
    colour(atOnce, document, syntax);
    QCOMPARE(atOnce.linkAt(offset).has_value(), link);

    MarkupColouring afterTheRowsAbove;
    colour(afterTheRowsAbove, document, syntax);
    showRows(afterTheRowsAbove, 0, offset - offset % 2000);
    QCOMPARE(afterTheRowsAbove.linkAt(offset).has_value(), link);

    MarkupColouring afterTheTopAndFurtherDown;
    colour(afterTheTopAndFurtherDown, document, syntax);
    showRows(afterTheTopAndFurtherDown, 0, std::min<qsizetype>(document.size(), 4000));
    const qsizetype below = std::min(document.size() - 1, offset + 20000);
    afterTheTopAndFurtherDown.spans(below, std::min(document.size(), below + 2000));
    QCOMPARE(afterTheTopAndFurtherDown.linkAt(offset).has_value(), link);
}

void TestMarkupLinks::baseElement_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("address"); // of the link "x"

    QTest::newRow("an absolute base") << "<base href=\"http://other.test/sub/\"><a href=\"x\">"
                                      << "http://other.test/sub/x";
    QTest::newRow("only the first base counts") << "<base href=\"/one/\"><base href=\"/two/\"><a href=\"x\">"
                                                << "http://example.test/one/x";
    QTest::newRow("a relative base resolves against the page") << "<base href=\"sub/\"><a href=\"x\">"
                                                               << "http://example.test/dir/sub/x";
    QTest::newRow("a base without href is passed over") << "<base target=_blank><base href=\"/b/\"><a href=\"x\">"
                                                        << "http://example.test/b/x";
    QTest::newRow("a base after the link applies to it") << "<a href=\"x\"><base href=\"/late/\">"
                                                         << "http://example.test/late/x";
    QTest::newRow("its references are read") << "<base href=\"/a&amp;b/\"><a href=\"x\">"
                                             << "http://example.test/a&b/x";
    QTest::newRow("a javascript base leaves the page's address") << "<base href=\"javascript:x\"><a href=\"x\">"
                                                                 << "http://example.test/dir/x";
    QTest::newRow("a base in a comment is none") << "<!--<base href=\"/c/\">--><a href=\"x\">"
                                                 << "http://example.test/dir/x";
    QTest::newRow("a base in svg is not the page's") << "<svg><base href=\"/s/\"/></svg><a href=\"x\">"
                                                     << "http://example.test/dir/x";
    QTest::newRow("a base in a template's contents is not the page's")
        << "<template><base href=\"/t/\"></template><base href=\"/b/\"><a href=\"x\">" << "http://example.test/b/x";
    QTest::newRow("a base in foreignObject is HTML's")
        << "<svg><foreignObject><base href=\"/f/\"></foreignObject></svg><a href=\"x\">" << "http://example.test/f/x";
    QTest::newRow("past the first checkpoint, a base in svg is passed over")
        << "<a href=\"x\">" + QString(MarkupColouring::checkpointSpacing + 100, u'.')
            + "<svg><base href=\"/s/\"/></svg><base href=\"/real/\">"
        << "http://example.test/real/x";
    QTest::newRow("a base past the first checkpoint")
        << "<a href=\"x\">" + QString(MarkupColouring::checkpointSpacing + 100, u'.') + "<base href=\"/far/\">"
        << "http://example.test/far/x";
}

void TestMarkupLinks::baseElement()
{
    QFETCH(QString, document);
    QFETCH(QString, address);
    MarkupColouring colouring;
    QSignalSpy changed(&colouring, &MarkupColouring::linksChanged);
    colouring.setDocumentAddress(pageAddress);
    colouring.reset(document, MarkupSyntax::Html);
    // Asked for before the scan has read the base, the link is resolved again once it has.
    QTRY_VERIFY(colouring.isReadyAt(0));
    const qsizetype x = document.indexOf(QStringLiteral("\"x\"")) + 1;
    colouring.linkAt(x);
    QTRY_VERIFY(colouring.isReadyAt(document.size()));
    QTRY_COMPARE(colouring.linkAt(x).value_or(MarkupColouring::Link()).resolved.address, address);
}

void TestMarkupLinks::linksInRowsCutAnywhere_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("address");

    QTest::newRow("a srcset over three lines, its last line alone")
        << "<p>\n<img alt=\"x\"\n     srcset=\"a.png 1x,\n             b.png 2x\">\n" << "b.png"
        << "http://example.test/dir/b.png";
    QTest::newRow("a meta whose http-equiv is on the line before its content")
        << "<meta http-equiv=refresh\n content=\"0;url=/next\">\n" << "/next" << "http://example.test/next";
    QTest::newRow("xlink:href on the second line of an svg tag")
        << "<svg>\n<use\n xlink:href=\"#i\"/></svg>\n" << "#i" << "http://example.test/dir/page.html?q=1#i";
    const QString padding = QString(MarkupColouring::checkpointSpacing - 10, u'.');
    QTest::newRow("a tag across a checkpoint") << padding + "<a class=c href=\"far.html\">\n" << "far"
                                               << "http://example.test/dir/far.html";
    QTest::newRow("a link past many checkpoints")
        << QString(5 * MarkupColouring::checkpointSpacing, u'.') + "\n<a href=\"far.html\">\n" << "far"
        << "http://example.test/dir/far.html";
}

void TestMarkupLinks::linksInRowsCutAnywhere()
{
    QFETCH(QString, document);
    QFETCH(QString, at);
    QFETCH(QString, address);
    // Row by row as the view colours them, line by line: each from the state the row
    // before ended in, which may be inside the tag.
    MarkupColouring colouring;
    colour(colouring, document);
    const qsizetype offset = document.indexOf(at);
    const qsizetype lineStart = document.lastIndexOf(u'\n', offset) + 1;
    for (qsizetype start = 0; start < lineStart;) {
        const qsizetype next = document.indexOf(u'\n', start) + 1;
        colouring.spans(start, next);
        start = next;
    }
    // The links read so far are forgotten (as a new address does), the rows' states
    // are not: the line is read again from where the row before ended, in the tag.
    colouring.setDocumentAddress(QString());
    colouring.setDocumentAddress(pageAddress);
    const qsizetype lineEnd = document.indexOf(u'\n', offset) + 1;
    const QString link = underlinedAround(colouring, document, offset, lineStart, lineEnd);
    QVERIFY2(link.startsWith(at), qPrintable(link));
    const auto found = colouring.linkAt(offset);
    QVERIFY(found);
    QCOMPARE(found->resolved.address, address);
}

void TestMarkupLinks::referencesRead_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");

    QTest::newRow("none") << "/a/b?c=d" << "/a/b?c=d";
    QTest::newRow("named with a semicolon") << "?a=1&amp;b=2" << "?a=1&b=2";
    QTest::newRow("named without one, before text") << "?a=1&ampb" << "?a=1&ampb";
    QTest::newRow("a legacy name before = stays as written") << "?x=1&copy=2" << "?x=1&copy=2";
    QTest::newRow("a legacy name at the end is read") << "/&lt" << "/<";
    QTest::newRow("numeric, hexadecimal") << "/&#x41;&#66;" << "/AB";
    QTest::newRow("a value with both quotes") << "a\"b'c&amp;" << "a\"b'c&";
    QTest::newRow("a lone ampersand") << "a & b" << "a & b";
}

void TestMarkupLinks::referencesRead()
{
    QFETCH(QString, written);
    QFETCH(QString, read);
    QCOMPARE(readCharacterReferences(written), read);
}

void TestMarkupLinks::stylesheetUnderlinesFetchedAddresses_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<bool>("underlined");

    QTest::newRow("a relative url()") << "img/bg" << true;
    QTest::newRow("a data: image") << "data:" << false;
    QTest::newRow("an @import of a javascript: address") << "javascript" << false;
    QTest::newRow("a protocol-relative @import") << "//cdn" << true;
}

void TestMarkupLinks::stylesheetUnderlinesFetchedAddresses()
{
    QFETCH(QString, at);
    QFETCH(bool, underlined);
    const QString sheet = QStringLiteral("@import \"//cdn.test/a.css\";\n@import \"javascript:x\";\n"
                                         "a { background: url(img/bg.png) }\nb { background: url(data:image/png,AAAA) }\n");
    StylesheetColouring colouring;
    colouring.setDocumentAddress(pageAddress);
    colouring.reset(sheet, true);
    QTRY_VERIFY(colouring.isReadyAt(sheet.size()));
    const qsizetype offset = sheet.indexOf(at);
    bool found = false;
    for (const StylesheetSpan &span : colouring.spans(0, sheet.size())) {
        if (span.start <= offset && offset < span.start + span.length)
            found = span.link;
    }
    QCOMPARE(found, underlined);
    // Not underlined, it is still an address: its tooltip says why it is no link.
    QVERIFY(colouring.linkAt(offset));
}

void TestMarkupLinks::linkColourReads_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("link");

    QTest::newRow("light theme") << QColor(Qt::white) << QColor(0, 0, 255);
    QTest::newRow("dark theme with its own light link") << QColor(30, 30, 30) << QColor(120, 170, 255);
    QTest::newRow("dark base left with the light theme's blue") << QColor(30, 30, 30) << QColor(0, 0, 255);
    QTest::newRow("light base with a pale link") << QColor(Qt::white) << QColor(200, 220, 255);
}

void TestMarkupLinks::linkColourReads()
{
    QFETCH(QColor, base);
    QFETCH(QColor, link);
    QPalette palette;
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Link, link);
    const QColor shown = MarkupColours(palette).link();
    QVERIFY2(qAbs(shown.lightnessF() - base.lightnessF()) >= 0.35, qPrintable(shown.name()));
    // A link colour that reads already is the palette's own.
    if (qAbs(link.lightnessF() - base.lightnessF()) >= 0.4)
        QCOMPARE(shown, link);
    QCOMPARE(linkColour(palette), shown);
}

void TestMarkupLinks::followingInTheView_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("how"); // click, drag, enter, enter after
    QTest::addColumn<QString>("followed"); // empty: nothing is

    const QString page = QStringLiteral("<p>See <a href=\"next.html\">next</a> or <a href=\"mailto:me@x.test\">me</a>.\n");
    QTest::newRow("a click on a link") << page << QByteArray("text/html") << "next.html" << "click"
                                       << "http://example.test/dir/next.html";
    QTest::newRow("a drag that starts on a link selects") << page << QByteArray("text/html") << "next.html" << "drag"
                                                          << QString();
    QTest::newRow("a click on a mailto value") << page << QByteArray("text/html") << "mailto" << "click" << QString();
    QTest::newRow("a click on the tag's name") << page << QByteArray("text/html") << "a href" << "click" << QString();
    QTest::newRow("Enter in a link") << page << QByteArray("text/html") << "next.html" << "enter"
                                     << "http://example.test/dir/next.html";
    QTest::newRow("Enter just after a link's end") << page << QByteArray("text/html") << "next.html" << "enter after"
                                                   << "http://example.test/dir/next.html";
    QTest::newRow("Enter in a mailto value") << page << QByteArray("text/html") << "mailto" << "enter" << QString();
    QTest::newRow("Enter in text") << page << QByteArray("text/html") << "See" << "enter" << QString();
    QTest::newRow("plain text has no links") << page << QByteArray("text/plain") << "next.html" << "enter" << QString();
    QTest::newRow("Enter in a stylesheet's url()") << QStringLiteral("a { background: url(img/bg.png) }\n")
                                                   << QByteArray("text/css") << "img/bg" << "enter"
                                                   << "http://example.test/dir/img/bg.png";
    QTest::newRow("a click in a stylesheet's url()") << QStringLiteral("a { background: url(img/bg.png) }\n")
                                                     << QByteArray("text/css") << "img/bg" << "click"
                                                     << "http://example.test/dir/img/bg.png";
}

void TestMarkupLinks::followingInTheView()
{
    QFETCH(QString, document);
    QFETCH(QByteArray, type);
    QFETCH(QString, at);
    QFETCH(QString, how);
    QFETCH(QString, followed);
    SourceView view;
    view.resize(700, 200);
    view.setDocumentAddress(pageAddress);
    view.setText(document, type);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_VERIFY(view.coloursReadyOnScreen());
    QSignalSpy activated(&view, &SourceView::linkActivated);
    const qsizetype offset = document.indexOf(at) + 1;
    QWidget *viewport = view.viewport();
    const QPoint point = view.characterRect(offset).center().toPoint();

    if (how == u"click") {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
    } else if (how == u"drag") {
        QTest::mousePress(viewport, Qt::LeftButton, {}, point);
        const QPoint to = view.characterRect(offset + 4).center().toPoint();
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        QCOMPARE(view.selectedText(), document.mid(offset, 4));
    } else {
        const qsizetype caret = how == u"enter after" ? document.indexOf(at) + at.size() : offset;
        view.setSelection(caret, caret);
        QTest::keyClick(&view, Qt::Key_Return);
    }
    QCOMPARE(activated.size(), followed.isEmpty() ? 0 : 1);
    if (!followed.isEmpty())
        QCOMPARE(activated.first().first().toString(), followed);
}

void TestMarkupLinks::screenReaderIsToldOfTheLink()
{
    const QString page = QStringLiteral("<a href=\"next.html\">n</a><a href=\"mailto:me@x.test\">m</a>");
    SourceView view;
    view.setDocumentAddress(pageAddress);
    view.setText(page, "text/html");
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(accessible);
    QTRY_VERIFY(view.coloursReadyOnScreen());
    QCOMPARE(accessible->text(QAccessible::Description), QString());

    view.setSelection(page.indexOf(u'n') + 1, page.indexOf(u'n') + 1);
    QCOMPARE(accessible->text(QAccessible::Description), QStringLiteral("Link: http://example.test/dir/next.html"));
    auto event = SourceViewAccessible::linkChangedEvent(&view);
    QVERIFY(event);
    QCOMPARE(event->type(), QAccessible::DescriptionChanged);
    // Told once: the caret moving on inside the link says nothing new.
    view.setSelection(page.indexOf(u'n') + 2, page.indexOf(u'n') + 2);
    QVERIFY(!SourceViewAccessible::linkChangedEvent(&view));

    view.setSelection(page.indexOf(QStringLiteral("mailto")), page.indexOf(QStringLiteral("mailto")));
    QVERIFY(accessible->text(QAccessible::Description).contains(QStringLiteral("\"mailto:\"")));
    QVERIFY(SourceViewAccessible::linkChangedEvent(&view));

    view.setSelection(0, 0);
    QCOMPARE(accessible->text(QAccessible::Description), QString());
    QVERIFY(SourceViewAccessible::linkChangedEvent(&view));
}

QTEST_MAIN(TestMarkupLinks)
#include "tst_markuplinks.moc"
