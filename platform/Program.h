#pragma once

#include <QString>

// The running program itself.
class Program
{
public:
    virtual ~Program() = default;
    // The folder of the running executable.
    virtual QString appPath() const = 0;
    // Ends the program at once, with exit status 0; no handler runs afterwards.
    virtual void end() = 0;
};
