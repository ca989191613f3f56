#pragma once

#include "Decoder.h"

#include <QByteArrayView>

#include <memory>

// One decoder per family of encodings, as the Encoding Standard groups them; makeDecoder
// picks among them by name.
namespace Encoding {

std::unique_ptr<Decoder> makeUtf8Decoder();
std::unique_ptr<Decoder> makeUtf16Decoder(bool bigEndian);
// Null for a name with no single-byte index ("windows-1252" has one, "UTF-8" not).
std::unique_ptr<Decoder> makeSingleByteDecoder(QByteArrayView indexName);
std::unique_ptr<Decoder> makeUserDefinedDecoder();
std::unique_ptr<Decoder> makeGb18030Decoder();
std::unique_ptr<Decoder> makeBig5Decoder();
std::unique_ptr<Decoder> makeEucJpDecoder();
std::unique_ptr<Decoder> makeIso2022JpDecoder();
std::unique_ptr<Decoder> makeShiftJisDecoder();
std::unique_ptr<Decoder> makeEucKrDecoder();
std::unique_ptr<Decoder> makeReplacementDecoder();

} // namespace Encoding
