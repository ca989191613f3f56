#include "ParseErrorMarks.h"

using html::ParseError;

namespace {

// An attribute's name ends where the error was found and starts after the whitespace,
// solidus or quote before it.
bool endsAttributeName(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'/' || c == u'"' || c == u'\''
        || c == u'<';
}

// Names come from the network: shown short, with nothing that could break the line.
QString shownName(QStringView name)
{
    constexpr qsizetype longest = 40;
    QString shown;
    for (QChar c : name.first(std::min(name.size(), longest)))
        shown += (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format || c.isSpace()) ? QChar(0xFFFD) : c;
    if (name.size() > longest)
        shown += QChar(0x2026);
    return shown;
}

const char *sentence(ParseError error)
{
    switch (error) {
    case ParseError::AbruptClosingOfEmptyComment: return "Comment closed right after it opened (<!--> or <!--->)";
    case ParseError::AbruptDoctypePublicIdentifier: return "DOCTYPE public identifier ended by “>” before its closing quote";
    case ParseError::AbruptDoctypeSystemIdentifier: return "DOCTYPE system identifier ended by “>” before its closing quote";
    case ParseError::AbsenceOfDigitsInNumericCharacterReference: return "Numeric character reference without digits: read as text";
    case ParseError::CdataInHtmlContent: return "CDATA section outside svg or math: browsers read it as a comment";
    case ParseError::CharacterReferenceOutsideUnicodeRange: return "Character reference beyond Unicode: read as U+FFFD";
    case ParseError::ControlCharacterInInputStream: return "Control character in the page";
    case ParseError::ControlCharacterReference: return "Character reference to a control character";
    case ParseError::DuplicateAttribute: return "Duplicate attribute: browsers keep the first";
    case ParseError::EndTagWithAttributes: return "End tag with attributes: browsers ignore them";
    case ParseError::EndTagWithTrailingSolidus: return "End tag ending in “/>”: the “/” is ignored";
    case ParseError::EofBeforeTagName: return "End of file where a tag name should be";
    case ParseError::EofInCdata: return "End of file inside a CDATA section";
    case ParseError::EofInComment: return "End of file inside a comment";
    case ParseError::EofInDoctype: return "End of file inside the DOCTYPE";
    case ParseError::EofInScriptHtmlCommentLikeText: return "End of file inside “<!--” in a script";
    case ParseError::EofInTag: return "End of file inside a tag: browsers drop the tag";
    case ParseError::IncorrectlyClosedComment: return "Comment closed by “--!>”: it should be “-->”";
    case ParseError::IncorrectlyOpenedComment: return "Markup declaration that is not a comment, DOCTYPE or CDATA: read as a comment";
    case ParseError::InvalidCharacterSequenceAfterDoctypeName: return "Unexpected text after the DOCTYPE name";
    case ParseError::InvalidFirstCharacterOfTagName: return "“<” not followed by a tag name: read as text";
    case ParseError::MissingAttributeValue: return "Attribute with “=” but no value";
    case ParseError::MissingDoctypeName: return "DOCTYPE without a name";
    case ParseError::MissingDoctypePublicIdentifier: return "DOCTYPE PUBLIC without an identifier";
    case ParseError::MissingDoctypeSystemIdentifier: return "DOCTYPE SYSTEM without an identifier";
    case ParseError::MissingEndTagName: return "“</>” without a tag name: browsers ignore it";
    case ParseError::MissingQuoteBeforeDoctypePublicIdentifier: return "DOCTYPE public identifier without its opening quote";
    case ParseError::MissingQuoteBeforeDoctypeSystemIdentifier: return "DOCTYPE system identifier without its opening quote";
    case ParseError::MissingSemicolonAfterCharacterReference: return "Character reference without its closing “;”";
    case ParseError::MissingWhitespaceAfterDoctypePublicKeyword: return "No space after the DOCTYPE's PUBLIC keyword";
    case ParseError::MissingWhitespaceAfterDoctypeSystemKeyword: return "No space after the DOCTYPE's SYSTEM keyword";
    case ParseError::MissingWhitespaceBeforeDoctypeName: return "No space before the DOCTYPE name";
    case ParseError::MissingWhitespaceBetweenAttributes: return "No space between two attributes";
    case ParseError::MissingWhitespaceBetweenDoctypePublicAndSystemIdentifiers: return "No space between the DOCTYPE's public and system identifiers";
    case ParseError::NestedComment: return "“<!--” inside a comment: comments do not nest";
    case ParseError::NoncharacterCharacterReference: return "Character reference to a noncharacter";
    case ParseError::NoncharacterInInputStream: return "Noncharacter in the page";
    case ParseError::NullCharacterReference: return "Character reference to U+0000: read as U+FFFD";
    case ParseError::SurrogateCharacterReference: return "Character reference to a surrogate: read as U+FFFD";
    case ParseError::SurrogateInInputStream: return "Lone surrogate in the page";
    case ParseError::UnexpectedCharacterAfterDoctypeSystemIdentifier: return "Unexpected text after the DOCTYPE's system identifier";
    case ParseError::UnexpectedCharacterInAttributeName: return "Quote or “<” inside an attribute name";
    case ParseError::UnexpectedCharacterInUnquotedAttributeValue: return "Quote, “<”, “=” or “`” inside an unquoted attribute value";
    case ParseError::UnexpectedEqualsSignBeforeAttributeName: return "Attribute name starting with “=”";
    case ParseError::UnexpectedNullCharacter: return "U+0000 NULL character in the page";
    case ParseError::UnexpectedQuestionMarkInsteadOfTagName: return "“<?” in HTML: read as a comment";
    case ParseError::UnexpectedSolidusInTag: return "“/” inside a tag where it does not close it";
    case ParseError::UnknownNamedCharacterReference: return "Unknown named character reference";
    }
    return "Parse error";
}

} // namespace

ParseErrorMark parseErrorMark(ParseError error, qsizetype position, QStringView document)
{
    const qsizetype size = document.size();
    qsizetype start = std::clamp<qsizetype>(position, 0, std::max<qsizetype>(0, size - 1));
    qsizetype end = std::min(size, start + 1);
    if (error == ParseError::DuplicateAttribute && position > 0 && position <= size) {
        qsizetype nameStart = position;
        while (nameStart > 0 && position - nameStart < 1024 && !endsAttributeName(document[nameStart - 1]))
            --nameStart;
        if (nameStart < position) {
            start = nameStart;
            end = position;
        }
    }
    return {start, end, error};
}

QString parseErrorText(const ParseErrorMark &mark, QStringView document)
{
    if (mark.error == ParseError::DuplicateAttribute && mark.end > mark.start && mark.end <= document.size()) {
        return QStringLiteral("Duplicate attribute “%1”: browsers keep the first")
            .arg(shownName(document.sliced(mark.start, mark.end - mark.start)));
    }
    return QString::fromUtf8(sentence(mark.error));
}
