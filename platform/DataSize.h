#pragma once

#include <QLocale>
#include <QString>

// How the program writes a number of bytes: "850 bytes", "12.3 kB", "4.0 MB", in
// decimal units, with the user's decimal separator.
namespace DataSize {

struct Unit
{
    double divisor;
    const char *name;
};

inline Unit unitFor(qint64 bytes)
{
    if (bytes >= 1'000'000'000)
        return {1e9, "GB"};
    if (bytes >= 1'000'000)
        return {1e6, "MB"};
    if (bytes >= 1'000)
        return {1e3, "kB"};
    return {1, nullptr};
}

inline QString inUnit(qint64 bytes, Unit unit)
{
    return QLocale().toString(double(bytes) / unit.divisor, 'f', 1);
}

inline QString text(qint64 bytes)
{
    const Unit unit = unitFor(bytes);
    if (!unit.name)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(QLocale().toString(bytes));
    return QStringLiteral("%1 %2").arg(inUnit(bytes, unit), QLatin1String(unit.name));
}

// "3.2 of 12.0 MB": both in the unit of the whole.
inline QString partOf(qint64 part, qint64 whole)
{
    const Unit unit = unitFor(whole);
    if (!unit.name)
        return QStringLiteral("%1 of %2").arg(QLocale().toString(part), text(whole));
    return QStringLiteral("%1 of %2 %3").arg(inUnit(part, unit), inUnit(whole, unit), QLatin1String(unit.name));
}

} // namespace DataSize
