#pragma once

#include <QLatin1String>
#include <QString>

// The program's name, as its message boxes and the desktop show it.
constexpr QLatin1String programName("Vellumin");

// The running program itself.
class Program
{
public:
    virtual ~Program() = default;
    // The folder of the running executable.
    virtual QString appPath() const = 0;
    // Whether the user may create files in folder.
    virtual bool canWriteIn(const QString &folder) const = 0;
    // The user's documents folder, or the home folder when there is none.
    virtual QString documentsPath() const = 0;
    // Ends the program, with exit status 0: once the handler that asked returns, no
    // other handler runs.
    virtual void end() = 0;
};
