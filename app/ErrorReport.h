#pragma once

#include "RuntimeError.h"

class MessageBox;

// How an error that no handler caught reaches the user: its number and description
// in a message box; the program goes on.
QString errorReportText(const RuntimeError &error);
void reportError(MessageBox &messageBox, const Failure &failure);
