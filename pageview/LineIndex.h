#pragma once

#include <QStringView>

#include <array>
#include <vector>

// Where the document's lines start. Lines end at LF, CR LF or a lone CR. The index is
// built in slices, from the start, so that a huge document shows its first lines at
// once while the rest is indexed.
//
// Lines are kept in blocks of 64, each with its start and its lines' places inside it
// in 16 bits (32 where the block is longer than 64 Ki characters): about two bytes a
// line. A block of short lines (1 Ki characters or less in all) keeps nothing but its
// start and is read again when asked: a page of empty lines costs the index next to
// nothing, rather than more than the text.
class LineIndex
{
public:
    // Starts over for document, which must outlive the index or the next reset. Its
    // offsets within a block are kept in 32 bits: a document is at most 256 MiB.
    void reset(QStringView document);
    // Indexes about budget more characters, and at most lineBudget lines; true once the
    // whole document is indexed. A line costs far more than a character: a slice of
    // budget characters of empty lines would take the window's thread for too long.
    bool extend(qsizetype budget, qsizetype lineBudget = sliceLines);
    // Indexes at least up to offset.
    void extendTo(qsizetype offset);
    bool complete() const { return m_complete; }

    // Lines indexed so far: those whose end is known. An empty document has one,
    // empty line, and so has the end of a document that ends with a line break.
    qsizetype lineCount() const { return knownStarts() - (m_complete ? 0 : 1); }
    qsizetype lineStart(qsizetype line) const;
    // Where the line's text ends, before its line break.
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineLength(qsizetype line) const { return lineEnd(line) - lineStart(line); }
    // Where the next line starts: after this one's line break.
    qsizetype nextLineStart(qsizetype line) const;
    // The indexed line that holds offset; a line break belongs to the line it ends.
    qsizetype lineOf(qsizetype offset) const;
    QStringView lineText(qsizetype line) const { return m_document.sliced(lineStart(line), lineLength(line)); }
    qsizetype longestLine() const { return m_longestLine; }
    // The first indexed line from from on (up to end) that is longer than length, or
    // end: a run of short lines is passed over a block at a time.
    qsizetype firstLineLongerThan(qsizetype length, qsizetype from, qsizetype end) const;

    // What the index holds in memory, in bytes.
    qsizetype storageBytes() const;

    static constexpr qsizetype blockLines = 64;
    // The lines extend indexes at most in one call unless told otherwise: a few
    // milliseconds' work.
    static constexpr qsizetype sliceLines = 1024 * 1024;
    // A block no longer than this, in characters, is read again rather than kept.
    static constexpr qsizetype readBlockLength = 1024;

private:
    // Where a finished block's places are: in m_narrow or m_wide, blockLines - 1 of
    // them from slot * (blockLines - 1), or nowhere (a block that is read again).
    static constexpr quint32 readBlock = 0xFFFFFFFFu;
    static constexpr quint32 wideBit = 0x80000000u;

    qsizetype knownStarts() const { return qsizetype(m_blockStarts.size()) * blockLines + m_pendingCount; }
    void addStart(qsizetype start);
    void finishBlock(qsizetype next);
    qsizetype startInBlock(qsizetype block, qsizetype index) const;
    qsizetype readStart(qsizetype block, qsizetype index) const;

    QStringView m_document;
    std::vector<quint32> m_blockStarts;   // the start of each finished block
    std::vector<quint32> m_blockSlots;    // per finished block: where its places are
    std::vector<quint16> m_narrow;
    std::vector<quint32> m_wide;
    // The block being filled: its lines' starts.
    std::array<qsizetype, blockLines> m_pending{};
    qsizetype m_pendingCount = 0;
    // The last place found by reading a block, where the next look-up in it goes on:
    // lines are mostly asked for in order.
    mutable qsizetype m_readBlock = -1;
    mutable qsizetype m_readIndex = 0;
    mutable qsizetype m_readOffset = 0;
    qsizetype m_scanned = 0;
    qsizetype m_longestLine = 0;
    bool m_complete = false;
};
