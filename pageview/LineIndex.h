#pragma once

#include <QStringView>

#include <vector>

// Where the document's lines start. Lines end at LF, CR LF or a lone CR. The index is
// built in slices, from the start, so that a huge document shows its first lines at
// once while the rest is indexed.
class LineIndex
{
public:
    // Starts over for document, which must outlive the index or the next reset.
    void reset(QStringView document);
    // Indexes about budget more characters; true once the whole document is indexed.
    bool extend(qsizetype budget);
    // Indexes at least up to offset.
    void extendTo(qsizetype offset);
    bool complete() const { return m_complete; }

    // Lines indexed so far: those whose end is known. An empty document has one,
    // empty line, and so has the end of a document that ends with a line break.
    qsizetype lineCount() const { return qsizetype(m_starts.size()) - (m_complete ? 0 : 1); }
    qsizetype lineStart(qsizetype line) const { return m_starts[size_t(line)]; }
    // Where the line's text ends, before its line break.
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineLength(qsizetype line) const { return lineEnd(line) - lineStart(line); }
    // Where the next line starts: after this one's line break.
    qsizetype nextLineStart(qsizetype line) const;
    // The indexed line that holds offset; a line break belongs to the line it ends.
    qsizetype lineOf(qsizetype offset) const;
    QStringView lineText(qsizetype line) const { return m_document.sliced(lineStart(line), lineLength(line)); }
    qsizetype longestLine() const { return m_longestLine; }

private:
    QStringView m_document;
    std::vector<qsizetype> m_starts;
    qsizetype m_scanned = 0;
    qsizetype m_longestLine = 0;
    bool m_complete = false;
};
