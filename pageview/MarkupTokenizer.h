#pragma once

#include <QByteArrayView>
#include <QList>
#include <QStringView>

#include <optional>

// Colours XML (XHTML, SVG, the XML types) as browsers' view-source does; HTML is
// coloured by web/html's tokenizer. Colouring resumes from any point whose state is
// known, so the view keeps a state every so often and colours the rows on screen from
// the nearest one without reading the whole document.

// What a stretch of markup is.
enum class MarkupRole : quint8 {
    Text, // character data, and the contents of script, style, title and the like
    Tag, // a tag's brackets, its name, and the whitespace, '=' and '/' between attributes
    AttributeName,
    AttributeValue, // with its quotes
    Comment, // <!-- ... -->, and what HTML reads as one: <!x ...>, </3 ...>
    Doctype,
    CharacterReference, // &amp; &#123; &#x1F;
    ProcessingInstruction, // <?xml ... ?>
    CData, // <![CDATA[ ... ]]>
    // A stylesheet inside the page (a style element's contents, a style attribute's
    // value), in the roles and colours of a stylesheet's (StylesheetRole).
    StyleSelector,
    StyleAtRule,
    StyleProperty,
    StyleValue,
    StyleComment,
    StyleString,
    StyleNumber,
    StyleHash,
    StyleFunction,
    StyleUrl,
};

// A stretch of the text given to tokenizeMarkup, by offset into that text.
struct MarkupSpan
{
    qsizetype start;
    qsizetype length;
    MarkupRole role;
    bool link = false; // an address to follow: underlined

    bool operator==(const MarkupSpan &) const = default;
};

// HTML has raw-text elements (script, style, title, ...) and reads CDATA sections only
// inside svg and math; XML has no raw text, CDATA everywhere and ends a processing
// instruction at "?>".
enum class MarkupSyntax : quint8 { Html, Xml };

// How a document of this MIME type (its essence, "text/html", as the transfer read it
// from the Content-Type) is coloured: HTML for text/html and for an unlabelled body
// that starts with '<'; XML for XML types (application/xhtml+xml, image/svg+xml,
// */xml, *+xml); none for anything else (plain text, CSS, JavaScript, JSON).
std::optional<MarkupSyntax> markupSyntaxFor(QByteArrayView essence, QStringView text);

// Where the tokenizer is between two characters: all it needs to go on from there. A
// small value (4 bytes) to be copied and compared freely.
class MarkupState
{
public:
    // The state at the start of a document.
    MarkupState() = default;

    // Whether this is the plain data state outside any tag, comment or section.
    bool isData() const;
    // Whether this is inside a tag (its name, its attributes) or a processing
    // instruction, so that a run starting here would not see where it began.
    bool isInsideTag() const;

    bool operator==(const MarkupState &) const = default;

private:
    template<bool WithSpans>
    friend class MarkupTokenizer;

    quint8 m_state = 0; // the tokenizer state
    quint8 m_returnState = 0; // where a numeric character reference returns to
    quint8 m_pending = 0; // characters of an already recognised opener still to colour
    MarkupRole m_pendingRole = MarkupRole::Text;
};

// Colours text (a row, a line, a slice: any piece of the document) from the state the
// document is in where text starts. Appends spans covering [0, text.size()) exactly,
// in order, adjacent spans differing in role; spans may be null when only the state is
// wanted. Returns the state where text ends.
//
// following is the document's text after text (or an empty view at the end of the
// document): a few characters of it decide whether something that starts in text is
// markup ("<" then a letter, "&amp;", "<![CDATA["). With it, colouring a piece and then
// the rest gives the same colours and the same state as colouring both at once.
// Linear in the length of text; no more than 40 characters of following are read.
MarkupState tokenizeMarkup(QStringView text, MarkupState state, QList<MarkupSpan> *spans,
                           QStringView following = {});
