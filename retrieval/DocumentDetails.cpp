#include "DocumentDetails.h"

#include "DataSize.h"
#include "DisplayText.h"
#include "Transfer.h"

#include <QLocale>
#include <QStringList>

namespace {

QString encodingOrigin(EncodingOrigin origin)
{
    switch (origin) {
    case EncodingOrigin::ByteOrderMark: return QStringLiteral("from the byte-order mark");
    case EncodingOrigin::ContentType: return QStringLiteral("from the Content-Type header");
    case EncodingOrigin::Meta: return QStringLiteral("from the page's <meta>");
    case EncodingOrigin::XmlDeclaration: return QStringLiteral("from the XML declaration");
    case EncodingOrigin::ValidUtf8: return QStringLiteral("not declared; the bytes are valid UTF-8");
    case EncodingOrigin::MetaWhileParsing: return QStringLiteral("<meta> found while parsing");
    case EncodingOrigin::Fallback: break;
    }
    return QStringLiteral("not declared, and not UTF-8: windows-1252, as browsers assume");
}

// A value from the server, cut about where a line of the tooltip would run off the
// screen anyway: a header of 100 KB would otherwise take a second to lay out and a
// tooltip hundreds of thousands of pixels wide.
QString atMostShown(QString value)
{
    constexpr qsizetype shownCharacters = 200;
    if (value.size() <= shownCharacters)
        return value;
    qsizetype cut = shownCharacters;
    if (value.at(cut - 1).isHighSurrogate())
        --cut;
    value.truncate(cut);
    return value + QChar(0x2026);
}

QString counted(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(QLocale().toString(count), QLatin1String(count == 1 ? one : many));
}

} // namespace

QString documentDetails(const FetchedDocument &document)
{
    const DocumentFacts &facts = document.facts;
    QStringList lines;
    // The address and the Content-Type are the server's words: shown so that they can
    // neither add a line here nor turn round the text beside them.
    QString address = QStringLiteral("Address: %1").arg(atMostShown(DisplayText::displayedAddress(facts.address)));
    if (facts.redirects > 0)
        address += QStringLiteral(" (after %1)").arg(counted(facts.redirects, "redirect", "redirects"));
    lines << address;
    lines << QStringLiteral("Response: %1 %2").arg(facts.protocol).arg(facts.status);
    lines << QStringLiteral("Content-Type: %1")
                 .arg(document.contentType.isEmpty() ? QStringLiteral("none sent")
                                                      : atMostShown(DisplayText::escapeForDisplay(QString::fromLatin1(document.contentType))));
    lines << QStringLiteral("Encoding: %1, %2").arg(QString::fromLatin1(facts.encoding), encodingOrigin(facts.encodingOrigin));
    lines << QStringLiteral("Size: %1 on the wire; %2 of document, %3, %4")
                 .arg(DataSize::text(facts.wireBytes), DataSize::text(facts.bytes),
                      counted(facts.characters, "character", "characters"), counted(facts.lines, "line", "lines"));
    lines << (facts.elapsedMs < 1000 ? QStringLiteral("Time: %1 ms").arg(facts.elapsedMs)
                                     : QStringLiteral("Time: %1 s").arg(QLocale().toString(double(facts.elapsedMs) / 1000.0, 'f', 2)));
    return lines.join(QLatin1Char('\n'));
}

QString withParseErrorCount(const QString &details, qint64 count)
{
    if (details.isEmpty())
        return details;
    static const QString label = QStringLiteral("Parse errors: ");
    QStringList lines = details.split(QLatin1Char('\n'));
    if (lines.last().startsWith(label))
        lines.removeLast();
    lines << label + (count == 0 ? QStringLiteral("none") : QLocale().toString(count));
    return lines.join(QLatin1Char('\n'));
}
