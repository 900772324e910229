#pragma once

#include <string>

namespace sorvane {

struct ForegroundWindow
{
    enum Status {
        NoDisplay,      // no X display named or reachable
        NoActiveWindow, // nothing is marked active, or the marked window is gone
        Found,
    };
    Status status = NoDisplay;
    std::string instance;    // WM_CLASS instance name (may be empty)
    std::string windowClass; // WM_CLASS class name (may be empty)
};

// The window the window manager marks as active on the display named by $DISPLAY.
ForegroundWindow findForegroundWindow();

} // namespace sorvane
