#pragma once

#include <QString>

// The page view: holds one document and shows it. The document is kept as the exact
// string it was given; the text property gives back that string, never the widget's
// idea of it.
class PageView
{
public:
    virtual ~PageView() = default;

    // Replaces the whole content. Text that happens to be rich text is shown as its
    // source, unchanged.
    virtual void setTextRTF(const QString &text) = 0;
    virtual void setText(const QString &text) = 0;
    virtual QString text() const = 0;
    // The MIME type ("text/html") of the text set next with setTextRTF, which the view
    // may show accordingly (markup in colour); empty when unknown.
    virtual void setContentType(const QByteArray &mimeType) = 0;
    // Where the text set next came from, after redirects; its links resolve against it.
    virtual void setDocumentAddress(const QString &address) = 0;

    // Writes the plain text to path, replacing a file that is there. Returns an
    // empty string on success, otherwise the reason it failed.
    virtual QString saveFile(const QString &path, int format) = 0;

    virtual void setHeightTwips(float twips) = 0;
    virtual void setWidthTwips(float twips) = 0;

    // Where the reader is: the caret's offset in the text and the line (counted from
    // 0) at the top of the view.
    struct Place
    {
        qsizetype caret = 0;
        qsizetype topLine = 0;
    };
    virtual Place place() const = 0;
    // Puts the caret and the top line back, each clamped to the document as it is now.
    virtual void restorePlace(qsizetype caret, qsizetype topLine) = 0;
};

// SaveFile's format argument for plain text.
constexpr int saveAsPlainText = 1;

// The view's MouseDown event: which button went down, and which keys were held.
namespace MouseButton {
constexpr int left = 1;
constexpr int right = 2;
constexpr int middle = 4;
} // namespace MouseButton

namespace ShiftState {
constexpr int shift = 1;
constexpr int ctrl = 2;
constexpr int alt = 4;
} // namespace ShiftState
