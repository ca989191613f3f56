#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string>

// Percent-encoding and -decoding, and the sets of code points each part of a URL
// encodes.
namespace Url {

// Each set holds the one before it and more, except where noted.
enum class PercentEncodeSet {
    C0Control, // C0 controls and everything above U+007E (~)
    Fragment, // and space " < > `
    Query, // C0 control set and space " # < > (not `)
    SpecialQuery, // query set and '
    Path, // query set and ? ` { }
    Userinfo, // path set and / : ; = @ [ \ ] ^ |
};

bool isInPercentEncodeSet(char32_t c, PercentEncodeSet set);

// Appends c to out as is, or as its UTF-8 bytes percent-encoded when the set holds it.
void utf8PercentEncode(char32_t c, PercentEncodeSet set, QString &out);
QString utf8PercentEncode(const std::u32string &input, PercentEncodeSet set);

QByteArray percentDecode(QByteArrayView input);

// The UTF-8 encoding of a string of code points.
QByteArray utf8Encode(const std::u32string &input);

// A string of scalar values: a lone surrogate becomes U+FFFD.
std::u32string toScalarValues(QStringView input);

} // namespace Url
