#pragma once

#include <QString>
#include <QStringView>

// Text from the network as a person is shown it, the way browsers' address bars show
// an address: whatever would be invisible there, would start a new line or would
// reorder the text around it is written out in a visible form, so that nothing a
// server sends can pass for the program's own words. Everything else is kept as it is.
namespace DisplayText {

// Controls (C0, DEL, C1), line and paragraph separators, format characters (bidi
// controls, zero-width characters, the byte-order mark, tags), lone surrogates, and
// the other code points that are drawn as nothing. Variation selectors are not among
// them: they only choose the look of the character before them.
bool isHidden(char32_t c);

// Each hidden code point as "\u{202E}": for a message or a header's value.
QString escapeForDisplay(QStringView text);

// Each hidden code point as its UTF-8 bytes percent-encoded ("%E2%80%AE"): for a piece
// of an address, which then reads as the address that would be sent.
QString percentEncodeForDisplay(QStringView text);

// An address as the program shows it: the URL serialised as it is sent, so that the
// host is the ASCII form DNS is asked for (punycode is never turned back into Unicode)
// and nothing outside printable ASCII is left, with no user name or password: a
// password is not for showing, and a user name can pose as a host
// ("http://bank.example@elsewhere.example/"). Text that is not a URL is shown
// percent-encoded as above.
QString displayedAddress(QStringView address);

} // namespace DisplayText
