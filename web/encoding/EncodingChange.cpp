#include "EncodingChange.h"

#include "Labels.h"
#include "Sniffing.h"

#include <optional>

namespace Encoding {

namespace {

// How far short of the decoded text's end a read stops: the tokenizer looks ahead for
// "DOCTYPE", "[CDATA[" or the longest named character reference, and a CR waits for a
// possible LF. Text that later pieces complete is read once it is complete.
constexpr qsizetype lookahead = 256;

bool isUtf16(QByteArrayView encoding)
{
    return encoding == "UTF-16BE" || encoding == "UTF-16LE";
}

// Whether text at start holds a start tag named "meta": its name ends at whitespace, '/'
// or '>'.
bool isMetaTag(QStringView text, qsizetype start)
{
    if (start + 5 >= text.size() || text[start] != u'<')
        return false;
    if (text.sliced(start + 1, 4).compare(u"meta", Qt::CaseInsensitive) != 0)
        return false;
    const char16_t after = text[start + 5].unicode();
    return after == u'\t' || after == u'\n' || after == u'\f' || after == u'\r' || after == u' ' || after == u'/'
        || after == u'>';
}

// The first start tag of a piece of text, with its attributes' names and values.
class StartTagReader : public html::TokenSink
{
public:
    std::optional<html::Token> tag;

private:
    void token(const html::Token &token) override
    {
        if (!tag && token.kind == html::TokenKind::StartTag)
            tag = token;
    }
    void parseError(html::ParseError, qsizetype) override {}
};

// The element's attribute of a name: the first of it, as HTML drops the duplicates.
const html::Attribute *attribute(const html::Token &tag, QStringView name)
{
    for (const html::Attribute &attribute : tag.attributes) {
        if (!attribute.duplicate && attribute.name == name)
            return &attribute;
    }
    return nullptr;
}

} // namespace

EncodingChange changeTheEncoding(QByteArrayView current, QByteArray newEncoding)
{
    // 1. A document read as UTF-16 stays so; the new encoding is ignored.
    if (isUtf16(current))
        return {EncodingChange::Action::KeepCertain, current.toByteArray()};
    // 2. A <meta> cannot truly mean UTF-16: it is itself read as ASCII.
    if (isUtf16(newEncoding))
        newEncoding = "UTF-8";
    // 3.
    if (newEncoding == "x-user-defined")
        newEncoding = "windows-1252";
    // 4. The same encoding: nothing to do but be certain of it.
    if (newEncoding == current)
        return {EncodingChange::Action::KeepCertain, current.toByteArray()};
    // 5. (Changing the decoder on the fly, when the bytes so far read the same in both,
    // is left out: reading again gives the same text.)
    // 6. Read the document again, from its bytes, in the new encoding, with certainty.
    return {EncodingChange::Action::Redecode, newEncoding};
}

QByteArray encodingDeclaredByMeta(QStringView tagText)
{
    StartTagReader reader;
    html::Checkpoint checkpoint;
    checkpoint.setFollowsTree(false);
    html::Tokenizer(reader, true).run(tagText, checkpoint, tagText.size());
    if (!reader.tag || reader.tag->name != u"meta")
        return {};
    const html::Token &tag = *reader.tag;
    // 1. A charset attribute that names an encoding.
    if (const html::Attribute *charset = attribute(tag, u"charset")) {
        if (QByteArray encoding = nameForLabel(charset->value.toUtf8()); !encoding.isEmpty())
            return encoding;
    }
    // 2. Otherwise http-equiv="Content-Type" and a content attribute with a charset.
    const html::Attribute *httpEquiv = attribute(tag, u"http-equiv");
    const html::Attribute *content = attribute(tag, u"content");
    if (httpEquiv && content && httpEquiv->value.compare(u"content-type", Qt::CaseInsensitive) == 0)
        return extractEncodingFromMetaContent(content->value.toUtf8());
    return {};
}

QByteArray MetaInHead::read(QStringView text, bool whole)
{
    const qsizetype stop = whole ? text.size() : text.size() - lookahead;
    if (!whole && stop <= m_checkpoint.position())
        return {};
    const html::Checkpoint before = m_checkpoint;
    m_text = text;
    m_foundAt = -1;
    html::Tokenizer(*this, false).run(text, m_checkpoint, stop);
    if (m_foundAt < 0)
        return {};
    // The tree is told a tag before its token comes, so whether the <meta> came before
    // the body is known where the read stopped only if the body has not started by then.
    // Otherwise the same text is read again, up to the <meta>.
    if (!beforeBody()) {
        html::Checkpoint upToMeta = before;
        html::ErrorCounter ignore;
        html::Tokenizer(ignore, false).run(text, upToMeta, m_foundAt);
        if (!upToMeta.tree().beforeBody())
            return {};
    }
    return m_found;
}

void MetaInHead::token(const html::Token &token)
{
    // Only the first <meta> that declares an encoding counts: once it is read, the
    // encoding is certain.
    if (m_foundAt >= 0 || token.kind != html::TokenKind::StartTag || !isMetaTag(m_text, token.start))
        return;
    // The tag is read again on its own, so that its attributes come whole even when the
    // tag began in an earlier read. From its '<', a tag reads the same anywhere.
    QByteArray encoding = encodingDeclaredByMeta(m_text.sliced(token.start, token.end - token.start));
    if (encoding.isEmpty())
        return;
    m_foundAt = token.start;
    m_found = std::move(encoding);
}

} // namespace Encoding
