#pragma once

#include <QFont>
#include <QStringList>

// The controls' font: MS Sans Serif 8.25 points, bold, or the nearest sans serif there is.
QFont windowFont();
