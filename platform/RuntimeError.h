#pragma once

#include <QString>

#include <optional>

// An error that no handler catches. The window reports it in one place, with its
// number and a sentence the user understands, and the failing handler stops there.
struct RuntimeError
{
    int number = 0;
    QString description;
};

// What a handler hands back to the window: nothing, or the error that stopped it.
using Failure = std::optional<RuntimeError>;

// Numbers of the errors that are the program's own. Transfer errors use libcurl's
// own codes, which stay below 100.
namespace ErrorNumber {
constexpr int PanelNotFound = 1001;
constexpr int UnsupportedScheme = 1002;
constexpr int InvalidAddress = 1003;
constexpr int DocumentTooLarge = 1004;
constexpr int TransferBusy = 1005;
constexpr int OutOfMemory = 1006;
} // namespace ErrorNumber
