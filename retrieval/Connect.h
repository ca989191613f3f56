#pragma once

#include "RuntimeError.h"
#include "Toolbar.h"

class PageView;
class StatusBar;
class TextBox;
class Transfer;

// Connect: fetches the document at the typed address into the view.
Failure Toolbar1_ButtonClick(const ToolbarButton &button, StatusBar &sbrStatus, const TextBox &txtURL,
                             Transfer &Inet1, PageView &rchtxtHTML);
