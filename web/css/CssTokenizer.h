#pragma once

#include "CssToken.h"

#include <QLatin1StringView>
#include <QStringView>

namespace Css {

// "Consume a token": reads the token that starts at position in text (one comment
// is a token too) and moves position past it. Between tokens the tokenizer keeps no
// state, so it can start at any token boundary. False at the end of text. The token's
// role is left to the caller.
//
// The input is read as the standard preprocesses it, without copying: CR LF, CR and
// FF are newlines, NUL and lone surrogates read as U+FFFD.
bool consumeToken(QStringView text, qsizetype &position, Token &token, bool unicodeRangesAllowed = false);

// Whether an escaped name, as it stands in the text (an ident, a function's name
// without its '(', an at-keyword's without its '@'), reads as name, ignoring ASCII case.
// name is in lower case.
bool nameMatches(QStringView raw, QLatin1StringView name);

} // namespace Css
