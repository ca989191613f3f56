#pragma once

#include "CaretInput.h"
#include "CaretNavigator.h"
#include "DisplayRows.h"
#include "ErrorNavigation.h"
#include "LineIndex.h"
#include "RowLayer.h"
#include "FindController.h"
#include "ViewFields.h"
#include "ViewZoom.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QTimer>

#include <memory>
#include <optional>

class DragSelection;
class LineNumberGutter;
class MarkupColouring;
class StylesheetColouring;

// The page view: a read-only source view that stays quick on huge pages. It keeps the
// document as the exact string it was given, and shows it row by row, laying out only
// the rows on screen. Markup is coloured, lines are numbered in a gutter, and the view
// finds text (Ctrl+F, F3), goes to a line (Ctrl+G), wraps long lines (Alt+Z) and
// zooms (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0); addresses in HTML and CSS are links,
// followed with a click or Enter. The rows and their painting are the
// RowLayer's, the find field's work the FindController's, the caret and the selection
// the CaretNavigator's, selecting with the mouse the DragSelection's, the zoom the
// ViewZoom's and the parse-error marks' keys and tooltips the ErrorNavigation's; this
// class holds them together and takes the widget's events.
class SourceView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr qsizetype maxRowLength = RowLayer::maxRowLength;
    static constexpr int minimumZoom = 50;
    static constexpr int maximumZoom = 400;

    explicit SourceView(QWidget *parent = nullptr);
    ~SourceView() override;

    // Replaces the document; mimeType ("text/html") says how to colour it, empty for
    // none.
    void setText(const QString &text, const QByteArray &mimeType = {});
    QString text() const { return m_document; }

    // The selection, as offsets into the document.
    qsizetype anchor() const { return m_caret.anchor(); }
    qsizetype cursorPosition() const { return m_caret.caret().offset; }
    // The row the caret is drawn on: at a row that ends where the next begins, which of
    // the two it belongs to.
    qsizetype caretRow() { return m_caret.caretRow(); }
    void setSelection(qsizetype anchor, qsizetype cursor);
    QString selectedText() const;
    void selectAll();
    // Brings [from, to) into view, its start first, leaving the selection alone.
    void scrollToRange(qsizetype from, qsizetype to);
    // Selects a match of the find field and brings it into view, clear of the edges.
    void showMatch(qsizetype from, qsizetype to);

    // The line (counted from 0) of the row at the top of the view, and a scroll that
    // puts a line's first row there, clamped to the lines there are.
    qsizetype topLine();
    void setTopLine(qsizetype line);

    // Where the document came from, after redirects: its links resolve against it.
    void setDocumentAddress(const QString &address);

    // The link the caret is in (or just after): its absolute address and true, or the
    // reason it is none and false; nothing where the caret is on no link. Enter
    // follows it.
    std::optional<std::pair<QString, bool>> linkAtCaret();

    // The document as it is shown, row by row; a huge one is indexed in slices.
    qsizetype rowCount() const { return m_rows.rowCount(); }
    QString rowText(qsizetype row) { return m_layer.rowText(row); }
    // The line number shown beside a row, counted from 1; 0 for a row that continues
    // a line.
    qsizetype lineNumberOfRow(qsizetype row) { return m_layer.lineNumberOfRow(row); }
    qsizetype firstVisibleRow() const { return m_layer.firstVisibleRow(); }
    qsizetype lineCount() const { return m_lines.lineCount(); }
    bool indexComplete() const { return m_lines.complete(); }

    // Whether every row on screen has its colours (a jump far into a huge page waits
    // for the colouring to get there).
    bool coloursReadyOnScreen() { return m_layer.coloursReady(visibleRows()); }

    bool isWrapping() const { return m_wrapping; }
    void setWrapping(bool wrapping);
    int zoom() const { return m_zoom->percent(); }
    void setZoom(int percent) { m_zoom->setPercent(percent); }
    void zoomIn() { m_zoom->zoomIn(); }
    void zoomOut() { m_zoom->zoomOut(); }

    // The find and go-to fields' font: the window's, never the view's zoom.
    void setFieldFont(const QFont &font);
    void openFind() { m_fields->openFind(); }
    void findNext() { m_fields->find()->findNext(); }
    void findPrevious() { m_fields->find()->findPrevious(); }
    FindBar *findBar() const { return m_fields->findBar(); }
    void openGoToLine() { m_fields->openGoToLine(); }
    GoToLineBar *goToLineBar() const { return m_fields->goToLineBar(); }
    // Puts the caret at the start of line (counted from 1) and brings it into view;
    // false for a line not counted (yet).
    bool goToLine(qsizetype line);
    // A field opened, closed or changed its height: the text moves below it.
    void fieldsChanged();

    // Parse errors: underlined (Alt+E turns the marks off and on), explained when the
    // pointer rests on one, visited with F8 and Shift+F8, and counted once the page is
    // read through (-1 until then, and for a page that is not HTML).
    bool errorMarksShown() const { return m_layer.errorMarksShown(); }
    void setErrorMarksShown(bool shown) { m_errors->setShown(shown); }
    void nextError() { m_errors->next(); }
    void previousError() { m_errors->previous(); }
    qsizetype parseErrorCount() const { return m_errors->count(); }
    // What the mark under a point of the viewport says; empty where there is none.
    QString errorTipAt(QPoint viewportPos) { return m_errors->tipAt(viewportPos); }

    // For the gutter and assistive technology.
    QRectF characterRect(qsizetype offset) { return m_layer.characterRect(offset, textLeft()); }
    qsizetype offsetAt(QPoint viewportPos) { return m_layer.offsetAt(m_layer.rowAtY(viewportPos.y()), viewportPos.x() - textLeft()); }
    int lineHeight() const { return m_layer.lineHeight(); }
    int gutterWidth() const;
    // Copies the selection to the X11 primary selection, where there is one.
    void offerSelection() { copySelection(QClipboard::Selection); }

signals:
    // A click on a link, pressed and released without moving, or Enter with the caret
    // in one: its absolute address.
    void linkActivated(const QString &address);
    // A mouse button went down on the text; position is in the view's own pixels.
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF position);
    // The page has been read through and its parse errors counted.
    void parseErrorsCounted(qsizetype count);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Selecting with the mouse and the parse-error marks are kept apart from the view,
    // and work on its rows, its caret and its scrolling.
    friend class DragSelection;
    friend class ErrorNavigation;
    // The absolute address of the link at a point of the viewport, or the reason it
    // is none; nothing where there is no link.
    std::optional<std::pair<QString, bool>> linkAtPoint(QPoint viewportPos);
    std::optional<std::pair<QString, bool>> linkAtOffset(qsizetype offset);
    void showDocument(const QString &text);
    void backgroundSlice();
    void takeInLines();
    void applyRowRule();
    void relayout();
    void updateScrollBars();
    void updateGutter();

    void scrollToRow(qsizetype row);
    void keepTop(qsizetype offset);
    void indexTo(qsizetype offset);
    void caretMoved();
    void moveCaret(CaretNavigator::Move move, bool extend);
    void ensureVisible(qsizetype offset);
    void copySelection(QClipboard::Mode mode);
    void selectionChanged();
    int visibleRows() const;
    int textLeft() const;

    QString m_document;
    QByteArray m_mimeType;
    LineIndex m_lines;
    DisplayRows m_rows;
    QTimer m_background;
    std::unique_ptr<MarkupColouring> m_colouring;
    std::unique_ptr<StylesheetColouring> m_stylesheet;
    RowLayer m_layer;

    CaretNavigator m_caret;
    bool m_syncingScrollBar = false;
    QString m_documentAddress;
    std::optional<QPoint> m_linkPress;

    bool m_wrapping = false;

    LineNumberGutter *m_gutter;
    ViewFields *m_fields;
    DragSelection *m_drag;
    ErrorNavigation *m_errors;
    ViewZoom *m_zoom;
};
