#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include "Tokenizer.h"

// A page whose encoding was only guessed can still declare it in a <meta> anywhere in
// its head, past the first 1024 bytes that the prescan reads; HTML's parser then changes
// the encoding and reads the page again.
namespace Encoding {

// What "change the encoding" decides, given the encoding in use and the one a <meta>
// named.
struct EncodingChange
{
    enum class Action {
        KeepCertain, // go on as now, certain of the encoding
        Redecode,    // decode the document again from its bytes in encoding
    } action = Action::KeepCertain;
    QByteArray encoding;
};
EncodingChange changeTheEncoding(QByteArrayView current, QByteArray newEncoding);

// The encoding that a <meta> start tag declares, as HTML's "in head" insertion mode
// reads it: its charset attribute, else an http-equiv="Content-Type" with a charset in
// its content. tag is the tag's text, from '<' to '>'. Empty when it declares none.
QByteArray encodingDeclaredByMeta(QStringView tag);

// Reads a document's text as HTML's tokenizer does, while the tree is still before the
// body, for the first <meta> there that declares an encoding. The text may arrive in
// pieces: each call reads on from where the last stopped.
class MetaInHead : private html::TokenSink
{
public:
    // Reads text (all of the document decoded so far) on. Unless the text is whole, it
    // stops a little before its end, where what comes next could still change how the
    // last characters read. Returns the encoding a <meta> in the head declares, or
    // empty.
    QByteArray read(QStringView text, bool whole);
    // Whether the tree was still before the body where reading stopped.
    bool beforeBody() const { return m_checkpoint.tree().beforeBody(); }
    // Reads from the start again, as for a text decoded anew.
    void restart() { m_checkpoint = {}; }

private:
    void token(const html::Token &token) override;
    void parseError(html::ParseError, qsizetype) override {}

    html::Checkpoint m_checkpoint;
    QStringView m_text;
    qsizetype m_foundAt = -1; // the first declaring <meta> of a read
    QByteArray m_found;
};

} // namespace Encoding
