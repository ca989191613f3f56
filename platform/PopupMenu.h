#pragma once

// A context menu. popup() opens it at the mouse pointer and returns once it has
// closed, after the chosen item's command has run.
class PopupMenu
{
public:
    virtual ~PopupMenu() = default;
    virtual void popup() = 0;
};
