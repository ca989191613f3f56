#pragma once

#include "Command.h"
#include "History.h"
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
//
// Every completed fetch goes into history; a failed or stopped one leaves the history,
// the view and the place in it as they were.
Command Toolbar1_ButtonClick(ToolbarButton button, StatusBar &sbrStatus, TextBox &txtURL, Transfer &Inet1,
                             PageView &rchtxtHTML, History &history);

// Back, Forward and Reload: the history's address goes into the address box and is
// fetched as the Connect button fetches it; once complete, the caret and the scroll
// go back where they were. New fetches the address in the box, as the button does.
// Nothing happens while a transfer runs or when the step has nowhere to go.
Command connectStep(History::Step step, StatusBar &sbrStatus, TextBox &txtURL, Transfer &Inet1, PageView &rchtxtHTML,
                    History &history);
