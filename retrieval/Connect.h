#pragma once

#include "RuntimeError.h"
#include "Toolbar.h"

#include <QString>

#include <optional>

class PageView;
class StatusBar;
class TextBox;
class Transfer;

// Connect: fetches the document at the typed address into the view.
Failure Toolbar1_ButtonClick(const ToolbarButton &button, StatusBar &sbrStatus, const TextBox &txtURL,
                             Transfer &Inet1, PageView &rchtxtHTML);

// The status text for a transfer stage; none for the stages that leave the line as it is.
std::optional<QString> progressText(int state);

void Inet1_StateChanged(int state, StatusBar &sbrStatus);
