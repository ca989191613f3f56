#pragma once

#include "Program.h"

class QtProgram : public Program
{
public:
    QString appPath() const override;
    void end() override;
};
