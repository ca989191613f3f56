// The XML colouring and the links read from it: any text, whole and cut in two
// anywhere.

#include "FuzzCheck.h"
#include "MarkupLinks.h"
#include "MarkupTokenizer.h"

#include <QString>

namespace {

// The spans cover the text exactly, in order, none empty, no two neighbours alike.
void checkCover(const QList<MarkupSpan> &spans, qsizetype size)
{
    qsizetype at = 0;
    for (qsizetype i = 0; i < spans.size(); ++i) {
        FUZZ_CHECK(spans[i].start == at);
        FUZZ_CHECK(spans[i].length > 0);
        FUZZ_CHECK(i == 0 || spans[i].role != spans[i - 1].role);
        at += spans[i].length;
    }
    FUZZ_CHECK(at == size);
}

// Spans of two pieces, the second's moved to follow the first, joined where the roles
// meet: what one call over both would give.
QList<MarkupSpan> joined(QList<MarkupSpan> first, const QList<MarkupSpan> &second, qsizetype offset)
{
    for (MarkupSpan span : second) {
        span.start += offset;
        if (!first.isEmpty() && first.last().role == span.role)
            first.last().length += span.length;
        else
            first.append(span);
    }
    return first;
}

} // namespace

// The first byte picks where to cut; the rest is the text, as UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const MarkupState start;

    QList<MarkupSpan> whole;
    const MarkupState end = tokenizeMarkup(text, start, &whole);
    checkCover(whole, text.size());

    const qsizetype cut = data[0] * text.size() / 255;
    QList<MarkupSpan> first;
    QList<MarkupSpan> second;
    const QStringView view(text);
    const MarkupState middle = tokenizeMarkup(view.first(cut), start, &first, view.sliced(cut));
    const MarkupState last = tokenizeMarkup(view.sliced(cut), middle, &second);
    FUZZ_CHECK(last == end);
    FUZZ_CHECK(joined(first, second, cut) == whole);
    // Without spans, the same state.
    FUZZ_CHECK(tokenizeMarkup(view.first(cut), start, nullptr, view.sliced(cut)) == middle);

    // Links read from a state outside a tag are those read from the start.
    const QList<MarkupLink> links = xmlMarkupLinks(view, 0, start, text.size(), Html::Namespace::Html);
    for (const MarkupLink &link : links)
        FUZZ_CHECK(0 <= link.start && link.start <= link.end && link.end <= text.size());
    if (!middle.isInsideTag()) {
        QList<MarkupLink> after;
        for (const MarkupLink &link : links) {
            if (link.start >= cut)
                after.append(link);
        }
        const QList<MarkupLink> fromCut = xmlMarkupLinks(view, cut, middle, text.size(), Html::Namespace::Html);
        FUZZ_CHECK(fromCut.size() == after.size());
        for (qsizetype i = 0; i < std::min(fromCut.size(), after.size()); ++i)
            FUZZ_CHECK(fromCut[i].start == after[i].start && fromCut[i].end == after[i].end && fromCut[i].written == after[i].written);
    }
    return 0;
}
