#include "RuntimeError.h"

QString errorReportText(const RuntimeError &error)
{
    return QStringLiteral("Error %1\n\n%2").arg(error.number).arg(error.description);
}
