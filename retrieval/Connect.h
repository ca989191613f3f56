#pragma once

#include "Command.h"
#include "Toolbar.h"

class PageView;
class StatusBar;
class TextBox;
class Transfer;

// Connect: fetches the document at the typed address into the view. It waits for the
// transfer without holding the window: the window paints and answers meanwhile.
Command Toolbar1_ButtonClick(ToolbarButton button, StatusBar &sbrStatus, const TextBox &txtURL, Transfer &Inet1,
                             PageView &rchtxtHTML);
