#pragma once

#include "Sniffing.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace Encoding {

class Decoder;
class MetaInHead;

// Turns a page's body into text while it arrives. The encoding is the one browsers
// would find: byte-order mark, then the Content-Type's charset, then a <meta> or an
// XML declaration in the first 1024 bytes. An undeclared body is read as UTF-8 for as
// long as it is valid UTF-8 (beyond what browsers do: they would guess), and as
// windows-1252 from the start once it is not.
//
// Only the byte-order mark and the Content-Type make the encoding certain. Otherwise an
// HTML page's head is read as HTML's parser reads it, and a <meta> there that names
// another encoding has the page decoded again in that one, as browsers do. Bytes are let
// go as soon as they are decoded, and at the latest once the body starts: a big page
// never lives twice, as bytes and as text.
class DocumentDecoder
{
public:
    explicit DocumentDecoder(QByteArrayView contentType);
    ~DocumentDecoder();
    DocumentDecoder(const DocumentDecoder &) = delete;
    DocumentDecoder &operator=(const DocumentDecoder &) = delete;

    // The body's size, when the server said it, so that the text is allocated once.
    void expect(qint64 bytes);
    // The next piece of the body.
    void feed(QByteArrayView bytes);
    // The whole text, once the body has ended.
    QString finish();

    // The encoding used and where it came from; settled by finish().
    QByteArray encoding() const { return m_encoding; }
    EncodingSource source() const { return m_source; }
    // What the body held, counted as it was decoded: bytes fed, and the text's
    // Unicode characters and lines (ended by LF, CR LF or a lone CR; the text after
    // the last line break is a line too, even when empty). Settled by finish().
    qint64 bytes() const { return m_bytes; }
    qint64 characters() const { return m_characters; }
    qint64 lines() const { return m_bytes == 0 ? 0 : m_lineBreaks + 1; }

private:
    void count();
    void decide(bool last);
    void decodeUndeclared(QByteArrayView bytes, bool last);
    void fallBackToWindows1252(QByteArrayView undecoded, bool last);
    void readHead(bool last);
    void changeTheEncoding(const QByteArray &declared, bool last);
    void stopReadingHead();
    bool textGivesBytesBack() const;

    QByteArray m_contentType;
    qint64 m_expected = 0;
    bool m_decided = false;
    QByteArray m_head;   // the first bytes, until the encoding is known
    QByteArray m_carry;  // an undeclared body's UTF-8 sequence cut by a piece's end
    // While the encoding is not certain and the head lasts: the reader of the head, and
    // the bytes so far, to decode them again. Not kept for an undeclared body (read as
    // UTF-8 or windows-1252), whose text gives its bytes back.
    std::unique_ptr<MetaInHead> m_metaInHead;
    QByteArray m_headBytes;
    std::unique_ptr<Decoder> m_decoder;
    QByteArray m_encoding;
    EncodingSource m_source = EncodingSource::ValidUtf8;
    QString m_text;
    qint64 m_bytes = 0;
    qsizetype m_counted = 0; // how much of the text has been counted
    qint64 m_lineBreaks = 0;
    qint64 m_lowSurrogates = 0;
    qint64 m_characters = 0;
};

// A whole body at once.
QString decode(QByteArrayView body, QByteArrayView contentType);

} // namespace Encoding
