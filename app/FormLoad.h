#pragma once

#include "RuntimeError.h"

class StatusBar;

// The window has been made: the status panel reads "inactive".
Failure Form_Load(StatusBar &sbrStatus);
