// The same bytes through every encoding's decoder, by its name.

#include "Decoder.h"
#include "FuzzCheck.h"
#include "TextChecks.h"

#include <algorithm>
#include <array>

namespace {

// Every encoding of the web, by the name nameForLabel gives it.
constexpr std::array<const char *, 40> names = {
    "UTF-8", "IBM866", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6",
    "ISO-8859-7", "ISO-8859-8", "ISO-8859-8-I", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14",
    "ISO-8859-15", "ISO-8859-16", "KOI8-R", "KOI8-U", "macintosh", "windows-874", "windows-1250",
    "windows-1251", "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
    "windows-1257", "windows-1258", "x-mac-cyrillic", "GBK", "gb18030", "Big5", "EUC-JP",
    "ISO-2022-JP", "Shift_JIS", "EUC-KR", "replacement", "UTF-16BE", "UTF-16LE", "x-user-defined"};

QString decode(QByteArrayView name, QByteArrayView bytes, qsizetype pieceSize)
{
    const std::unique_ptr<Encoding::Decoder> decoder = Encoding::makeDecoder(name);
    FUZZ_CHECK(decoder);
    QString text;
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize)
        decoder->decode(bytes.sliced(at, std::min(pieceSize, bytes.size() - at)), false, text);
    decoder->decode({}, true, text);
    return text;
}

// Bytes below '0' are never part of a multi-byte sequence in an encoding that keeps
// ASCII as it is: they always stand for themselves.
QString delimiters(QStringView text)
{
    QString kept;
    for (QChar c : text) {
        if (c.unicode() < u'0')
            kept += c;
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    for (const char *name : names) {
        const QByteArrayView encoding(name);
        const std::unique_ptr<Encoding::Decoder> whole = Encoding::makeDecoder(encoding);
        FUZZ_CHECK(whole);
        QString text;
        whole->decode(bytes, true, text);
        FUZZ_CHECK(TextChecks::wellFormed(text));
        FUZZ_CHECK(decode(encoding, bytes, 1) == text);
        FUZZ_CHECK(decode(encoding, bytes, 3) == text);

        const bool utf16 = encoding.startsWith("UTF-16");
        if (encoding == "replacement") {
            FUZZ_CHECK(text == (bytes.isEmpty() ? QString() : QString(QChar::ReplacementCharacter)));
            continue;
        }
        if (utf16) {
            // Each two bytes give one code unit, or U+FFFD; an odd byte at the end or an
            // unpaired surrogate before it gives one U+FFFD.
            const qsizetype units = (bytes.size() + 1) / 2;
            FUZZ_CHECK(text.size() == units || text.size() == units - 1);
            continue;
        }
        // Escape sequences give no text of their own.
        if (encoding == "ISO-2022-JP")
            continue;

        // Nothing after an error is lost, and nothing at the end: every delimiter byte
        // is in the text, in order, and a line feed after the last byte only adds itself.
        FUZZ_CHECK(bytes.isEmpty() == text.isEmpty());
        FUZZ_CHECK(delimiters(text) == delimiters(QString::fromLatin1(bytes)));
        QByteArray withLineFeed = bytes.toByteArray() + '\n';
        const QString more = decode(encoding, withLineFeed, withLineFeed.size());
        if (encoding == "gb18030" || encoding == "GBK") {
            // The bytes a four-byte sequence held back are read again when it breaks.
            FUZZ_CHECK(more.startsWith(text) && more.endsWith(u'\n'));
        } else {
            FUZZ_CHECK(more == text + u'\n');
        }
        if (encoding == "UTF-8" && bytes.isValidUtf8())
            FUZZ_CHECK(text == TextChecks::fromUtf8(bytes));
    }
    return 0;
}
