#pragma once

#include "CaretNavigator.h"
#include "DisplayRows.h"
#include "ParseErrorMarks.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QPalette>

#include <functional>
#include <optional>
#include <memory>

class LineIndex;
class MarkupColouring;
class QPainter;
class QScrollBar;
class QTextLayout;
class StylesheetColouring;

// The rows on screen: which rows of the document are in view, how each is laid out
// (only the ones on screen, kept in a small cache), where a character is drawn and
// which character is under a point, and painting the text and the line numbers.
// It knows nothing of keys, the caret's rules or the find field; it tells the caret where
// things are in a row.
class RowLayer : public RowGeometry
{
public:
    // Room between the view's edge and the text, and round the line numbers.
    static constexpr int margin = 4;
    // Without wrapping, a longer line is cut into rows of at most this many characters.
    static constexpr qsizetype maxRowLength = 2000;

    // A row: where its text starts and ends in the document, and its line.
    struct Row
    {
        qsizetype line = 0;
        qsizetype indexInLine = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype next = 0; // where the row after it starts
        bool lastOfLine = true;
    };

    // What to paint besides the text.
    struct Marks
    {
        qsizetype selectionStart = 0;
        qsizetype selectionEnd = 0;
        qsizetype caret = -1; // -1: no caret drawn
        qsizetype caretRow = -1; // the row the caret is drawn on, where a row ends as the next begins
        QList<qsizetype> matches;
        qsizetype matchLength = 0;
        QPalette::ColorGroup group = QPalette::Active;
    };

    RowLayer(const QString &document, LineIndex &lines, DisplayRows &rows, MarkupColouring &colouring);
    ~RowLayer() override;
    // Colours a stylesheet while it is active; the markup's colouring stays for the rest.
    void setStylesheetColouring(StylesheetColouring *colouring) { m_stylesheet = colouring; }

    // Called when finding a row took the line index further.
    std::function<void()> linesAdded;
    // Called when a row laid out is wider than any before (the scroll range grows).
    std::function<void()> widestRowGrew;

    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    void setPalette(const QPalette &palette);
    int lineHeight() const { return m_lineHeight; }
    qreal charWidth() const { return m_charWidth; }
    qreal widestRow() const { return m_widestRow; }
    void setWrapping(bool wrapping) { m_wrapping = wrapping; }
    // Whether parse errors are underlined (on at start).
    void setErrorMarksShown(bool shown);
    bool errorMarksShown() const { return m_errorMarksShown; }
    // The parse error marked under offset, if the row it is on is coloured.
    std::optional<ParseErrorMark> errorAt(qsizetype offset);
    // How rows break: at textWidth pixels when wrapping, else at maxRowLength.
    DisplayRows::Rule rule(qreal textWidth) const;
    // Layouts are made again: the rows, their colours or the font changed.
    void forgetLayouts();
    void forgetUncolouredLayouts();

    qsizetype rowCount() const { return m_rows.rowCount(); }
    qsizetype firstVisibleRow() const;
    void setFirstVisibleRow(qsizetype row);
    // Sets the scroll bars' ranges for the rows and widths there are, rowsOnScreen
    // rows and width pixels in view. The top row stays put where it can.
    void fitScrollBars(QScrollBar &vertical, QScrollBar &horizontal, int rowsOnScreen, int width);
    // The row under y pixels from the top of the view (above it: the row before the
    // first), kept within the document.
    qsizetype rowAtY(int y) const;

    Row rowAt(qsizetype row);
    Row rowOfLine(qsizetype line, qsizetype indexInLine);
    // The row after row; line -1 after the last.
    Row nextRow(const Row &row);
    // The row an offset is on, indexing the document that far when it has not yet.
    qsizetype rowOf(qsizetype offset);

    QString rowText(qsizetype row);
    // The number beside a row, from 1; 0 for a row that continues a line.
    qsizetype lineNumberOfRow(qsizetype row);
    // Whether the rows on screen have their colours.
    bool coloursReady(int rowsOnScreen);
    // Where offset is drawn, in the view's pixels, the text starting at left.
    QRectF characterRect(qsizetype offset, qreal left);

    // The whole row laid out.
    QTextLayout *layoutFor(const Row &row);
    // The x of offset in its row, from the row's start.
    qreal xOf(qsizetype offset);
    // The offset nearest x pixels from the row's start.
    qsizetype offsetAt(qsizetype row, qreal x);
    qreal xOf(const DisplayRows::Span &row, qsizetype offset) override;
    qsizetype offsetAt(const DisplayRows::Span &row, qreal x) override;

    // Paints rows from the first visible one down, the text at left.
    void paintText(QPainter &painter, qreal left, int rows, const Marks &marks);
    void paintNumbers(QPainter &painter, int width, int rows);

private:
    struct CachedLayout
    {
        std::shared_ptr<QTextLayout> layout;
        bool coloured = false;
        QList<ParseErrorMark> errors;
        bool whole = true; // or the row's first characters only
        qreal reach = 0; // the width laid out
    };

    // The row laid out at least as far as x from its start: of a long row, its start.
    QTextLayout *layoutAsFarAs(const Row &row, qreal x);
    QTextLayout *makeLayout(const Row &row, qsizetype length);

    const QString &m_document;
    LineIndex &m_lines;
    DisplayRows &m_rows;
    MarkupColouring &m_colouring;
    StylesheetColouring *m_stylesheet = nullptr;
    QFont m_font;
    QPalette m_palette;
    int m_lineHeight = 1;
    qreal m_charWidth = 1;
    qreal m_widestRow = 0;
    bool m_wrapping = false;
    bool m_errorMarksShown = true;
    // The row at the top of the view: its line and which of the line's rows it is.
    // Rows above it may still be estimated; this stays put while they are measured.
    qsizetype m_topLine = 0;
    qsizetype m_topIndexInLine = 0;
    QHash<qsizetype, CachedLayout> m_layouts;
};
