#pragma once

#include <QHash>
#include <QList>
#include <QStringView>

#include <functional>
#include <vector>

class LineIndex;

// How the document's lines fall into rows on screen: one row per line, except where
// a line is broken, at a fixed length when wrapping is off, at the view's width when
// it is on. Lines are measured (broken into rows) when they come into view and, in the
// background, from the start; until then a line's rows are estimated from its length,
// so that a huge document can be scrolled to its end at once. A very long line is
// measured a part at a time, only as far as the rows asked for.
class DisplayRows
{
public:
    // Where the row that starts at rowStart in line ends, which is where the next one
    // starts: line.size() when the rest of the line fits.
    using Breaker = std::function<qsizetype(QStringView line, qsizetype rowStart)>;
    // About how many rows a line of this length takes, until it is measured.
    using Estimate = std::function<qsizetype(qsizetype length)>;

    struct Rule
    {
        Breaker breaker;
        Estimate estimate;
        // A line no longer than this is one row, without measuring.
        qsizetype singleRowLength = 0;
        // Measuring costs little (a fixed length, not the width of each character):
        // lines are measured as soon as they are indexed.
        bool measureAtOnce = false;
    };

    void reset(const LineIndex *lines);
    // A new way of breaking lines: every line is estimated again and measured anew.
    void setRule(Rule rule);
    // Takes in the lines the index has found since the last call.
    void linesAdded();

    qsizetype lineCount() const { return m_lineCount; }
    qsizetype rowCount() const { return m_totalRows; }
    qsizetype firstRowOf(qsizetype line) const;
    qsizetype rowsIn(qsizetype line) const;
    bool isMeasured(qsizetype line) const;
    bool allMeasured() const { return m_unmeasured == 0; }

    // Where a row is: its line, and which of the line's rows it is (estimated lines
    // give an estimated place).
    struct Place
    {
        qsizetype line;
        qsizetype row;
    };
    Place placeOfRow(qsizetype row) const;
    // One of a line's rows, as offsets into the document: its text [start, end), and
    // where the row after it starts (the next line's start after the line's last row).
    // The line is measured as far as this row; a row past its last is its last.
    struct Span
    {
        qsizetype indexInLine;
        qsizetype start;
        qsizetype end;
        qsizetype next;
        bool lastOfLine;
    };
    Span rowSpan(qsizetype line, qsizetype indexInLine);
    // The starts of all the line's rows, as offsets into the document; measures the
    // whole line first.
    QList<qsizetype> rowStarts(qsizetype line);
    // The row that holds offset (measuring its line as far as offset).
    qsizetype rowOf(qsizetype offset);

    // Measures estimated lines, from where the last call stopped, for about budget
    // characters; true once every line is measured.
    bool measure(qsizetype budget);

    // What the rows hold in memory, in bytes, besides the rows of lines in use kept
    // for drawing them.
    qsizetype storageBytes() const;

private:
    // Per line, once lines differ: its rows in 15 bits, and whether they are exact.
    // A line of more rows than fit is looked up in m_manyRows.
    static constexpr quint16 measuredBit = 0x8000u;
    static constexpr quint16 manyRows = 0x7FFFu;
    // The tree counts rows a block of lines at a time; within a block they are added up.
    static constexpr qsizetype blockLines = 64;

    void setRows(qsizetype line, qsizetype rows, bool measured);
    void appendRows(qsizetype rows, bool measured);
    void becomeVaried();
    void buildTree();
    void treeTakeIn(qsizetype fromLine);
    void treeAdd(qsizetype block, qint64 delta);
    qint64 treePrefix(qsizetype blocks) const;
    qsizetype countRows(QStringView line) const;
    bool isSingleRow(qsizetype line) const;

    // The rows of a line found so far: their starts (offsets into the document), and
    // whether the line's last row is among them.
    struct Measured
    {
        QList<qsizetype> starts;
        bool complete = false;
    };
    // Measures line until it has wantRows rows or a row that starts past wantOffset,
    // or is complete, a part at a time.
    const Measured &measureLine(qsizetype line, qsizetype wantRows, qsizetype wantOffset);

    const LineIndex *m_lines = nullptr;
    Rule m_rule;
    qsizetype m_lineCount = 0;
    qsizetype m_totalRows = 0;
    qsizetype m_unmeasured = 0;
    qsizetype m_measureFrom = 0;
    // While every line is one row, rows are lines and nothing is stored.
    bool m_uniform = true;
    std::vector<quint16> m_rows;       // per line: its rows, with measuredBit once exact
    QHash<qsizetype, qsizetype> m_manyRows;
    std::vector<qint64> m_tree;        // a Fenwick tree of the rows per block, 1-based
    qsizetype m_treeLines = 0;         // the lines the tree counts
    // The rows of lines of more than one row, for the lines used lately.
    QHash<qsizetype, Measured> m_starts;
    qsizetype m_startsHeld = 0;
};
