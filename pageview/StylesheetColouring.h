#pragma once

#include "BackgroundScan.h"
#include "CssTokenStream.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <QTextLayout>

#include <array>
#include <map>
#include <optional>
#include <vector>

// What a stretch of a stylesheet is, for its colour.
enum class StylesheetRole : quint8 {
    Text, // whitespace and punctuation between rules and declarations
    Selector, // a style rule's selector, its punctuation included
    AtRule, // an at-keyword
    Property, // a declaration's name
    Value, // the words of a value, and of an at-rule's prelude
    Comment,
    String,
    Number, // a number, with its unit or '%'; a unicode range
    Hash, // #fff in a value
    Function, // a function's name and its '('
    Url, // url(...), its quoted address, and the address of @import
};

// A stretch of the text given to spans(), by offset from its start.
struct StylesheetSpan
{
    qsizetype start;
    qsizetype length;
    StylesheetRole role;
    bool link = false; // an address to follow: underlined

    bool operator==(const StylesheetSpan &) const = default;
};

// The colours of a stylesheet's roles, from the palette: each keeps its hue, with a
// lightness set against the base so that it reads on light and dark themes alike.
class StylesheetColours
{
public:
    explicit StylesheetColours(const QPalette &palette = {});
    QColor colour(StylesheetRole role) const { return m_colours[size_t(role)]; }

private:
    std::array<QColor, 11> m_colours;
};

// The colours of the rows of a text/css document on screen. The CSS tokenizer's place
// and state are kept at checkpoints about every checkpointSpacing characters, found
// on a thread of its own from the start of the document, so that any row is coloured
// from the checkpoint before it: a jump into a 20 MB minified stylesheet reads at most
// a checkpoint's spacing before the row.
class StylesheetColouring : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype checkpointSpacing = 64 * 1024;

    explicit StylesheetColouring(QObject *parent = nullptr);

    // A new document; only a stylesheet is coloured.
    void reset(const QString &document, bool stylesheet);
    bool isActive() const { return m_active; }
    // Whether [from, ...) can be coloured already.
    bool isReadyAt(qsizetype from) const;
    // The spans of the document's [from, to), with offsets relative to from; empty
    // when it cannot be coloured (yet).
    QList<StylesheetSpan> spans(qsizetype from, qsizetype to);
    // The same as formats for a row of length characters shown from from.
    QList<QTextLayout::FormatRange> formats(qsizetype from, qsizetype to, qsizetype length, const QPalette &palette);

    // The link at offset: where it stands and its address as written (escapes read).
    struct Link
    {
        qsizetype start = 0;
        qsizetype end = 0;
        QString written;
    };
    std::optional<Link> linkAt(qsizetype offset);
    // Where the stylesheet came from, after redirects: an address that resolves to
    // anything but http or https is not underlined (a data: image, say).
    void setDocumentAddress(const QString &address);

signals:
    // More of the document can be coloured.
    void advanced();

private:
    // A token boundary and the tokenizer's state there.
    struct Checkpoint
    {
        qsizetype position = 0;
        Css::State state;
    };

    Checkpoint checkpointBefore(qsizetype offset) const;
    bool isFollowed(const Css::Token &token) const;

    QString m_document;
    QString m_documentAddress;
    bool m_active = false;
    std::vector<Checkpoint> m_checkpoints; // the first boundary at or after k * checkpointSpacing
    // After the checkpoints, so that it is destroyed first: its thread writes them.
    BackgroundScan m_scan;
    // Boundaries met while colouring rows lately, so that the next row goes on from there.
    std::map<qsizetype, Css::State> m_recent;
    // The last token met that ran past a row's end and is long (a comment or a string
    // of megabytes): the rows inside it are coloured from this, not by reading it again
    // from its start for each row.
    struct LongToken
    {
        qsizetype start = -1;
        qsizetype end = -1;
        StylesheetRole role = StylesheetRole::Text;
        bool followed = false;
        Css::State after;
    };
    LongToken m_long;
};

// The role a token is coloured with.
StylesheetRole stylesheetRole(const Css::Token &token, QStringView document);
