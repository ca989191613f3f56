#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

// Facts about a text counted the plain way, to hold the decoders' own counts and
// output against.
namespace TextChecks {

// Every surrogate is one half of a pair, in order.
inline bool wellFormed(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

inline qint64 codePoints(QStringView text)
{
    qint64 pairs = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        pairs += text[i].isHighSurrogate() && text[i + 1].isLowSurrogate();
    return text.size() - pairs;
}

// Lines ended by LF, CR LF or a lone CR; the text after the last break is a line too.
inline qint64 lineBreaks(QStringView text)
{
    qint64 breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        breaks += text[i] == u'\n' || text[i] == u'\r';
    }
    return breaks;
}

// Qt's reading of valid UTF-8, every byte-order mark kept as U+FEFF.
inline QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

} // namespace TextChecks
