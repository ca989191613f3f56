#pragma once

#include "Program.h"

class QtProgram : public Program
{
public:
    QString appPath() const override;
    bool canWriteIn(const QString &folder) const override;
    QString documentsPath() const override;
    void end() override;
};
