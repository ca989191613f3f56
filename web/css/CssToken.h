#pragma once

#include <QString>
#include <QtGlobal>

// A stylesheet's tokens as the CSS Syntax standard's tokenizer reads them, reported as
// spans of the document so that the view can colour them and follow their links.
namespace Css {

enum class TokenType : quint8 {
    Ident,
    Function, // a name and its '(': "rgb(", and "url(" when a quote follows it
    AtKeyword,
    Hash,
    String,
    BadString, // cut off by a line break
    Url, // url(...) without quotes
    BadUrl,
    Delim,
    Number,
    Percentage,
    Dimension, // a number and its unit: numberLength says where the unit starts
    UnicodeRange, // only where unicode ranges are allowed: U+0-7F, u+4??
    Whitespace,
    Cdo, // <!--
    Cdc, // -->
    Colon,
    Semicolon,
    Comma,
    OpenSquare,
    CloseSquare,
    OpenParen,
    CloseParen,
    OpenCurly,
    CloseCurly,
    Comment, // the tokenizer skips comments; the view colours them
};

enum TokenFlag : quint8 {
    HashId = 0x01, // a hash whose name would start an identifier ("id"), not just "unrestricted"
    Integer = 0x02, // a number, percentage or dimension written without '.' or exponent
    Link = 0x04, // an address to follow: a url token, the string in url("..."), the string of @import
    Unterminated = 0x08, // a comment, string or url that the end of the document cut off
};

// Where a token stands in the stylesheet, as a light reading of its blocks tells.
enum class Role : quint8 {
    Other, // the braces and semicolons between rules and declarations, whitespace there
    Selector, // a style rule's prelude
    AtRule, // an at-keyword and its prelude
    Property, // a declaration's name
    Value, // a declaration's value, after its colon
};

struct Token
{
    qsizetype start = 0; // offset in the document
    qsizetype length = 0;
    TokenType type = TokenType::Whitespace;
    Role role = Role::Other;
    quint8 flags = 0;
    quint32 numberLength = 0; // of a dimension: its unit starts at start + numberLength
    char32_t codePoint = 0; // a delim's code point; a unicode range's first
    char32_t last = 0; // a unicode range's last code point
    QString value; // a string's or url's value, escapes read; empty for other tokens

    qsizetype end() const { return start + length; }
};

} // namespace Css
