#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

// What the library learns about one top-level window.
struct WindowFacts
{
    bool gone = false;      // closed since it was listed
    bool viewable = true;   // mapped (a minimised window is unmapped or marked hidden)
    bool auxiliary = false; // a panel, desktop, splash or notification, never a document
    long pid = 0;           // _NET_WM_PID, 0 when absent
    std::string machine;    // WM_CLIENT_MACHINE, empty when absent
    std::string instance;   // WM_CLASS instance name
    std::string windowClass;
};

// The window the user was working in, from candidates ordered most recent first: the first
// that still exists, is shown, is an application window and does not belong to the calling
// process (same pid on the same machine; a window without a machine counts as local). -1
// when there is none.
int chooseTargetWindow(const std::vector<WindowFacts> &recentFirst, long selfPid,
                       std::string_view selfHost);

struct ForegroundWindow
{
    enum Status {
        NoDisplay,       // no X display named or reachable
        NoWindowManager, // nothing says which window is active or how they are stacked
        NoWindow,        // windows are managed, but none is a candidate
        Found,
    };
    Status status = NoDisplay;
    long pid = 0;
    std::string instance;
    std::string windowClass;
};

// The window on $DISPLAY that the user worked in before turning to the calling process:
// _NET_ACTIVE_WINDOW, then _NET_CLIENT_LIST_STACKING from the top.
ForegroundWindow findForegroundWindow();

} // namespace sorvane
