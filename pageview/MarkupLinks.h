#pragma once

#include "LinkAttributes.h"
#include "MarkupTokenizer.h"
#include "Tokenizer.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <vector>

// The addresses in an HTML document's start tags, found by HTML's own tokenizer from a
// state the view has kept, as the colours are: only the part of the page asked for is
// read, never the whole of it.

// An address written in an attribute value, where it stands in the document, and as
// it reads with its character references read (the URL parser's input).
struct MarkupLink
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString written;
};

// Whether a run of the tokenizer that starts in this state would miss the start of a
// tag it is in (its name, its first attributes): the states after "<" and a name
// began, and the reference states, which may be in an attribute value.
bool insideTag(html::State state);

// The addresses in the start tags that the tokenizer reads from state up to stop, in
// document order. A tag still open at stop gives those of its attributes read so far.
QList<MarkupLink> markupLinks(QStringView document, html::Checkpoint state, qsizetype stop);

// An attribute value as written (without its quotes), with its character references
// read as HTML reads them inside a value: "?a=1&amp;b=2" is "?a=1&b=2", and "&copy=1"
// stays as it is.
QString readCharacterReferences(QStringView value);

class TreeFollower;

// The first <base> with an href in what a run of the tokenizer reads from state,
// passing every token and parse error on to another sink. The href is the raw value,
// by offsets. A base in svg or MathML, or in a template's contents, is none.
class BaseFinder : public html::TokenSink
{
public:
    BaseFinder(QStringView document, const html::Checkpoint &state, html::TokenSink &next);
    ~BaseFinder() override;

    void token(const html::Token &token) override;
    void parseError(html::ParseError error, qsizetype position) override { m_next.parseError(error, position); }

    // Where the first base element's href value stands, without its quotes; an empty
    // range for an empty value, -1 when none was read.
    qsizetype hrefStart = -1;
    qsizetype hrefEnd = -1;

private:
    QStringView m_document;
    html::TokenSink &m_next;
    std::unique_ptr<TreeFollower> m_tree;
};

// XML (XHTML, SVG, feeds): the tags that the colouring's tokenizer reads from state,
// where the document is at from, up to stop, each with its qualified name as written
// and a start tag's attributes (values without their quotes, references unread). A
// start tag that stop cuts comes with the attributes read so far, the last one perhaps
// cut. tag returns false to read no further. An <?xml-stylesheet ...?> instruction
// comes as a start tag named "?xml-stylesheet" whose attributes are its
// pseudo-attributes.
struct XmlStartTag
{
    QStringView name;
    std::vector<Html::Attribute> attributes;
    bool endTag = false;
    bool selfClosing = false;
    bool cut = false; // by stop, before the document's end
};
void readXmlStartTags(QStringView document, qsizetype from, MarkupState state, qsizetype stop,
                      const std::function<bool(const XmlStartTag &)> &tag);

// The namespace an XML element's links are read in: svg and MathML by their prefix or
// their own name, otherwise rootNamespace (that of the document's root element).
Html::Namespace xmlElementNamespace(QStringView qualifiedName, Html::Namespace rootNamespace);

// The addresses in those start tags, in document order. XLink's xlink:href is a link on
// any element, as XLink is read in any XML vocabulary; an xml-stylesheet instruction's
// href is one too.
QList<MarkupLink> xmlMarkupLinks(QStringView document, qsizetype from, MarkupState state, qsizetype stop,
                                 Html::Namespace rootNamespace);
