#include "MarkupColouring.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "InlineStyles.h"

#include <algorithm>
#include <numeric>

using html::State;
using html::TokenKind;

namespace {

// The XML tokenizer looks this far past a piece's end to decide what starts in it.
constexpr qsizetype lookahead = 40;
// HTML's tokenizer reads on this far past a row that ends on a "<" or "</scr" to tell
// whether a tag starts there.
constexpr qsizetype tagLookahead = 64;
constexpr size_t recentLimit = 4096;
// Links are read for this much of the page at a time around the rows asked for, and
// this much further, so that a tag that starts in the first part ends in the run.
constexpr qsizetype linkWindow = 4 * 1024;
constexpr qsizetype linkSlack = 8 * 1024;
// An address as long as the slack (a data: image) is no link wherever the reading
// around the screen falls: one that starts before the window's end and is shorter ends
// before the reading does.
constexpr qsizetype longestLink = linkSlack;

enum TagsSeen { StyleTag = 1, BaseTag = 2 };

// Whether a tag that starts at '<' in text may be a style or base element's.
int tagAt(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size() || text[at] != u'<')
        return 0;
    const QStringView name = text.sliced(at + 1);
    if (name.startsWith(QLatin1StringView("style"), Qt::CaseInsensitive))
        return StyleTag;
    if (name.startsWith(QLatin1StringView("base"), Qt::CaseInsensitive))
        return BaseTag;
    return 0;
}

// The tags of tagAt that may start in [from, to) of text: a quick look for "<s" and
// "<b" in either case, eight characters at a time, then at the names of those found.
int tagsStartingIn(QStringView text, qsizetype from, qsizetype to)
{
    int found = 0;
    const char16_t *p = text.utf16();
    // The character after each '<' is read too.
    const qsizetype end = std::min(to, text.size() - 1);
    qsizetype i = std::max<qsizetype>(from, 0);
#ifdef __SSE2__
    const __m128i less = _mm_set1_epi16('<');
    const __m128i s = _mm_set1_epi16('s');
    const __m128i b = _mm_set1_epi16('b');
    const __m128i lower = _mm_set1_epi16(0x20);
    for (; i + 8 <= end; i += 8) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i next = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1)), lower);
        const __m128i hit = _mm_and_si128(_mm_cmpeq_epi16(here, less), _mm_or_si128(_mm_cmpeq_epi16(next, s), _mm_cmpeq_epi16(next, b)));
        // Two bits a character.
        for (unsigned mask = unsigned(_mm_movemask_epi8(hit)); mask;) {
            const int k = __builtin_ctz(mask) / 2;
            found |= tagAt(text, i + k);
            mask &= ~(3u << (2 * k));
        }
        if (found == (StyleTag | BaseTag))
            return found;
    }
#endif
    for (; i < end; ++i) {
        if (p[i] == u'<')
            found |= tagAt(text, i);
    }
    return found;
}

// Counts parse errors, and follows style elements for the stylesheets' checkpoints.
class CountingSink : public html::TokenSink
{
public:
    CountingSink(QStringView document, StylePlace style, const html::Checkpoint &runStart)
        : document(document), runStart(runStart), styles(style, &this->runStart)
    {
    }
    void token(const html::Token &token) override { styles.see(token, document); }
    void parseError(html::ParseError, qsizetype) override { ++count; }
    void cdataSection(qsizetype, qsizetype) override { styles.close(); }

    QStringView document;
    const html::Checkpoint runStart;
    StyleTracker styles;
    quint32 count = 0;
};

// Collects the parse errors of a stretch.
class ErrorSink : public html::TokenSink
{
public:
    explicit ErrorSink(QStringView document) : m_document(document) {}
    bool wantsTokens() const override { return false; }
    void token(const html::Token &) override {}
    void parseError(html::ParseError error, qsizetype position) override
    {
        marks.append(parseErrorMark(error, position, m_document));
    }
    QList<ParseErrorMark> marks;

private:
    QStringView m_document;
};

// Gives each character of [from, to) the role of the token it is in: a tag whole, then
// its attributes' names and values over it, references over those.
class RowSink : public html::TokenSink
{
public:
    RowSink(QStringView document, qsizetype from, qsizetype to, QList<ParseErrorMark> *errors, StylePlace style,
            const html::Checkpoint &runStart)
        : m_document(document), m_from(from), m_to(to), m_roles(to - from, MarkupRole::Text), m_errors(errors),
          m_runStart(runStart), m_styles(style, &m_runStart)
    {
    }

    // The run goes on past the stretch's end only to tell what its last characters
    // start; a token it was inside is coloured already, and its errors come later.
    bool pastTheEnd = false;
    // An error of the next stretch was found reading a reference whole.
    bool reportedPastTheEnd = false;

    void token(const html::Token &token) override
    {
        followStyles(token);
        if (pastTheEnd && m_hadUnfinished && token.kind != TokenKind::Characters)
            return;
        colour(token);
    }
    void colour(const html::Token &token)
    {
        switch (token.kind) {
        case TokenKind::StartTag:
        case TokenKind::EndTag:
            paintTag(token);
            break;
        case TokenKind::Comment:
            paint(token.start, token.end, MarkupRole::Comment);
            break;
        case TokenKind::Doctype:
            paint(token.start, token.end, MarkupRole::Doctype);
            break;
        case TokenKind::Characters:
            if (token.characterReference)
                paint(token.start, token.end, MarkupRole::CharacterReference);
            break;
        case TokenKind::EndOfFile:
            break;
        }
    }
    void parseError(html::ParseError error, qsizetype position) override
    {
        if (!m_errors)
            return;
        // A mark over the row's start or end is the row's too: a duplicate attribute's
        // name cut by the row is known only once the name ends, past the row's end.
        const ParseErrorMark mark = parseErrorMark(error, position, m_document);
        if (mark.start < m_to && mark.end > m_from)
            m_errors->append(mark);
        else if (mark.start >= m_to && !pastTheEnd)
            reportedPastTheEnd = true;
    }
    void attributeReference(qsizetype start, qsizetype end) override { m_references.append({start, end}); }
    void cdataSection(qsizetype start, qsizetype end) override
    {
        closeStyle(start);
        paint(start, end, MarkupRole::CData);
    }
    void unfinished(const html::Token &token) override
    {
        if (pastTheEnd && m_hadUnfinished)
            return;
        m_hadUnfinished = !pastTheEnd;
        // Markup begun in svg's style element ends its stylesheet.
        closeStyle(token.start);
        if (token.kind == TokenKind::Characters)
            paint(token.start, token.end, MarkupRole::CData);
        else
            colour(token);
    }

    QList<MarkupSpan> spans()
    {
        paintStylesheets();
        // References inside values are painted last, over the value they are in.
        for (const auto &[start, end] : std::as_const(m_references))
            paint(start, end, MarkupRole::CharacterReference);
        QList<MarkupSpan> result;
        for (qsizetype i = 0; i < m_roles.size();) {
            const bool link = !m_links.isEmpty() && m_links[i];
            qsizetype end = i + 1;
            while (end < m_roles.size() && m_roles[end] == m_roles[i] && (!m_links.isEmpty() && m_links[end]) == link)
                ++end;
            result.append({i, end - i, m_roles[i], link});
            i = end;
        }
        return result;
    }

    // ---- The page's own stylesheets: style elements and style attributes

    // The style element open where the main run stopped; call before reading past it.
    void endOfRow() { m_openAtEnd = m_styles.open(); }
    // Where the stylesheet open at the row's end stands, at a token boundary at or before it.
    StylePlace styleAtEnd() const { return m_styleAtEnd; }
    // The links of the stylesheets met, with their addresses, when links is given.
    void collectLinks(QList<StylesheetColouring::Link> *links) { m_linksFound = links; }
    // Where a long style attribute's value was left by a row before: the next row
    // goes on from there, not from the value's start.
    void keepAttributePlaces(AttributePlaces *places) { m_attributePlaces = places; }
    void keepLongTokens(LongTokens *tokens) { m_longTokens = tokens; }

private:
    void paint(qsizetype start, qsizetype end, MarkupRole role)
    {
        start = std::max(start, m_from);
        end = std::min(end, m_to);
        for (qsizetype i = start; i < end; ++i)
            m_roles[i - m_from] = role;
    }
    void paintTag(const html::Token &token)
    {
        paint(token.start, token.end, MarkupRole::Tag);
        for (const html::Attribute &attribute : token.attributes) {
            if (attribute.nameEnd > attribute.nameStart)
                paint(attribute.nameStart, attribute.nameEnd, MarkupRole::AttributeName);
            if (attribute.valueStart >= 0 && attribute.valueEnd > attribute.valueStart)
                paint(attribute.valueStart, attribute.valueEnd, MarkupRole::AttributeValue);
        }
        noteStyleAttributes(token);
    }

    // A stylesheet of the row: where it is read from and where it ends (-1: where HTML
    // ends the style element, past what the run read).
    struct Stylesheet
    {
        StylePlace from;
        qsizetype end = -1;
        qsizetype attribute = -1; // a style attribute's: where its value's text starts
    };

    void followStyles(const html::Token &token)
    {
        if (!m_styles.open().isInside() && token.kind != TokenKind::StartTag)
            return;
        if (const StylePlace closed = m_styles.token(token, m_document); closed.isInside())
            m_stylesheets.append({closed, token.start});
    }
    void closeStyle(qsizetype at)
    {
        if (m_styles.open().isInside())
            m_stylesheets.append({m_styles.open(), at});
        m_styles.close();
    }
    // A style attribute's value is a list of declarations, read as written: a character
    // reference in it is read by the CSS tokenizer as the characters it is written with,
    // and coloured as a reference over that.
    void noteStyleAttributes(const html::Token &token)
    {
        for (const html::Attribute &attribute : token.attributes) {
            if (attribute.valueStart < 0 || attribute.valueEnd <= attribute.valueStart || attribute.valueEnd <= m_from
                || attribute.valueStart >= m_to || (m_document[attribute.nameStart].unicode() | 0x20) != u's'
                || !isStyleAttribute(m_document, attribute.nameStart))
                continue;
            const auto [start, end] = attributeValueText(m_document, attribute.valueStart, attribute.valueEnd);
            m_stylesheets.append({attributePlaceBefore(start), end, start});
        }
    }
    StylePlace attributePlaceBefore(qsizetype start) const
    {
        if (m_attributePlaces) {
            if (auto it = m_attributePlaces->upper_bound(m_from); it != m_attributePlaces->begin()) {
                --it;
                if (it->second.first == start && it->first >= start)
                    return {it->first, it->second.second};
            }
        }
        return {start, Css::State::declarationList()};
    }
    void paintStylesheets()
    {
        if (m_styles.open().isInside())
            m_stylesheets.append({m_styles.open(), -1});
        for (const Stylesheet &sheet : std::as_const(m_stylesheets)) {
            const bool openAtEnd = sheet.from == m_openAtEnd && m_openAtEnd.isInside();
            if (openAtEnd)
                m_styleAtEnd = sheet.from;
            if (sheet.from.position >= m_to || (sheet.end >= 0 && sheet.end <= m_from))
                continue;
            StyleReader reader(m_document, sheet.from, sheet.end, m_longTokens);
            StylePlace before = reader.place();
            Css::Token token;
            while (reader.place().position < m_to) {
                before = reader.place();
                if (!reader.next(token, m_to))
                    break;
                if (token.end() <= m_from)
                    continue;
                // Text too: in an attribute value, over the value's colour.
                paint(token.start, token.end(), markupRole(stylesheetRole(token, m_document)));
                if (token.flags & Css::Link) {
                    markLink(token.start, token.end());
                    // In an attribute, HTML reads the character references first.
                    if (m_linksFound)
                        m_linksFound->append({token.start, token.end(),
                                              sheet.attribute >= 0 ? readCharacterReferences(token.value) : token.value});
                }
            }
            const StylePlace atEnd = reader.place().position > m_to ? before : reader.place();
            if (openAtEnd)
                m_styleAtEnd = atEnd;
            if (sheet.attribute >= 0 && m_attributePlaces && atEnd.position > sheet.from.position) {
                if (m_attributePlaces->size() >= recentLimit)
                    m_attributePlaces->clear();
                m_attributePlaces->insert_or_assign(atEnd.position, std::pair(sheet.attribute, atEnd.state));
            }
        }
    }
    void markLink(qsizetype start, qsizetype end)
    {
        if (m_links.isEmpty())
            m_links = QByteArray(m_roles.size(), 0);
        start = std::max(start, m_from);
        end = std::min(end, m_to);
        for (qsizetype i = start; i < end; ++i)
            m_links[i - m_from] = 1;
    }

    QStringView m_document;
    qsizetype m_from;
    qsizetype m_to;
    QList<MarkupRole> m_roles;
    QList<ParseErrorMark> *m_errors;
    QList<std::pair<qsizetype, qsizetype>> m_references;
    bool m_hadUnfinished = false;
    const html::Checkpoint m_runStart;
    StyleTracker m_styles;
    StylePlace m_openAtEnd;
    StylePlace m_styleAtEnd;
    QList<Stylesheet> m_stylesheets;
    QByteArray m_links; // per character of the row, once a link is met
    QList<StylesheetColouring::Link> *m_linksFound = nullptr;
    AttributePlaces *m_attributePlaces = nullptr;
    LongTokens *m_longTokens = nullptr;
};

// Whether a run that stopped here has read a "<", "</name" or "&" that the characters
// after it make a tag or a reference or leave text.
bool undecided(State state)
{
    return state >= State::CharacterReference || state == State::TagOpen || state == State::EndTagOpen || state == State::MarkupDeclarationOpen
        || state == State::AttributeName
        || (state >= State::RcdataLessThanSign && state <= State::ScriptDataDoubleEscapeEnd);
}

} // namespace

MarkupColouring::MarkupColouring(QObject *parent)
    : QObject(parent)
{
    connect(&m_scan, &BackgroundScan::advanced, this, &MarkupColouring::scanAdvanced);
}

void MarkupColouring::reset(const QString &document, std::optional<MarkupSyntax> syntax)
{
    m_scan.stop();
    m_document = document;
    m_syntax = syntax;
    m_recent.clear();
    m_xmlRecent.clear();
    m_checkpoints.clear();
    m_styleCheckpoints.clear();
    m_styleRecent.clear();
    m_attributePlaces.clear();
    m_longTokens.clear();
    m_xmlCheckpoints.clear();
    m_blockErrors.clear();
    m_errorCount = -1;
    m_blockBases.clear();
    m_baseSearchedBlocks = 0;
    m_baseHref.reset();
    m_xmlHeadRead = false;
    m_xmlRoot = Html::Namespace::Html;
    forgetLinks();
    if (!syntax)
        return;
    // Checkpoint k + 1 is written by block k; checkpoint 0 is the document's start.
    const qsizetype blocks = std::max<qsizetype>(1, (document.size() + checkpointSpacing - 1) / checkpointSpacing);
    const QStringView view(m_document);
    if (*syntax == MarkupSyntax::Xml) {
        m_xmlCheckpoints.assign(size_t(blocks) + 1, MarkupState());
        m_scan.start(m_document, checkpointSpacing, [this, view](qsizetype index, qsizetype from, qsizetype to) {
            m_xmlCheckpoints[size_t(index) + 1] = tokenizeMarkup(view.sliced(from, to - from), m_xmlCheckpoints[size_t(index)],
                                                                 nullptr, view.sliced(to).first(std::min(lookahead, view.size() - to)));
        });
        return;
    }
    m_checkpoints.assign(size_t(blocks) + 1, html::Checkpoint());
    m_styleCheckpoints.assign(size_t(blocks) + 1, StylePlace());
    m_blockErrors.assign(size_t(blocks), 0);
    m_blockBases.assign(size_t(blocks), {-1, -1});
    m_scanSawBase = false;
    m_scan.start(m_document, checkpointSpacing, [this, view](qsizetype index, qsizetype, qsizetype to) {
        html::Checkpoint state = m_checkpoints[size_t(index)];
        const StylePlace style = m_styleCheckpoints[size_t(index)];
        // Following the tokens costs the scan about a third of its speed, so a block is
        // read for its errors alone when it can hold neither a style element's text nor
        // a first <base>: it starts in none, and no tag in it can be one. A run may go a
        // little past the block's end to finish a reference; one that stopped just after
        // a '<' has not begun the tag yet.
        int tags = tagsStartingIn(view, state.position() - 1, std::min(view.size(), to + 256));
        if (insideTag(state.state()))
            tags |= tagAt(view, state.tokenStart());
        if (!style.isInside() && !(tags & StyleTag) && (m_scanSawBase || !(tags & BaseTag))) {
            html::ErrorCounter sink;
            html::Tokenizer(sink, false).run(view, state, to);
            m_blockErrors[size_t(index)] = sink.count;
            m_checkpoints[size_t(index) + 1] = state;
            return;
        }
        std::pair<qsizetype, qsizetype> cutBase = {-1, -1};
        if (!m_scanSawBase && insideTag(state.state()) && tagAt(view, state.tokenStart()) == BaseTag) {
            // A <base> cut by the block's start: its href may be before the cut, where
            // this block's run does not look. Read the tag alone (a base tag is short).
            const qsizetype tagStart = state.tokenStart();
            const QStringView tag = view.sliced(tagStart, std::min<qsizetype>(view.size() - tagStart, 4096));
            html::ErrorCounter errors;
            BaseFinder alone(tag, state, errors); // in the tree as it stands before the tag
            html::Checkpoint fresh;
            html::Tokenizer(alone, false).run(tag, fresh, tag.size());
            if (alone.hrefStart >= 0)
                cutBase = {tagStart + alone.hrefStart, tagStart + alone.hrefEnd};
        }
        CountingSink sink(view, style, state);
        if (m_scanSawBase) {
            html::Tokenizer(sink, false).run(view, state, to);
        } else {
            BaseFinder base(view, state, sink);
            html::Tokenizer(base, false).run(view, state, to);
            m_blockBases[size_t(index)] = cutBase.first >= 0 ? cutBase : std::pair(base.hrefStart, base.hrefEnd);
            m_scanSawBase = cutBase.first >= 0 || base.hrefStart >= 0;
        }
        m_blockErrors[size_t(index)] = sink.count;
        m_styleCheckpoints[size_t(index) + 1] = styleCheckpoint(view, sink.styles.open(), state.position());
        m_checkpoints[size_t(index) + 1] = state;
    });
}

void MarkupColouring::scanAdvanced()
{
    if (m_syntax == MarkupSyntax::Html && m_scan.finished() && m_errorCount < 0) {
        m_errorCount = std::accumulate(m_blockErrors.begin(), m_blockErrors.end(), qsizetype(0));
        emit errorsCounted(m_errorCount);
    }
    if (findBaseHref() && m_linksTo > m_linksFrom) {
        forgetLinks();
        emit linksChanged();
    }
    emit advanced();
}

bool MarkupColouring::isReadyAt(qsizetype from) const
{
    // The checkpoint at or before from is written.
    return m_syntax && from / checkpointSpacing <= m_scan.blocksDone();
}

html::Checkpoint MarkupColouring::stateAt(qsizetype offset, StylePlace *style)
{
    // From the nearest known state before offset: a row coloured lately, or a checkpoint.
    // A checkpoint lies a little past its block's start when a reference crossed it.
    size_t index = size_t(offset / checkpointSpacing);
    while (index > 0 && m_checkpoints[index].position() > offset)
        --index;
    html::Checkpoint state = m_checkpoints[index];
    *style = m_styleCheckpoints[index];
    if (auto it = m_recent.upper_bound(offset); it != m_recent.begin()) {
        --it;
        if (it->first >= state.position()) {
            state = it->second;
            *style = m_styleRecent[it->first];
        }
    }
    return state;
}

QList<MarkupSpan> MarkupColouring::spans(qsizetype from, qsizetype to, QList<ParseErrorMark> *errors)
{
    if (!isReadyAt(from) || from >= to)
        return {};
    if (m_syntax == MarkupSyntax::Xml) {
        QList<MarkupSpan> result = xmlSpans(from, to);
        markLinks(result, from, to, {});
        return result;
    }
    QList<StylesheetColouring::Link> styleLinks;
    QList<MarkupSpan> result = htmlSpans(from, to, errors, &styleLinks);
    markLinks(result, from, to, styleLinks);
    return result;
}

QList<MarkupSpan> MarkupColouring::htmlSpans(qsizetype from, qsizetype to, QList<ParseErrorMark> *errors,
                                             QList<StylesheetColouring::Link> *links)
{
    const QStringView view(m_document);
    StylePlace style;
    html::Checkpoint state = stateAt(from, &style);
    RowSink sink(view, from, to, errors, style, state);
    sink.collectLinks(links);
    sink.keepAttributePlaces(&m_attributePlaces);
    sink.keepLongTokens(&m_longTokens);
    html::Tokenizer tokenizer(sink, false);
    tokenizer.run(view, state, to);
    sink.endOfRow();
    // The next row goes on from here, unless a reference ran over its start: then it
    // reads that again for its colours and errors.
    const bool resumable = state.position() == to && !sink.reportedPastTheEnd;
    const html::Checkpoint atEnd = state;
    if (undecided(state.state()) && state.position() < view.size()) {
        sink.pastTheEnd = true;
        tokenizer.run(view, state, std::min(view.size(), state.position() + tagLookahead));
    }
    QList<MarkupSpan> result = sink.spans();
    if (resumable) {
        if (m_recent.size() >= recentLimit) {
            m_recent.clear();
            m_styleRecent.clear();
        }
        m_recent.insert_or_assign(to, atEnd);
        m_styleRecent.insert_or_assign(to, sink.styleAtEnd());
    }
    return result;
}

QList<ParseErrorMark> MarkupColouring::errorsInBlock(qsizetype block)
{
    html::Checkpoint state = m_checkpoints[size_t(block)];
    ErrorSink sink(m_document);
    html::Tokenizer(sink, false).run(m_document, state, std::min(m_document.size(), (block + 1) * checkpointSpacing));
    return sink.marks;
}

std::optional<ParseErrorMark> MarkupColouring::nextError(qsizetype offset)
{
    if (m_syntax != MarkupSyntax::Html)
        return std::nullopt;
    // Blocks the scan found no error in are passed over unread.
    for (qsizetype block = std::max<qsizetype>(0, offset / checkpointSpacing - 1); block < m_scan.blocksDone(); ++block) {
        if (m_blockErrors[size_t(block)] == 0)
            continue;
        for (const ParseErrorMark &mark : errorsInBlock(block)) {
            if (mark.start > offset)
                return mark;
        }
    }
    return std::nullopt;
}

std::optional<ParseErrorMark> MarkupColouring::previousError(qsizetype offset)
{
    if (m_syntax != MarkupSyntax::Html)
        return std::nullopt;
    for (qsizetype block = std::min(offset / checkpointSpacing + 1, m_scan.blocksDone() - 1); block >= 0; --block) {
        if (m_blockErrors[size_t(block)] == 0)
            continue;
        const QList<ParseErrorMark> marks = errorsInBlock(block);
        for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
            if (it->start < offset)
                return *it;
        }
    }
    return std::nullopt;
}

MarkupState MarkupColouring::xmlStateAt(qsizetype offset)
{
    qsizetype from = (offset / checkpointSpacing) * checkpointSpacing;
    MarkupState state = m_xmlCheckpoints[size_t(offset / checkpointSpacing)];
    if (auto it = m_xmlRecent.upper_bound(offset); it != m_xmlRecent.begin()) {
        --it;
        if (it->first >= from) {
            from = it->first;
            state = it->second;
        }
    }
    if (from == offset)
        return state;
    const QStringView view(m_document);
    return tokenizeMarkup(view.sliced(from, offset - from), state, nullptr,
                          view.sliced(offset).first(std::min(lookahead, view.size() - offset)));
}

QList<MarkupSpan> MarkupColouring::xmlSpans(qsizetype from, qsizetype to)
{
    QList<MarkupSpan> result;
    const QStringView view(m_document);
    const MarkupState state = xmlStateAt(from);
    const MarkupState after = tokenizeMarkup(view.sliced(from, to - from), state, &result,
                                             view.sliced(to).first(std::min(lookahead, view.size() - to)));
    if (m_xmlRecent.size() >= recentLimit)
        m_xmlRecent.clear();
    m_xmlRecent.insert_or_assign(to, after);
    return result;
}

// ---- Links

void MarkupColouring::setDocumentAddress(const QString &address)
{
    if (address == m_documentAddress)
        return;
    m_documentAddress = address;
    forgetLinks();
}

void MarkupColouring::forgetLinks()
{
    m_resolver.reset();
    m_links.clear();
    m_styleLinksResolved.clear();
    m_linksFrom = m_linksTo = 0;
}

// The scan records each block's first <base href>; the first block that has one holds
// the page's first. Whether one was found now.
bool MarkupColouring::findBaseHref()
{
    if (m_syntax == MarkupSyntax::Xml)
        return readXmlHead();
    if (m_baseHref || m_syntax != MarkupSyntax::Html)
        return false;
    if (m_baseSearchedBlocks == 0 && m_scan.blocksDone() == 0) {
        // The first block, which holds the head of nearly every page, is read here at
        // once when the scan has not got through it yet: no link on the first screen is
        // shown resolved against the page's own address while its base waits to be read.
        const QStringView view(m_document);
        const qsizetype end = std::min(view.size(), checkpointSpacing);
        m_baseSearchedBlocks = 1;
        // Most pages have no <base>: the quick look for one spares reading the block.
        if (!(tagsStartingIn(view, 0, end + 1) & BaseTag))
            return false;
        html::Checkpoint state;
        html::ErrorCounter errors;
        BaseFinder base(view, state, errors);
        html::Tokenizer(base, false).run(view, state, end);
        if (base.hrefStart >= 0) {
            m_baseHref = readCharacterReferences(view.sliced(base.hrefStart, base.hrefEnd - base.hrefStart));
            return true;
        }
        return false;
    }
    const qsizetype done = m_scan.blocksDone();
    for (; m_baseSearchedBlocks < done; ++m_baseSearchedBlocks) {
        const auto [start, end] = m_blockBases[size_t(m_baseSearchedBlocks)];
        if (start >= 0) {
            m_baseHref = readCharacterReferences(QStringView(m_document).sliced(start, end - start));
            return true;
        }
    }
    return false;
}

// XML: what the document's first block says about every link in it, read once: the
// root element's namespace (an svg root makes xlink:href a link everywhere), and in
// XHTML the first <base href>, which is in the head, near the start. Whether a base
// was found.
bool MarkupColouring::readXmlHead()
{
    if (m_xmlHeadRead)
        return false;
    m_xmlHeadRead = true;
    bool rootSeen = false;
    // The open svg, MathML and template elements and those inside them: a base there
    // is not the page's own.
    std::vector<QStringView> apart;
    readXmlStartTags(m_document, 0, MarkupState(), std::min(m_document.size(), checkpointSpacing), [&](const XmlStartTag &tag) {
        if (tag.name.startsWith(u'?'))
            return true; // an instruction
        if (tag.endTag) {
            if (!apart.empty() && apart.back() == tag.name)
                apart.pop_back();
            return true;
        }
        if (tag.cut)
            return false;
        if (!rootSeen) {
            rootSeen = true;
            m_xmlRoot = xmlElementNamespace(tag.name, Html::Namespace::Html);
            if (m_xmlRoot != Html::Namespace::Html)
                return false;
        }
        if (!apart.empty() || xmlElementNamespace(tag.name, Html::Namespace::Html) != Html::Namespace::Html
            || tag.name == u"template") {
            if (!tag.selfClosing)
                apart.push_back(tag.name);
            return true;
        }
        if (tag.name != u"base")
            return true;
        for (const Html::Attribute &attribute : tag.attributes) {
            if (attribute.name == u"href") {
                m_baseHref = readCharacterReferences(attribute.value);
                return false;
            }
        }
        return true;
    });
    return m_baseHref.has_value();
}

// XML's like stateOutsideTagBefore: where a run can start, and the state there.
std::pair<qsizetype, MarkupState> MarkupColouring::xmlStateOutsideTagBefore(qsizetype offset)
{
    const MarkupState at = xmlStateAt(offset);
    if (!at.isInsideTag())
        return {offset, at};
    std::optional<std::pair<qsizetype, MarkupState>> found;
    for (qsizetype index = std::min<qsizetype>(offset / checkpointSpacing, qsizetype(m_xmlCheckpoints.size()) - 1), looked = 0;
         index >= 0 && looked < 4; --index, ++looked) {
        if (!m_xmlCheckpoints[size_t(index)].isInsideTag()) {
            found = {index * checkpointSpacing, m_xmlCheckpoints[size_t(index)]};
            break;
        }
    }
    // A tag begun further back: read from the checkpoint before offset, whatever rows
    // were shown, so that the links found are the same.
    if (!found) {
        const qsizetype index = std::min<qsizetype>(offset / checkpointSpacing, qsizetype(m_xmlCheckpoints.size()) - 1);
        return {index * checkpointSpacing, m_xmlCheckpoints[size_t(index)]};
    }
    // A row coloured lately, past that checkpoint, spares reading from it; it gives the
    // same tags, so what was shown before changes nothing.
    for (auto it = m_xmlRecent.upper_bound(offset); it != m_xmlRecent.begin();) {
        --it;
        if (it->first <= found->first)
            break;
        if (!it->second.isInsideTag())
            return *it;
    }
    return *found;
}

// A state a run can start from and see whole every tag after it: the nearest
// checkpoint before offset, at most four back, that is not inside a tag (a tag as long
// as that is a data: address), or a row coloured lately after it.
html::Checkpoint MarkupColouring::stateOutsideTagBefore(qsizetype offset)
{
    StylePlace style;
    html::Checkpoint best = stateAt(offset, &style);
    if (!insideTag(best.state()))
        return best;
    std::optional<html::Checkpoint> found;
    for (qsizetype index = std::min<qsizetype>(offset / checkpointSpacing, qsizetype(m_checkpoints.size()) - 1), looked = 0;
         index >= 0 && looked < 4; --index, ++looked) {
        const html::Checkpoint &checkpoint = m_checkpoints[size_t(index)];
        if (checkpoint.position() <= offset && !insideTag(checkpoint.state())) {
            found = checkpoint;
            break;
        }
    }
    // A tag begun further back: read from the checkpoint before offset, whatever rows
    // were shown, so that the links found are the same.
    if (!found) {
        size_t index = size_t(std::min<qsizetype>(offset / checkpointSpacing, qsizetype(m_checkpoints.size()) - 1));
        while (index > 0 && m_checkpoints[index].position() > offset)
            --index;
        return m_checkpoints[index];
    }
    for (auto it = m_recent.upper_bound(offset); it != m_recent.begin();) {
        --it;
        if (it->first <= found->position())
            break;
        if (!insideTag(it->second.state()))
            return it->second;
    }
    return *found;
}

void MarkupColouring::findLinks(qsizetype from, qsizetype to)
{
    // The scan may have read the base just now: the rows shown are told.
    if (findBaseHref())
        QMetaObject::invokeMethod(this, &MarkupColouring::linksChanged, Qt::QueuedConnection);
    const qsizetype windowEnd = std::min(m_document.size(), std::max(to, from + linkWindow));
    const qsizetype stop = std::min(m_document.size(), windowEnd + linkSlack);
    m_links.clear();
    if (m_syntax == MarkupSyntax::Xml) {
        const auto [start, state] = xmlStateOutsideTagBefore(from);
        for (MarkupLink &link : xmlMarkupLinks(m_document, start, state, stop, m_xmlRoot)) {
            if (link.end - link.start < longestLink)
                m_links.push_back({link.start, link.end, std::move(link.written), std::nullopt, std::nullopt});
        }
        m_linksFrom = start;
        m_linksTo = stop == m_document.size() ? stop + 1 : windowEnd;
        return;
    }
    const html::Checkpoint state = stateOutsideTagBefore(from);
    // Read around the screen for the rows scrolled to next; resolved when asked for,
    // which is a few rows of them (a 4 KB window holds dozens).
    for (MarkupLink &link : markupLinks(m_document, state, stop)) {
        if (link.end - link.start < longestLink)
            m_links.push_back({link.start, link.end, std::move(link.written), std::nullopt, std::nullopt});
    }
    m_linksFrom = state.position();
    m_linksTo = stop == m_document.size() ? stop + 1 : windowEnd;
}

// The links read around [from, to), read first if need be; the first of them that ends
// after from, or none before the colours reach from.
std::optional<std::vector<MarkupColouring::FoundLink>::iterator> MarkupColouring::linksAround(qsizetype from, qsizetype to)
{
    if (!m_syntax || !isReadyAt(from) || from >= to)
        return std::nullopt;
    // The scan may have read the base since it last said so: links are never given out
    // resolved against a base already superseded. The rows shown are told after this
    // turn of the loop, since this may be asked while they are painted.
    if (findBaseHref() && m_linksTo > m_linksFrom) {
        forgetLinks();
        QMetaObject::invokeMethod(this, &MarkupColouring::linksChanged, Qt::QueuedConnection);
    }
    if (from < m_linksFrom || to > m_linksTo)
        findLinks(from, to);
    // In order, and apart: the first that ends after from is where the overlap starts.
    return std::lower_bound(m_links.begin(), m_links.end(), from, [](const FoundLink &link, qsizetype at) { return link.end <= at; });
}

QList<MarkupColouring::Link> MarkupColouring::linksIn(qsizetype from, qsizetype to)
{
    QList<Link> result;
    const auto first = linksAround(from, to);
    if (!first)
        return result;
    for (auto it = *first; it != m_links.end() && it->start < to; ++it) {
        if (!it->resolved)
            it->resolved = resolver().resolve(it->written);
        result.append({it->start, it->end, it->written, *it->resolved});
    }
    return result;
}

std::optional<MarkupColouring::Link> MarkupColouring::linkAt(qsizetype offset)
{
    for (const Link &link : linksIn(offset, offset + 1)) {
        if (link.start <= offset && offset < link.end)
            return link;
    }
    // An address in a style element or a style attribute resolves as the page's do.
    if (auto link = styleLinkAt(offset))
        return Link{link->start, link->end, link->written, resolver().resolve(link->written)};
    return std::nullopt;
}

const LinkResolver &MarkupColouring::resolver()
{
    // Made again when the page's base is found (once) or its address changes.
    if (!m_resolver || m_resolverHasBase != m_baseHref.has_value()) {
        m_resolver.emplace(m_documentAddress);
        if (m_baseHref)
            m_resolver->setBaseHref(*m_baseHref);
        m_resolverHasBase = m_baseHref.has_value();
    }
    return *m_resolver;
}

// ---- The page's own stylesheets

StylePlace MarkupColouring::styleCheckpoint(QStringView document, StylePlace open, qsizetype position)
{
    // Reading the stylesheet costs only inside a style element.
    return open.isInside() ? styleBoundaryAt(document, open, position) : StylePlace();
}

std::optional<StylesheetColouring::Link> MarkupColouring::styleLinkAt(qsizetype offset)
{
    if (m_syntax != MarkupSyntax::Html || offset < 0 || offset >= m_document.size() || !isReadyAt(offset))
        return std::nullopt;
    QList<StylesheetColouring::Link> links;
    htmlSpans(offset, offset + 1, nullptr, &links);
    for (const StylesheetColouring::Link &link : std::as_const(links)) {
        if (link.start <= offset && offset < link.end)
            return link;
    }
    return std::nullopt;
}

// Splits the spans of [from, to) where a link begins and ends, and marks the link's.
// The addresses of the page's own stylesheets are underlined as its attributes' are:
// only those that lead to an http or https address.
void MarkupColouring::markLinks(QList<MarkupSpan> &spans, qsizetype from, qsizetype to,
                                const QList<StylesheetColouring::Link> &styleLinks)
{
    QList<std::pair<qsizetype, qsizetype>> underlined;
    // Whether each is a link, without its address where that is plain (most are).
    if (const auto first = linksAround(from, to)) {
        for (auto it = *first; it != m_links.end() && it->start < to; ++it) {
            if (!it->isLink)
                it->isLink = it->resolved ? it->resolved->isLink() : resolver().isLink(it->written);
            if (*it->isLink)
                underlined.append({std::max(it->start, from) - from, std::min(it->end, to) - from});
        }
    }
    if (!styleLinks.isEmpty()) {
        for (const StylesheetColouring::Link &link : styleLinks) {
            if (link.end <= from || link.start >= to)
                continue;
            // Each row of a long address would read it whole again.
            auto known = m_styleLinksResolved.find({link.start, link.end});
            if (known == m_styleLinksResolved.end()) {
                if (m_styleLinksResolved.size() >= recentLimit)
                    m_styleLinksResolved.clear();
                known = m_styleLinksResolved.insert({{link.start, link.end}, resolver().isLink(link.written)}).first;
            }
            if (known->second)
                underlined.append({std::max(link.start, from) - from, std::min(link.end, to) - from});
        }
        std::sort(underlined.begin(), underlined.end());
    }
    if (underlined.isEmpty()) {
        for (MarkupSpan &span : spans)
            span.link = false;
        return;
    }
    QList<MarkupSpan> result;
    result.reserve(spans.size() + 2 * underlined.size());
    auto next = underlined.cbegin();
    for (const MarkupSpan &span : std::as_const(spans)) {
        qsizetype at = span.start;
        const qsizetype end = span.start + span.length;
        while (at < end) {
            while (next != underlined.cend() && next->second <= at)
                ++next;
            if (next == underlined.cend() || next->first >= end) {
                result.append({at, end - at, span.role, false});
                break;
            }
            if (next->first > at) {
                result.append({at, next->first - at, span.role, false});
                at = next->first;
            }
            const qsizetype linkEnd = std::min(end, next->second);
            result.append({at, linkEnd - at, span.role, true});
            at = linkEnd;
        }
    }
    spans = std::move(result);
}
