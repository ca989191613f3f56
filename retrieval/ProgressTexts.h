#pragma once

#include <QString>

#include <optional>

class StatusBar;

// The status text for a transfer stage; none for the stages that leave the line as it is.
std::optional<QString> progressText(int state);

void Inet1_StateChanged(int state, StatusBar &sbrStatus);
