#pragma once

#include "DisplayRows.h"
#include "LineIndex.h"
#include "PageView.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QHash>
#include <QTimer>

#include <memory>

class FindBar;
class FindSession;
class GoToLineBar;
class LineNumberGutter;
class MarkupColouring;
class QTextLayout;

// The page view: a read-only source view that stays quick on huge pages. It keeps the
// document as the exact string it was given, and shows it row by row, laying out only
// the rows on screen. Markup is coloured, lines are numbered in a gutter, and the view
// finds text (Ctrl+F, F3), goes to a line (Ctrl+G), wraps long lines (Alt+Z) and
// zooms (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0). The text property, Copy and Save always
// give back the document itself.
class SourceView : public QAbstractScrollArea, public PageView
{
    Q_OBJECT

public:
    // Without wrapping, a longer line is cut into rows of at most this many characters.
    static constexpr qsizetype maxRowLength = 2000;
    static constexpr int minimumZoom = 50;
    static constexpr int maximumZoom = 400;

    explicit SourceView(QWidget *parent = nullptr);
    ~SourceView() override;

    void setTextRTF(const QString &text) override;
    void setText(const QString &text) override;
    QString text() const override;
    void setContentType(const QByteArray &mimeType) override;
    QString saveFile(const QString &path, int format) override;
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;

    // The selection, as offsets into the document.
    qsizetype anchor() const { return m_anchor; }
    qsizetype cursorPosition() const { return m_cursor; }
    void setSelection(qsizetype anchor, qsizetype cursor);
    QString selectedText() const;
    void selectAll();

    // The document as it is shown, row by row; a huge one is indexed in slices.
    qsizetype rowCount() const { return m_rows.rowCount(); }
    QString rowText(qsizetype row);
    // The line number shown beside a row, counted from 1; 0 for a row that continues
    // a line.
    qsizetype lineNumberOfRow(qsizetype row);
    qsizetype firstVisibleRow() const;
    qsizetype lineCount() const { return m_lines.lineCount(); }
    bool indexComplete() const { return m_lines.complete(); }

    // Whether every row on screen has its colours (a jump far into a huge page waits
    // for the colouring to get there).
    bool coloursReadyOnScreen();

    bool isWrapping() const { return m_wrapping; }
    void setWrapping(bool wrapping);
    int zoom() const { return m_zoom; }
    void setZoom(int percent);
    void zoomIn();
    void zoomOut();

    void openFind();
    void findNext();
    void findPrevious();
    FindBar *findBar() const { return m_findBar; }
    void openGoToLine();
    // Puts the caret at the start of line (counted from 1; past the end: the last line).
    void goToLine(qsizetype line);
    GoToLineBar *goToLineBar() const { return m_goToLineBar; }

    // For the gutter and assistive technology.
    QRectF characterRect(qsizetype offset);
    qsizetype offsetAt(QPoint viewportPos);
    int lineHeight() const { return m_lineHeight; }
    int gutterWidth() const;
    void paintGutter(QPaintEvent *event);
    void gutterMouse(QMouseEvent *event);

signals:
    // Button: a MouseButton; shift: ShiftState bits; x, y in twips.
    void mouseDown(int button, int shift, float x, float y);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A row on screen: where its text starts and ends in the document, and its line.
    struct Row
    {
        qsizetype line = 0;
        qsizetype indexInLine = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype next = 0; // where the row after it starts
        bool lastOfLine = true;
    };
    struct CachedLayout
    {
        std::shared_ptr<QTextLayout> layout;
        bool coloured = false;
    };

    void showDocument(const QString &text);
    void backgroundSlice();
    void takeInLines();
    void applyRowRule();
    void relayout();
    void updateMetrics();
    void updateScrollBars();
    void updateGutter();
    void placeBars();

    Row rowAt(qsizetype row);
    Row rowOfLine(qsizetype line, qsizetype indexInLine);
    Row nextRow(const Row &row);
    qsizetype rowOf(qsizetype offset);
    QTextLayout *layoutFor(const Row &row);
    QList<qsizetype> visibleMatches(qsizetype from, qsizetype to) const;
    qreal xOf(qsizetype offset);
    void scrollToRow(qsizetype row);
    void keepTop(qsizetype offset);
    void moveCursor(qsizetype offset, bool keepAnchor);
    void ensureCursorVisible();
    void copySelection(QClipboard::Mode mode);
    void selectionChanged();
    int visibleRows() const;
    int textLeft() const;

    void startFind(bool backwards);
    void showMatch(qsizetype start, qsizetype length, bool wrapped);
    void updateFindStatus();
    void closeBars();

    QString m_document;
    QByteArray m_mimeType;
    LineIndex m_lines;
    DisplayRows m_rows;
    QTimer m_background;
    std::unique_ptr<MarkupColouring> m_colouring;
    std::unique_ptr<FindSession> m_find;

    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    qreal m_preferredX = -1;
    bool m_selecting = false;
    qsizetype m_gutterAnchorLine = -1;
    // The row at the top of the view: its line and which of the line's rows it is.
    // Rows above it may still be estimated; this stays put while they are measured.
    qsizetype m_topLine = 0;
    qsizetype m_topIndexInLine = 0;
    bool m_syncingScrollBar = false;

    bool m_wrapping = false;
    int m_zoom = 100;
    qreal m_basePointSize = 0;
    int m_lineHeight = 1;
    qreal m_charWidth = 1;
    qreal m_widestRow = 0;
    QHash<qsizetype, CachedLayout> m_layouts;

    LineNumberGutter *m_gutter;
    FindBar *m_findBar;
    GoToLineBar *m_goToLineBar;
    // The current match, and how the last search went round the ends.
    qsizetype m_matchStart = -1;
    qsizetype m_matchLength = 0;
    bool m_matchWrapped = false;
    bool m_findBackwards = false;
    bool m_searchFailed = false;
};
