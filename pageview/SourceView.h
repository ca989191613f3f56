#pragma once

#include "PageView.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QHash>

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
    static constexpr qsizetype maxRowLength = 2000;

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
    qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    QString rowText(qsizetype row) const;
    qsizetype firstVisibleRow() const;

signals:
    // Button: 1 left, 2 right, 4 middle. Shift: 1 Shift, 2 Ctrl, 4 Alt. X, Y in twips.
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
    struct Row
    {
        qsizetype start;
        qsizetype length;
    };

    void showDocument(const QString &text);
    void buildRows();
    void updateMetrics();
    void updateScrollBars();
    QTextLayout *layoutFor(qsizetype row);
    qsizetype rowOf(qsizetype offset) const;
    qsizetype rowEnd(qsizetype row) const { return m_rows[row].start + m_rows[row].length; }
    qsizetype offsetAt(QPoint viewportPos);
    qreal xOf(qsizetype offset);
    void moveCursor(qsizetype offset, bool keepAnchor);
    void ensureCursorVisible();
    void copySelection(QClipboard::Mode mode);
    int visibleRows() const;
    int textLeft() const;

    QString m_document;
    std::vector<Row> m_rows;
    qsizetype m_longestRow = 0;
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
