#pragma once

// A context menu. popup() opens it at the mouse pointer; the chosen item's command
// runs when the user picks it.
class PopupMenu
{
public:
    virtual ~PopupMenu() = default;
    virtual void popup() = 0;
};
