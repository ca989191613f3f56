#pragma once

#include <QStringView>

#include <vector>

// Where the document's rows start. Lines end at LF, CR LF or a lone CR; a line longer
// than maxRowLength is cut into several rows, for display only, never inside a
// surrogate pair. The index is built in slices, from the start, so that a huge
// document shows its first rows at once while the rest is indexed.
class RowIndex
{
public:
    static constexpr qsizetype maxRowLength = 2000;

    // Starts over for document, which must outlive the index or the next reset.
    void reset(QStringView document);
    // Indexes about budget more characters; true once the whole document is indexed.
    bool extend(qsizetype budget);
    // Indexes at least up to offset.
    void extendTo(qsizetype offset);
    bool complete() const { return m_complete; }
    // How far the index reaches: every offset before it has its row.
    qsizetype indexed() const { return m_scanned; }

    // Rows indexed so far; an empty document has one, empty row. The start of the line
    // after the indexed ones is known but not yet its end: it does not count.
    qsizetype rowCount() const { return qsizetype(m_rowStarts.size()) - (m_complete ? 0 : 1); }
    qsizetype rowStart(qsizetype row) const { return m_rowStarts[size_t(row)]; }
    // The row's text, without its line break.
    qsizetype rowLength(qsizetype row) const;
    qsizetype rowEnd(qsizetype row) const { return rowStart(row) + rowLength(row); }
    // The row that holds offset, among the indexed ones; a line break belongs to the
    // row it ends.
    qsizetype rowOf(qsizetype offset) const;
    qsizetype longestRow() const { return m_longestRow; }

    // Lines, counted from 0. A row that continues a line has no number of its own.
    bool startsLine(qsizetype row) const;
    qsizetype lineOfRow(qsizetype row) const;
    qsizetype rowOfLine(qsizetype line) const;
    qsizetype lineCount() const { return rowCount() - qsizetype(m_continuations.size()); }

private:
    void addLine(qsizetype start, qsizetype end);
    qsizetype continuationsUpTo(qsizetype row) const;

    QStringView m_document;
    std::vector<qsizetype> m_rowStarts;
    // Rows that continue a line: few, so kept apart.
    std::vector<qsizetype> m_continuations;
    qsizetype m_scanned = 0;
    qsizetype m_nextLf = -1;
    qsizetype m_nextCr = -1;
    qsizetype m_longestRow = 0;
    bool m_complete = false;
};
