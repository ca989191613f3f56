#include "ParseError.h"

namespace html {

QLatin1StringView parseErrorCode(ParseError error)
{
    switch (error) {
    case ParseError::AbruptClosingOfEmptyComment:
        return QLatin1StringView("abrupt-closing-of-empty-comment");
    case ParseError::AbruptDoctypePublicIdentifier:
        return QLatin1StringView("abrupt-doctype-public-identifier");
    case ParseError::AbruptDoctypeSystemIdentifier:
        return QLatin1StringView("abrupt-doctype-system-identifier");
    case ParseError::AbsenceOfDigitsInNumericCharacterReference:
        return QLatin1StringView("absence-of-digits-in-numeric-character-reference");
    case ParseError::CdataInHtmlContent:
        return QLatin1StringView("cdata-in-html-content");
    case ParseError::CharacterReferenceOutsideUnicodeRange:
        return QLatin1StringView("character-reference-outside-unicode-range");
    case ParseError::ControlCharacterInInputStream:
        return QLatin1StringView("control-character-in-input-stream");
    case ParseError::ControlCharacterReference:
        return QLatin1StringView("control-character-reference");
    case ParseError::DuplicateAttribute:
        return QLatin1StringView("duplicate-attribute");
    case ParseError::EndTagWithAttributes:
        return QLatin1StringView("end-tag-with-attributes");
    case ParseError::EndTagWithTrailingSolidus:
        return QLatin1StringView("end-tag-with-trailing-solidus");
    case ParseError::EofBeforeTagName:
        return QLatin1StringView("eof-before-tag-name");
    case ParseError::EofInCdata:
        return QLatin1StringView("eof-in-cdata");
    case ParseError::EofInComment:
        return QLatin1StringView("eof-in-comment");
    case ParseError::EofInDoctype:
        return QLatin1StringView("eof-in-doctype");
    case ParseError::EofInScriptHtmlCommentLikeText:
        return QLatin1StringView("eof-in-script-html-comment-like-text");
    case ParseError::EofInTag:
        return QLatin1StringView("eof-in-tag");
    case ParseError::IncorrectlyClosedComment:
        return QLatin1StringView("incorrectly-closed-comment");
    case ParseError::IncorrectlyOpenedComment:
        return QLatin1StringView("incorrectly-opened-comment");
    case ParseError::InvalidCharacterSequenceAfterDoctypeName:
        return QLatin1StringView("invalid-character-sequence-after-doctype-name");
    case ParseError::InvalidFirstCharacterOfTagName:
        return QLatin1StringView("invalid-first-character-of-tag-name");
    case ParseError::MissingAttributeValue:
        return QLatin1StringView("missing-attribute-value");
    case ParseError::MissingDoctypeName:
        return QLatin1StringView("missing-doctype-name");
    case ParseError::MissingDoctypePublicIdentifier:
        return QLatin1StringView("missing-doctype-public-identifier");
    case ParseError::MissingDoctypeSystemIdentifier:
        return QLatin1StringView("missing-doctype-system-identifier");
    case ParseError::MissingEndTagName:
        return QLatin1StringView("missing-end-tag-name");
    case ParseError::MissingQuoteBeforeDoctypePublicIdentifier:
        return QLatin1StringView("missing-quote-before-doctype-public-identifier");
    case ParseError::MissingQuoteBeforeDoctypeSystemIdentifier:
        return QLatin1StringView("missing-quote-before-doctype-system-identifier");
    case ParseError::MissingSemicolonAfterCharacterReference:
        return QLatin1StringView("missing-semicolon-after-character-reference");
    case ParseError::MissingWhitespaceAfterDoctypePublicKeyword:
        return QLatin1StringView("missing-whitespace-after-doctype-public-keyword");
    case ParseError::MissingWhitespaceAfterDoctypeSystemKeyword:
        return QLatin1StringView("missing-whitespace-after-doctype-system-keyword");
    case ParseError::MissingWhitespaceBeforeDoctypeName:
        return QLatin1StringView("missing-whitespace-before-doctype-name");
    case ParseError::MissingWhitespaceBetweenAttributes:
        return QLatin1StringView("missing-whitespace-between-attributes");
    case ParseError::MissingWhitespaceBetweenDoctypePublicAndSystemIdentifiers:
        return QLatin1StringView("missing-whitespace-between-doctype-public-and-system-identifiers");
    case ParseError::NestedComment:
        return QLatin1StringView("nested-comment");
    case ParseError::NoncharacterCharacterReference:
        return QLatin1StringView("noncharacter-character-reference");
    case ParseError::NoncharacterInInputStream:
        return QLatin1StringView("noncharacter-in-input-stream");
    case ParseError::NullCharacterReference:
        return QLatin1StringView("null-character-reference");
    case ParseError::SurrogateCharacterReference:
        return QLatin1StringView("surrogate-character-reference");
    case ParseError::SurrogateInInputStream:
        return QLatin1StringView("surrogate-in-input-stream");
    case ParseError::UnexpectedCharacterAfterDoctypeSystemIdentifier:
        return QLatin1StringView("unexpected-character-after-doctype-system-identifier");
    case ParseError::UnexpectedCharacterInAttributeName:
        return QLatin1StringView("unexpected-character-in-attribute-name");
    case ParseError::UnexpectedCharacterInUnquotedAttributeValue:
        return QLatin1StringView("unexpected-character-in-unquoted-attribute-value");
    case ParseError::UnexpectedEqualsSignBeforeAttributeName:
        return QLatin1StringView("unexpected-equals-sign-before-attribute-name");
    case ParseError::UnexpectedNullCharacter:
        return QLatin1StringView("unexpected-null-character");
    case ParseError::UnexpectedQuestionMarkInsteadOfTagName:
        return QLatin1StringView("unexpected-question-mark-instead-of-tag-name");
    case ParseError::UnexpectedSolidusInTag:
        return QLatin1StringView("unexpected-solidus-in-tag");
    case ParseError::UnknownNamedCharacterReference:
        return QLatin1StringView("unknown-named-character-reference");
    }
    return {};
}

} // namespace html
