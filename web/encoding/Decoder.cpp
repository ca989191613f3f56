#include "Decoder.h"

#include "Decoders.h"

namespace Encoding {

std::unique_ptr<Decoder> makeDecoder(QByteArrayView name)
{
    if (name == "UTF-8")
        return makeUtf8Decoder();
    if (name == "UTF-16BE" || name == "UTF-16LE")
        return makeUtf16Decoder(name == "UTF-16BE");
    // GBK is read with gb18030's decoder: the one decodes everything the other encodes.
    if (name == "GBK" || name == "gb18030")
        return makeGb18030Decoder();
    if (name == "Big5")
        return makeBig5Decoder();
    if (name == "EUC-JP")
        return makeEucJpDecoder();
    if (name == "ISO-2022-JP")
        return makeIso2022JpDecoder();
    if (name == "Shift_JIS")
        return makeShiftJisDecoder();
    if (name == "EUC-KR")
        return makeEucKrDecoder();
    if (name == "replacement")
        return makeReplacementDecoder();
    if (name == "x-user-defined")
        return makeUserDefinedDecoder();
    // ISO-8859-8-I differs from ISO-8859-8 only in how its text is laid out, not in its bytes.
    if (name == "ISO-8859-8-I")
        return makeSingleByteDecoder("ISO-8859-8");
    return makeSingleByteDecoder(name);
}

} // namespace Encoding
