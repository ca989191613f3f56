#include "DocumentDetails.h"

#include "DataSize.h"
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
    case EncodingOrigin::Fallback: break;
    }
    return QStringLiteral("not declared, and not UTF-8: windows-1252, as browsers assume");
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
    QString address = QStringLiteral("Address: %1").arg(facts.address);
    if (facts.redirects > 0)
        address += QStringLiteral(" (after %1)").arg(counted(facts.redirects, "redirect", "redirects"));
    lines << address;
    lines << QStringLiteral("Response: %1 %2").arg(facts.protocol).arg(facts.status);
    lines << QStringLiteral("Content-Type: %1")
                 .arg(document.contentType.isEmpty() ? QStringLiteral("none sent") : QString::fromLatin1(document.contentType));
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
