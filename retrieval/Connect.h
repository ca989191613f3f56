#pragma once

#include "Command.h"
#include "Toolbar.h"

class PageView;
class StatusBar;
class TextBox;
class Transfer;

// Connect: fetches the document at the typed address into the view. It waits for the
// transfer without holding the window: the window paints and answers meanwhile. Escape
// stops the transfer; the view keeps what it had and the status line says so.
//
// Across its wait it keeps the result by value and only the status bar and the view by
// reference. It resumes only while Inet1 lives (a transfer that goes away destroys the
// waiting handler), and the window destroys Inet1 before those controls.
Command Toolbar1_ButtonClick(ToolbarButton button, StatusBar &sbrStatus, const TextBox &txtURL, Transfer &Inet1,
                             PageView &rchtxtHTML);
