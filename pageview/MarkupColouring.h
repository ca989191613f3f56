#pragma once

#include "BackgroundScan.h"
#include "LinkResolver.h"
#include "MarkupLinks.h"
#include "InlineStyles.h"
#include "MarkupTokenizer.h"
#include "ParseErrorMarks.h"
#include "StylesheetColouring.h"
#include "Tokenizer.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// Token boundaries inside style attributes' values, with where each value starts.
using AttributePlaces = std::map<qsizetype, std::pair<qsizetype, Css::State>>;

// The colours and parse errors of the rows on screen. The tokenizer's state is kept at
// checkpoints every checkpointSpacing characters, found on a thread of its own from
// the start of the document, so that any row can be coloured from the checkpoint
// before it, and a jump to the end of a huge page is coloured as soon as the
// checkpoints reach it. HTML is read by HTML's own tokenizer, which also finds the
// page's parse errors; XML by the markup tokenizer's XML syntax.
class MarkupColouring : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype checkpointSpacing = 64 * 1024;

    explicit MarkupColouring(QObject *parent = nullptr);

    // A new document; no syntax: it is not coloured.
    void reset(const QString &document, std::optional<MarkupSyntax> syntax);
    bool isActive() const { return m_syntax.has_value(); }
    // Whether [from, ...) can be coloured already.
    bool isReadyAt(qsizetype from) const;
    // The spans of the document's [from, to), with offsets relative to from; empty
    // when it cannot be coloured (yet). errors, when given, gets the parse errors
    // marked in [from, to), by document offsets.
    QList<MarkupSpan> spans(qsizetype from, qsizetype to, QList<ParseErrorMark> *errors = nullptr);

    // The page's parse errors once the scan has read it all; -1 before, and for XML.
    qsizetype errorCount() const { return m_errorCount; }
    // The first parse error marked after offset, or the last before it; none when
    // there is none (or none known yet: only what the scan has read is searched).
    std::optional<ParseErrorMark> nextError(qsizetype offset);
    std::optional<ParseErrorMark> previousError(qsizetype offset);

    // Links in markup: the addresses in attribute values that name a resource, read
    // from the tags around the rows asked for, resolved against the page's address or
    // its first <base href>. Only an http or https address is a link (underlined,
    // followed); another keeps the reason it is not.
    struct Link
    {
        qsizetype start = 0;
        qsizetype end = 0;
        QString written; // character references read
        LinkResolver::Resolution resolved;
    };
    // Where the document came from, after redirects.
    void setDocumentAddress(const QString &address);
    // The links that overlap [from, to), in order; none before the colours reach from.
    QList<Link> linksIn(qsizetype from, qsizetype to);
    // The link with the character at offset in it.
    std::optional<Link> linkAt(qsizetype offset);
    // The first <base> element's href, character references read, once the scan has
    // read up to it; none before, and none in a page without one.
    const std::optional<QString> &baseHref() const { return m_baseHref; }
    // The link at offset in a stylesheet of the page (a style element's url() or
    // @import, a style attribute's url()): where it stands and its address as written.
    std::optional<StylesheetColouring::Link> styleLinkAt(qsizetype offset);

signals:
    // More of the document can be coloured.
    void advanced();
    // The scan has read the whole page and counted its parse errors.
    void errorsCounted(qsizetype count);
    // Links already given out resolve otherwise now: a <base href> was found.
    void linksChanged();

private:
    // A link read around the screen: whether it leads somewhere, and where, are worked
    // out once each is first asked for.
    struct FoundLink
    {
        qsizetype start = 0;
        qsizetype end = 0;
        QString written;
        std::optional<LinkResolver::Resolution> resolved;
        std::optional<bool> isLink;
    };

    html::Checkpoint stateAt(qsizetype offset, StylePlace *style);
    QList<MarkupSpan> htmlSpans(qsizetype from, qsizetype to, QList<ParseErrorMark> *errors,
                                QList<StylesheetColouring::Link> *links);
    static StylePlace styleCheckpoint(QStringView document, StylePlace open, qsizetype position);
    QList<ParseErrorMark> errorsInBlock(qsizetype block);
    MarkupState xmlStateAt(qsizetype offset);
    QList<MarkupSpan> xmlSpans(qsizetype from, qsizetype to);
    void scanAdvanced();
    // Links ------------------------------------------------------------------------
    html::Checkpoint stateOutsideTagBefore(qsizetype offset);
    void findLinks(qsizetype from, qsizetype to);
    void markLinks(QList<MarkupSpan> &spans, qsizetype from, qsizetype to, const QList<StylesheetColouring::Link> &styleLinks);
    const LinkResolver &resolver();
    std::optional<std::vector<FoundLink>::iterator> linksAround(qsizetype from, qsizetype to);
    bool findBaseHref();
    bool readXmlHead();
    std::pair<qsizetype, MarkupState> xmlStateOutsideTagBefore(qsizetype offset);
    void forgetLinks();

    QString m_document;
    std::optional<MarkupSyntax> m_syntax;
    // The state at the start of block k, at or just after k * checkpointSpacing, and
    // the parse errors found in each block.
    std::vector<html::Checkpoint> m_checkpoints;
    // Beside each, where the stylesheet of the style element it is inside stands.
    std::vector<StylePlace> m_styleCheckpoints;
    std::vector<quint32> m_blockErrors;
    std::vector<MarkupState> m_xmlCheckpoints;
    qsizetype m_errorCount = -1;
    // Where each block's first <base href> value stands ({-1, -1} for none).
    std::vector<std::pair<qsizetype, qsizetype>> m_blockBases;
    bool m_scanSawBase = false; // the scan's thread's own
    qsizetype m_baseSearchedBlocks = 0;
    std::optional<QString> m_baseHref;
    bool m_xmlHeadRead = false;
    Html::Namespace m_xmlRoot = Html::Namespace::Html;
    QString m_documentAddress;
    // The links of the tags that start in [m_linksFrom, m_linksTo).
    std::vector<FoundLink> m_links;
    std::optional<LinkResolver> m_resolver;
    bool m_resolverHasBase = false;
    // Whether each address met in the page's own stylesheets is a link, by where it stands.
    std::map<std::pair<qsizetype, qsizetype>, bool> m_styleLinksResolved;
    qsizetype m_linksFrom = 0;
    qsizetype m_linksTo = 0;
    // After the checkpoints, so that it is destroyed first: its thread writes them.
    BackgroundScan m_scan;
    // States at the rows coloured lately, so that the next row goes on from there.
    std::map<qsizetype, html::Checkpoint> m_recent;
    std::map<qsizetype, StylePlace> m_styleRecent;
    // Token boundaries in style attributes' values met lately, with where the value starts.
    AttributePlaces m_attributePlaces;
    LongTokens m_longTokens;
    std::map<qsizetype, MarkupState> m_xmlRecent;
};
