#pragma once

#include "ParseError.h"

#include <QString>
#include <QStringView>

// A parse error as the view marks it: the characters it is under, and what it is.
struct ParseErrorMark
{
    qsizetype start = 0;
    qsizetype end = 0;
    html::ParseError error = html::ParseError::UnexpectedNullCharacter;

    bool operator==(const ParseErrorMark &) const = default;
};

// The mark of an error the tokenizer found at position in document: the attribute's
// name for a duplicate attribute, otherwise the one character (the last one for an
// error at the end of the document).
ParseErrorMark parseErrorMark(html::ParseError error, qsizetype position, QStringView document);

// The error in plain words, for a person reading the page's source:
// "Duplicate attribute “class”: browsers keep the first". Plain text, with the
// attribute's name from document where the error has one.
QString parseErrorText(const ParseErrorMark &mark, QStringView document);
