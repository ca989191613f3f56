#pragma once

#include "PageView.h"
#include "RowIndex.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QHash>
#include <QTimer>

#include <memory>
#include <vector>

class QTextLayout;

// The page view: a read-only source view that stays quick on huge pages. It keeps the
// document as the exact string it was given and lays out only the rows on screen.
// Lines end at LF, CR LF or a lone CR; a line longer than maxRowLength is broken
// into several rows for display only. The text property, Copy and Save always give
// back the document itself.
class SourceView : public QAbstractScrollArea, public PageView
{
    Q_OBJECT

public:
    static constexpr qsizetype maxRowLength = RowIndex::maxRowLength;

    explicit SourceView(QWidget *parent = nullptr);
    ~SourceView() override;

    void setTextRTF(const QString &text) override;
    void setText(const QString &text) override;
    QString text() const override;
    QString saveFile(const QString &path, int format) override;
    void setHeightTwips(float twips) override;
    void setWidthTwips(float twips) override;

    // The selection, as offsets into the document.
    qsizetype anchor() const { return m_anchor; }
    qsizetype cursorPosition() const { return m_cursor; }
    void setSelection(qsizetype anchor, qsizetype cursor);
    QString selectedText() const;
    void selectAll();

    // The document as it is displayed, row by row.
    qsizetype rowCount() const { return m_index.rowCount(); }
    // Whether every row of the document is known; a huge one is indexed in slices.
    bool indexComplete() const { return m_index.complete(); }
    QString rowText(qsizetype row) const;
    qsizetype firstVisibleRow() const;

signals:
    // Button: a MouseButton; shift: ShiftState bits; x, y in twips.
    void mouseDown(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void showDocument(const QString &text);
    void indexSlice();
    void updateMetrics();
    void updateScrollBars();
    QTextLayout *layoutFor(qsizetype row);
    qsizetype rowOf(qsizetype offset);
    qsizetype rowEnd(qsizetype row) const { return m_index.rowEnd(row); }
    qsizetype offsetAt(QPoint viewportPos);
    qreal xOf(qsizetype offset);
    void moveCursor(qsizetype offset, bool keepAnchor);
    void ensureCursorVisible();
    void copySelection(QClipboard::Mode mode);
    int visibleRows() const;
    int textLeft() const;

    QString m_document;
    RowIndex m_index;
    QTimer m_indexing;
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    qreal m_preferredX = -1;
    bool m_selecting = false;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    int m_ascent = 0;
    qreal m_widestRow = 0;
    QHash<qsizetype, std::shared_ptr<QTextLayout>> m_layouts;
};
