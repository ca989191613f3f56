#pragma once

#include <QString>

namespace MsgBox {
// Button and icon styles, and the answers, as numbers the handlers speak in.
constexpr int yesNo = 4;
constexpr int critical = 16;
constexpr int question = 32;
constexpr int exclamation = 48;
constexpr int yes = 6;
constexpr int no = 7;
constexpr int ok = 1;
} // namespace MsgBox

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Modal to the application; returns the number of the button pressed.
    virtual int msgBox(const QString &prompt, int style, const QString &title) = 0;
};
