#include "CssTokenStream.h"
#include "LinkAttributes.h"
#include "LinkResolver.h"

#include <QRegularExpression>
#include <QtTest>

using Html::LinkText;
using Html::Namespace;

Q_DECLARE_METATYPE(Html::Namespace)

class TestLinkAttributes : public QObject
{
    Q_OBJECT

private slots:
    void attributeLinks_data();
    void attributeLinks();
    void tagLinks_data();
    void tagLinks();
    void resolution_data();
    void resolution();
    void quickLinkCheck_data();
    void quickLinkCheck();
    void stylesheetLinks_data();
    void stylesheetLinks();
    void displayEscapes_data();
    void displayEscapes();
};

namespace {

// Values in the tables mark each expected address with « and »; the value read is the
// text without the marks, placed at this offset of a document.
constexpr qsizetype valueOffset = 1000;

struct Marked
{
    QString text;
    // The expected links' positions and text; the text is in a list of its own, since
    // a LinkText only views it.
    QList<LinkText> links;
    QStringList written;
};

Marked unmark(const QString &marked, qsizetype offset)
{
    Marked out;
    qsizetype start = -1;
    for (QChar c : marked) {
        if (c == u'«') {
            start = out.text.size();
        } else if (c == u'»') {
            out.links.append({offset + start, out.text.size() - start, {}});
            out.written.append(out.text.mid(start));
        } else {
            out.text.append(c);
        }
    }
    return out;
}

QString describe(const QList<LinkText> &links)
{
    QStringList parts;
    for (const LinkText &link : links)
        parts.append(QStringLiteral("%1+%2 \"%3\"").arg(link.start).arg(link.length).arg(link.written));
    return parts.join(QStringLiteral(", "));
}

QString describe(const Marked &marked)
{
    QStringList parts;
    for (qsizetype i = 0; i < marked.links.size(); ++i)
        parts.append(QStringLiteral("%1+%2 \"%3\"").arg(marked.links.at(i).start).arg(marked.links.at(i).length).arg(marked.written.at(i)));
    return parts.join(QStringLiteral(", "));
}

} // namespace

void TestLinkAttributes::attributeLinks_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<Namespace>("ns");
    QTest::addColumn<bool>("refreshPragma");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("value");

    const Namespace html = Namespace::Html;
    const Namespace svg = Namespace::Svg;
    const Namespace math = Namespace::MathMl;

    // One address per value
    QTest::newRow("href on a link") << "link" << html << false << "href" << "«/static/app.css»";
    QTest::newRow("href on an element that is not a link still names one") << "div" << html << false << "href" << "«x.html»";
    QTest::newRow("attribute names are read ignoring ASCII case") << "a" << html << false << "HREF" << "«x.html»";
    QTest::newRow("whitespace around the address is left out") << "a" << html << false << "href" << " \t«a b.html»\n\f";
    QTest::newRow("an empty value has nothing to underline") << "a" << html << false << "href" << "";
    QTest::newRow("a value of whitespace only neither") << "a" << html << false << "href" << " \n ";
    QTest::newRow("a non-breaking space is not ASCII whitespace") << "a" << html << false << "href" << u"«\u00A0x\u00A0»"_qs;
    QTest::newRow("src") << "script" << html << false << "src" << "«app.js»";
    QTest::newRow("action") << "form" << html << false << "action" << "«/search»";
    QTest::newRow("formaction") << "button" << html << false << "formaction" << "«/save»";
    QTest::newRow("poster") << "video" << html << false << "poster" << "«still.jpg»";
    QTest::newRow("cite") << "blockquote" << html << false << "cite" << "«source.html»";
    QTest::newRow("background") << "body" << html << false << "background" << "«bg.gif»";
    QTest::newRow("longdesc") << "img" << html << false << "longdesc" << "«desc.html»";
    QTest::newRow("manifest") << "html" << html << false << "manifest" << "«app.appcache»";
    QTest::newRow("an attribute that names no resource") << "a" << html << false << "title" << "http://example.com/";
    QTest::newRow("an attribute whose name ends like one") << "a" << html << false << "data-href" << "x.html";

    // Namespaces
    QTest::newRow("xlink:href in SVG") << "use" << svg << false << "xlink:href" << "«sprites.svg#icon»";
    QTest::newRow("xlink:href in MathML") << "mi" << math << false << "xlink:href" << "«def.html»";
    QTest::newRow("xlink:href in HTML is no link") << "a" << html << false << "xlink:href" << "x.html";
    QTest::newRow("href in SVG") << "a" << svg << false << "href" << "«x.html»";
    QTest::newRow("data on object") << "object" << html << false << "data" << "«movie.swf»";
    QTest::newRow("data on another element is no link") << "div" << html << false << "data" << "movie.swf";
    QTest::newRow("data on an SVG element named object is no link") << "object" << svg << false << "data" << "movie.swf";

    // Several addresses in one value
    QTest::newRow("ping: each space-separated address") << "a" << html << false << "ping" << " «/a» «/b»\t\n«https://c.example/p» ";
    QTest::newRow("srcset: each candidate's URL, not its descriptors") << "img" << html << false << "srcset" << "«a.png» 1x, «b.png» 2x";
    QTest::newRow("srcset: width descriptors") << "source" << html << false << "srcset" << "«small.jpg» 480w,«large.jpg» 1080w";
    QTest::newRow("srcset: a comma right after a URL ends its candidate") << "img" << html << false << "srcset" << "«a.png», «b.png»,,";
    QTest::newRow("srcset: a comma inside a URL does not split it") << "img" << html << false << "srcset" << "«a.png,b.png» 2x";
    QTest::newRow("srcset: a data: URL keeps its commas") << "img" << html << false << "srcset" << "«data:image/png;base64,AAAA» 1x, «b.png» 2x";
    QTest::newRow("srcset: leading commas and whitespace are skipped") << "img" << html << false << "srcset" << " ,\n, «a.png»";
    QTest::newRow("srcset: a comma in parentheses belongs to the descriptor") << "img" << html << false << "srcset" << "«a.png» 1x (y, z) 2w, «b.png»";
    QTest::newRow("srcset: a parenthesis never closed takes the rest") << "img" << html << false << "srcset" << "«a.png» (1x, b.png 2x";
    QTest::newRow("srcset: descriptors run until a comma, spaces and all") << "img" << html << false << "srcset" << "«a.png» 1x  2x   , «b.png»";
    QTest::newRow("srcset: a candidate with descriptors browsers reject is still a link") << "img" << html << false << "srcset" << "«a.png» huge, «b.png» 2x";
    QTest::newRow("imagesrcset") << "link" << html << false << "imagesrcset" << "«a.png» 1x, «b.png» 2x";

    // The refresh pragma
    QTest::newRow("refresh: url= after a semicolon") << "meta" << html << true << "content" << "5; url=«next.html»";
    QTest::newRow("refresh: URL= in capitals, in single quotes") << "meta" << html << true << "content" << "0;URL='«next.html»'";
    QTest::newRow("refresh: double quotes end at the closing quote") << "meta" << html << true << "content" << "5; url=\"«a b.html»\" ignored";
    QTest::newRow("refresh: a quote never closed takes the rest") << "meta" << html << true << "content" << "5; url='«next.html»";
    QTest::newRow("refresh: spaces around = and a comma as separator") << "meta" << html << true << "content" << " 3 , url = «next.html»  ";
    QTest::newRow("refresh: no url=, just the URL") << "meta" << html << true << "content" << "5; «next.html»";
    QTest::newRow("refresh: whitespace alone separates") << "meta" << html << true << "content" << "5 «next.html»";
    QTest::newRow("refresh: quotes without url=") << "meta" << html << true << "content" << "5;'«next.html»'";
    QTest::newRow("refresh: a URL that starts with url is not url=") << "meta" << html << true << "content" << "5; «urlnext.html»";
    QTest::newRow("refresh: a URL that starts with u") << "meta" << html << true << "content" << "5; «ur»";
    QTest::newRow("refresh: a time with a fraction") << "meta" << html << true << "content" << "1.5; url=«next.html»";
    QTest::newRow("refresh: a time that starts with a dot") << "meta" << html << true << "content" << ".5; url=«next.html»";
    QTest::newRow("refresh: no URL reloads the document itself") << "meta" << html << true << "content" << "5";
    QTest::newRow("refresh: a separator with nothing after it") << "meta" << html << true << "content" << "5; ";
    QTest::newRow("refresh: url= with nothing after it") << "meta" << html << true << "content" << "5; url=";
    QTest::newRow("refresh: no time is no refresh") << "meta" << html << true << "content" << "url=next.html";
    QTest::newRow("refresh: a time followed by a letter is no refresh") << "meta" << html << true << "content" << "5x; url=next.html";
    QTest::newRow("content of a meta that is not a refresh") << "meta" << html << false << "content" << "5; url=next.html";
    QTest::newRow("content of another element") << "div" << html << true << "content" << "5; url=next.html";
}

void TestLinkAttributes::attributeLinks()
{
    QFETCH(QString, element);
    QFETCH(Namespace, ns);
    QFETCH(bool, refreshPragma);
    QFETCH(QString, attribute);
    QFETCH(QString, value);

    const Marked marked = unmark(value, valueOffset);
    const Html::Element context{element, ns, refreshPragma};
    const QList<LinkText> links = Html::linksInAttribute(context, {attribute, marked.text, valueOffset});
    QCOMPARE(describe(links), describe(marked));
}

void TestLinkAttributes::tagLinks_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<Namespace>("ns");

    QTest::newRow("http-equiv after the content still makes it a refresh")
            << "<meta content=\"5; url=«/next»\" http-equiv=\"Refresh\">" << Namespace::Html;
    QTest::newRow("http-equiv before the content") << "<meta http-equiv=\"refresh\" content=\"0;url=«/next»\">" << Namespace::Html;
    QTest::newRow("another http-equiv's content is no link")
            << "<meta http-equiv=\"content-type\" content=\"5; url=/next\">" << Namespace::Html;
    QTest::newRow("only the first of two http-equiv counts")
            << "<meta http-equiv=\"x\" http-equiv=\"refresh\" content=\"5; url=/next\">" << Namespace::Html;
    QTest::newRow("a repeated href is dropped, as the tokenizer drops it")
            << "<a href=\"«first.html»\" HREF=\"second.html\">" << Namespace::Html;
    QTest::newRow("every link attribute, in order")
            << "<img src=\"«a.png»\" title=\"t.png\" srcset=\"«b.png» 2x, «c.png» 3x\" longdesc=\"«d.html»\">" << Namespace::Html;
    QTest::newRow("href and xlink:href in SVG are both links")
            << "<use href=\"«a.svg#i»\" xlink:href=\"«b.svg#i»\">" << Namespace::Svg;
}

void TestLinkAttributes::tagLinks()
{
    QFETCH(QString, tag);
    QFETCH(Namespace, ns);

    const Marked marked = unmark(tag, 0);
    static const QRegularExpression attributePattern(QStringLiteral("([^\\s=<]+)=\"([^\"]*)\""));
    QList<Html::Attribute> attributes;
    const QStringView text = marked.text;
    for (const QRegularExpressionMatch &match : attributePattern.globalMatch(marked.text)) {
        attributes.append({text.sliced(match.capturedStart(1), match.capturedLength(1)),
                           text.sliced(match.capturedStart(2), match.capturedLength(2)), match.capturedStart(2)});
    }
    const QString localName = marked.text.section(u' ', 0, 0).mid(1);
    const QList<LinkText> links = Html::linksInTag(localName, ns, attributes);
    QCOMPARE(describe(links), describe(marked));
}

void TestLinkAttributes::resolution_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("baseHrefs");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");

    const QString page = QStringLiteral("http://example.com/dir/page.html?q=1#part");
    const QStringList noBase;

    // Against the document's address
    QTest::newRow("a relative path") << page << noBase << "style.css" << "http://example.com/dir/style.css" << "";
    QTest::newRow("a path from the root") << page << noBase << "/static/app.css" << "http://example.com/static/app.css" << "";
    QTest::newRow("../ goes up a folder") << page << noBase << "../up.css" << "http://example.com/up.css" << "";
    QTest::newRow("../ above the root stays at the root") << page << noBase << "../../../top.css" << "http://example.com/top.css" << "";
    QTest::newRow("./ and a dot segment in the middle") << page << noBase << "./a/./b/../c.css" << "http://example.com/dir/a/c.css" << "";
    QTest::newRow("a query alone replaces the document's query") << page << noBase << "?page=2" << "http://example.com/dir/page.html?page=2" << "";
    QTest::newRow("a fragment alone keeps the query") << page << noBase << "#top" << "http://example.com/dir/page.html?q=1#top" << "";
    QTest::newRow("an empty address is the document without its fragment") << page << noBase << "" << "http://example.com/dir/page.html?q=1" << "";
    QTest::newRow("protocol-relative takes the document's scheme")
            << "https://example.com/" << noBase << "//cdn.example.net/lib.js" << "https://cdn.example.net/lib.js" << "";
    QTest::newRow("an absolute address ignores the document's")
            << page << noBase << "HTTPS://Other.Example:443/x" << "https://other.example/x" << "";
    QTest::newRow("backslashes read as slashes") << page << noBase << "\\img\\a.png" << "http://example.com/img/a.png" << "";
    QTest::newRow("tabs and line breaks inside are dropped") << page << noBase << "a\tb\n.css" << "http://example.com/dir/ab.css" << "";
    QTest::newRow("spaces and non-ASCII are percent-encoded")
            << page << noBase << u"a b/ü.css"_qs << "http://example.com/dir/a%20b/%C3%BC.css" << "";
    QTest::newRow("an international host in its ASCII form")
            << page << noBase << u"http://bücher.example/"_qs << "http://xn--bcher-kva.example/" << "";

    // Against <base href>
    QTest::newRow("base href replaces the document's address")
            << page << QStringList{"http://other.example/base/"} << "x.css" << "http://other.example/base/x.css" << "";
    QTest::newRow("only the first base element counts")
            << page << QStringList{"http://one.example/", "http://two.example/"} << "x.css" << "http://one.example/x.css" << "";
    QTest::newRow("a relative base is read against the document's address")
            << page << QStringList{"/sub/"} << "x.css" << "http://example.com/sub/x.css" << "";
    QTest::newRow("a base without a final slash names a file")
            << page << QStringList{"http://other.example/a/b"} << "x.css" << "http://other.example/a/x.css" << "";
    QTest::newRow("a base that does not parse is ignored, and the next one too")
            << page << QStringList{"http://a b/", "http://two.example/"} << "x.css" << "http://example.com/dir/x.css" << "";
    QTest::newRow("a javascript: base is ignored")
            << page << QStringList{"javascript:void(0)"} << "x.css" << "http://example.com/dir/x.css" << "";
    QTest::newRow("a data: base is ignored")
            << page << QStringList{"data:text/html,x"} << "x.css" << "http://example.com/dir/x.css" << "";
    QTest::newRow("a fragment alone follows the base too")
            << page << QStringList{"http://other.example/b.html"} << "#top" << "http://other.example/b.html#top" << "";

    // Not links
    QTest::newRow("mailto:") << page << noBase << "mailto:someone@example.com" << ""
                             << "Vellumin fetches http and https addresses only, not \"mailto:\" addresses.";
    QTest::newRow("javascript: in any case") << page << noBase << "JavaScript:alert(1)" << ""
                                             << "Vellumin fetches http and https addresses only, not \"javascript:\" addresses.";
    QTest::newRow("data:") << page << noBase << "data:text/css,a{}" << ""
                           << "Vellumin fetches http and https addresses only, not \"data:\" addresses.";
    QTest::newRow("ftp:") << page << noBase << "ftp://example.com/f" << ""
                          << "Vellumin fetches http and https addresses only, not \"ftp:\" addresses.";
    QTest::newRow("a relative address under a file: document") << "file:///home/a/page.html" << noBase << "x.css" << ""
                                                                << "Vellumin fetches http and https addresses only, not \"file:\" addresses.";
    QTest::newRow("an invalid host") << page << noBase << "http://exa mple.com/" << ""
                                     << "Not a valid address: it has an invalid host: exa mple.com.";
    QTest::newRow("an invalid port") << page << noBase << "http://example.com:99999/" << ""
                                     << "Not a valid address: it has a port above 65535: 99999.";
    QTest::newRow("an http address without a host") << page << noBase << "http://" << ""
                                                     << "Not a valid address: it has no host.";
    QTest::newRow("a relative address with no document address") << "" << noBase << "x.css" << ""
                                                                 << "Not a valid address: it has no scheme, and no address to read it relative to.";
    QTest::newRow("what reorders text in the reason is escaped") << page << noBase << u"http://a\u202Eb c/"_qs << ""
                                                                 << "Not a valid address: it has an invalid host: a%E2%80%AEb c.";
    QTest::newRow("a long address in the reason is cut short")
            << page << noBase << "http://" + QString(500, u'a') + " b/" << ""
            << "Not a valid address: it has an invalid host: " + QString(103, u'a') + u'\u2026';
}

void TestLinkAttributes::resolution()
{
    QFETCH(QString, document);
    QFETCH(QStringList, baseHrefs);
    QFETCH(QString, written);
    QFETCH(QString, address);
    QFETCH(QString, reason);

    LinkResolver resolver(document);
    for (const QString &href : std::as_const(baseHrefs))
        resolver.setBaseHref(href);
    QCOMPARE(resolver.hasBaseElement(), !baseHrefs.isEmpty());
    const LinkResolver::Resolution resolution = resolver.resolve(written);
    QCOMPARE(resolution.address, address);
    QCOMPARE(resolution.reason, reason);
    QCOMPARE(resolution.isLink(), !address.isEmpty());
    QCOMPARE(resolver.isLink(written), !address.isEmpty());
}

void TestLinkAttributes::quickLinkCheck_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("written");

    // Where the quick answer must hand over to the parser, or may answer alone: each
    // compared with what the parser says.
    const QString page = QStringLiteral("https://example.com/dir/page.html");
    QTest::newRow("a host after two slashes that does not parse") << page << "//exa mple/";
    QTest::newRow("two backslashes begin a host too") << page << "\\\\exa mple/";
    QTest::newRow("a slash and a backslash") << page << "/\\exa mple/";
    QTest::newRow("a line break between the slashes is dropped first") << page << "/\n/exa mple/";
    QTest::newRow("a tab inside the scheme") << page << "java\tscript:x";
    QTest::newRow("a scheme after leading spaces and controls") << page << u"\u0001  mailto:x"_qs;
    QTest::newRow("a scheme with digits, plus, dot, dash") << page << "a1+.-:x";
    QTest::newRow("a colon after a space is no scheme") << page << "a b:c";
    QTest::newRow("a colon after a slash is no scheme") << page << "a/b:c";
    QTest::newRow("a colon first is no scheme") << page << ":x";
    QTest::newRow("the base's own scheme, with no slashes") << page << "https:x";
    QTest::newRow("one slash then a host-like name") << page << "/exa mple/";
    QTest::newRow("a query with anything in it") << page << u"?a b\u0000c"_qs;
    QTest::newRow("a lone surrogate in the path") << page << QStringLiteral("a") + QChar(0xD800);
    QTest::newRow("nothing but spaces") << page << "   ";
    QTest::newRow("a relative address under a file: page") << "file:///a/b.html" << "x.css";
    QTest::newRow("a relative address with no page address") << "" << "x.css";
}

void TestLinkAttributes::quickLinkCheck()
{
    QFETCH(QString, document);
    QFETCH(QString, written);
    const LinkResolver resolver(document);
    QCOMPARE(resolver.isLink(written), resolver.resolve(written).isLink());
}

void TestLinkAttributes::stylesheetLinks_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("baseHref");
    QTest::addColumn<QString>("stylesheet");
    QTest::addColumn<bool>("declarations");
    QTest::addColumn<QStringList>("links");

    const QString css = QStringLiteral("http://example.com/css/site.css");

    QTest::newRow("url() without quotes, against the stylesheet's address")
            << css << QString() << "a{background:url(img/bg.png)}" << false << QStringList{"http://example.com/css/img/bg.png"};
    QTest::newRow("url() with quotes and ../")
            << css << QString() << "@font-face{src:url(\"../fonts/a.woff2\") format('woff2')}" << false
            << QStringList{"http://example.com/fonts/a.woff2"};
    QTest::newRow("an @import string") << css << QString() << "@import 'reset.css';" << false << QStringList{"http://example.com/css/reset.css"};
    QTest::newRow("an @import url() with a media query")
            << css << QString() << "@import url(print.css) print;" << false << QStringList{"http://example.com/css/print.css"};
    QTest::newRow("escapes are read before resolving")
            << css << QString() << "a{b:url(a\\29 b.png)}" << false << QStringList{"http://example.com/css/a)b.png"};
    QTest::newRow("a string that is not a url names nothing")
            << css << QString() << "a::before{content:\"x.png\"}" << false << QStringList{};
    QTest::newRow("a data: url is shown why it is not followed")
            << css << QString() << "a{b:url(data:image/png;base64,AAAA)}" << false
            << QStringList{"!Vellumin fetches http and https addresses only, not \"data:\" addresses."};
    QTest::newRow("a fragment-only url, as SVG filters use")
            << css << QString() << "a{filter:url(#blur)}" << false << QStringList{"http://example.com/css/site.css#blur"};
    QTest::newRow("in <style>, against the page's base")
            << "http://example.com/page.html" << "/theme/" << "a{b:url(bg.png)}" << false
            << QStringList{"http://example.com/theme/bg.png"};
    QTest::newRow("in a style attribute, against the page's base")
            << "http://example.com/page.html" << "http://cdn.example/" << "background: url('bg.png') , url(x.png)" << true
            << QStringList{"http://cdn.example/bg.png", "http://cdn.example/x.png"};
}

void TestLinkAttributes::stylesheetLinks()
{
    QFETCH(QString, address);
    QFETCH(QString, baseHref);
    QFETCH(QString, stylesheet);
    QFETCH(bool, declarations);
    QFETCH(QStringList, links);

    LinkResolver resolver(address);
    if (!baseHref.isNull())
        resolver.setBaseHref(baseHref);
    Css::TokenStream stream(stylesheet, 0, declarations ? Css::State::declarationList() : Css::State());
    QStringList resolved;
    Css::Token token;
    while (stream.next(token)) {
        if (!(token.flags & Css::Link))
            continue;
        const LinkResolver::Resolution resolution = resolver.resolve(token.value);
        resolved.append(resolution.isLink() ? resolution.address : u'!' + resolution.reason);
    }
    QCOMPARE(resolved, links);
}

void TestLinkAttributes::displayEscapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain text and non-ASCII letters stay") << u"a b/ü €"_qs << u"a b/ü €"_qs;
    QTest::newRow("a line break and a tab") << "a\nb\tc" << "a%0Ab%09c";
    QTest::newRow("delete and a C1 control") << u"a\u007Fb\u0085c"_qs << "a%7Fb%C2%85c";
    QTest::newRow("bidi overrides, isolates and marks")
            << u"\u202Ea\u2066b\u200Fc\u061C"_qs << "%E2%80%AEa%E2%81%A6b%E2%80%8Fc%D8%9C";
    QTest::newRow("line and paragraph separators") << u"a\u2028b\u2029c"_qs << "a%E2%80%A8b%E2%80%A9c";
    QTest::newRow("a percent sign is left as it is") << "100%" << "100%";
}

void TestLinkAttributes::displayEscapes()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(escapedForDisplay(text), shown);
}

QTEST_APPLESS_MAIN(TestLinkAttributes)
#include "tst_linkattributes.moc"
