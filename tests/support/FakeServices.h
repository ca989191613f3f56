#pragma once

#include "Fakes.h"
#include "Form1.h"

// The window's services as fakes, for tests that drive the whole window: the message
// box, the program, the clipboard and the save dialog are the fakes here, the transfer
// the real one with the settings given.
struct FakeServices
{
    FakeMessageBox messageBox;
    FakeProgram program;
    FakeClipboard clipboard;
    FakeSaveDialog saveDialog;

    Form1::Services services(TransferSettings transfer = {})
    {
        Form1::Services services;
        services.messageBox = &messageBox;
        services.program = &program;
        services.clipboard = &clipboard;
        services.saveDialog = &saveDialog;
        services.transfer = transfer;
        return services;
    }
};
