// Display rows: a document's lines broken into rows at a width, by the line-wrapping
// functions and by the rows the view keeps for the whole document.

#include "DisplayRows.h"
#include "FuzzCheck.h"
#include "LineIndex.h"
#include "LineWrapping.h"

#include <QString>

namespace {

void checkRows(QStringView line, const QList<qsizetype> &starts, qreal width, const CharacterWidths &widths)
{
    FUZZ_CHECK(!starts.isEmpty() && starts.first() == 0);
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const qsizetype start = starts[i];
        const qsizetype end = i + 1 < starts.size() ? starts[i + 1] : line.size();
        // Every row holds something (an empty line is one empty row) and starts where a
        // character cluster does, never inside a surrogate pair.
        FUZZ_CHECK(end > start || line.isEmpty());
        FUZZ_CHECK(LineWrapping::isClusterBoundary(line, start));
        FUZZ_CHECK(start == 0 || !line[start].isLowSurrogate() || !line[start - 1].isHighSurrogate());
        // What a row shows fits, unless it is one cluster too wide for any row.
        qreal x = 0;
        qsizetype clusters = 0;
        for (qsizetype at = start; at < end;) {
            const char32_t c = line[at].isHighSurrogate() && at + 1 < end && line[at + 1].isLowSurrogate()
                    ? QChar::surrogateToUcs4(line[at], line[at + 1])
                    : line[at].unicode();
            clusters += LineWrapping::isClusterBoundary(line, at);
            x += widths.advance(c, x);
            at += c > 0xFFFF ? 2 : 1;
        }
        qsizetype visibleEnd = end;
        while (visibleEnd > start && line[visibleEnd - 1] == u' ')
            --visibleEnd;
        FUZZ_CHECK(x <= width + 1e-6 || clusters <= 1 || visibleEnd < end);
    }
}

} // namespace

// Two bytes pick the width (in cells); the rest is the document, as UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qreal cell = 7;
    const qreal width = cell * (1 + (data[0] | (data[1] << 8)) % 200);
    const QString document = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    // A fixed-pitch font, measured as the view measures its own.
    const CharacterWidths widths =
        CharacterWidths::measured([cell](char32_t c) { return CharacterWidths::cellsOf(c) * cell; }, 8 * cell);

    LineIndex lines;
    lines.reset(document);
    while (!lines.extend(97)) {
    }
    DisplayRows rows;
    rows.reset(&lines);
    DisplayRows::Rule rule;
    rule.breaker = [width, widths](QStringView line, qsizetype start) {
        return LineWrapping::nextRowStart(line, start, width, widths);
    };
    rule.estimate = [](qsizetype length) { return 1 + length / 7; };
    rows.setRule(rule);

    qsizetype row = 0;
    for (qsizetype line = 0; line < lines.lineCount(); ++line) {
        const QStringView text = lines.lineText(line);
        // Row by row from the line's start, the rows are those the view keeps.
        QList<qsizetype> stepwise{0};
        for (qsizetype from = LineWrapping::nextRowStart(text, 0, width, widths); from < text.size();
             from = LineWrapping::nextRowStart(text, from, width, widths)) {
            stepwise.append(from);
        }
        checkRows(text, stepwise, width, widths);
        QList<qsizetype> kept = rows.rowStarts(line);
        for (qsizetype &start : kept)
            start -= lines.lineStart(line);
        FUZZ_CHECK(kept == stepwise);
        // The rows the view counts are the rows it shows.
        FUZZ_CHECK(rows.firstRowOf(line) == row);
        for (qsizetype i = 0; i < kept.size(); ++i) {
            const DisplayRows::Place place = rows.placeOfRow(row + i);
            FUZZ_CHECK(place.line == line && place.row == i);
        }
        row += kept.size();
        // Without wrapping: rows of at most 2,000 units that never split a pair.
        QList<qsizetype> fixed{0};
        for (qsizetype from = LineWrapping::fixedRowEnd(text, 0, 2000); from < text.size();
             from = LineWrapping::fixedRowEnd(text, from, 2000)) {
            fixed.append(from);
        }
        for (qsizetype i = 0; i < fixed.size(); ++i) {
            const qsizetype end = i + 1 < fixed.size() ? fixed[i + 1] : text.size();
            FUZZ_CHECK(end - fixed[i] <= 2000);
            FUZZ_CHECK(fixed[i] == 0 || !text[fixed[i]].isLowSurrogate() || !text[fixed[i] - 1].isHighSurrogate());
        }
    }
    FUZZ_CHECK(rows.rowCount() == row);
    return 0;
}
