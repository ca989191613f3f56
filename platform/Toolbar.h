#pragma once

#include <QString>

// A toolbar button as its ButtonClick event hands it over.
struct ToolbarButton
{
    QString key;
    QString caption;
};
