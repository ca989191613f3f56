#pragma once

#include <QString>

namespace MsgBox {
// A box's style is its buttons plus its icon; it answers with the button pressed.
constexpr int ok = 1;
constexpr int yesNo = 4;
constexpr int buttonsMask = 0x0F;

constexpr int critical = 16;
constexpr int question = 32;
constexpr int exclamation = 48;
constexpr int information = 64;
constexpr int iconMask = 0x70;

constexpr int yes = 6;
constexpr int no = 7;
} // namespace MsgBox

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Modal to the application; returns the number of the button pressed.
    virtual int msgBox(const QString &prompt, int style, const QString &title) = 0;
};
