#pragma once

#include "CssToken.h"

#include <QStringView>

namespace Css {

// Where a stylesheet's reading stands between two tokens: all it needs to go on from
// there. The tokenizer keeps nothing between tokens, so this is only the light reading
// of the blocks that tells selectors, at-rules, property names and values apart. A
// small value (24 bytes, no heap) for the view to keep every so often as a checkpoint.
class State
{
public:
    // The start of a stylesheet: rules.
    State() = default;
    // The start of a style attribute's value: declarations.
    static State declarationList();

    bool operator==(const State &) const = default;

private:
    friend class TokenStream;

    quint64 m_blocks = 0; // bit d-1: the block at depth d holds declarations
    quint64 m_closers = 0; // two bits a level: what closes each of the first 32 nestings
    quint32 m_depth = 0; // of {} blocks that hold rules or declarations
    quint16 m_nesting = 0; // of (), [] and {} inside a prelude or a value
    quint8 m_place = 0;
    quint8 m_flags = 0;
};

// Reads a stylesheet's tokens one after another from a checkpoint (a position at a
// token boundary and the State there: the start of the document and State() at
// first), giving each its role. Taking position() and state() after any token gives
// a checkpoint from which the same tokens follow as when reading on.
//
// In a block of declarations, an ident followed by a colon is read as a property name:
// a nested rule written "a:hover{...}" colours as a declaration up to its '{', and its
// block as the rule's. Telling them apart sooner would mean reading ahead to the '{'.
//
// Links: a Url token, the String of url("...") and the String right after @import carry
// the Link flag, their value being the address as written, escapes read.
class TokenStream
{
public:
    explicit TokenStream(QStringView text, qsizetype position = 0, State state = State());

    // The next token, or false at the end of the text.
    bool next(Token &token);

    qsizetype position() const { return m_position; }
    State state() const { return m_state; }

private:
    bool blockHoldsDeclarations() const;
    void openBlock(bool declarations);
    void closeBlock();
    bool colonFollows(qsizetype from) const;
    void followNesting(TokenType type);
    void nest(TokenType opener);
    bool unnest(TokenType closer);

    QStringView m_text;
    qsizetype m_position;
    State m_state;
};

} // namespace Css
