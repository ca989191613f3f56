#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace Encoding {

// One encoding's decoder: the page's bytes go in as they arrive, in pieces of any
// size, and text comes out; a sequence cut by the end of one piece goes on in the
// next. Errors become U+FFFD, never silence.
class Decoder
{
public:
    virtual ~Decoder() = default;

    // Decodes the next piece of the stream and appends its text to out. With last,
    // the stream ends here: a sequence that is still open is an error.
    virtual void decode(QByteArrayView bytes, bool last, QString &out) = 0;
};

// A decoder for an encoding by its name as nameForLabel gives it ("Shift_JIS");
// null for a name that is no encoding.
std::unique_ptr<Decoder> makeDecoder(QByteArrayView name);

} // namespace Encoding
