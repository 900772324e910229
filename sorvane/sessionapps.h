#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

// Whether a process whose environment holds these values runs in the caller's graphical
// session: the same Wayland display when the caller has one, else the same X display
// (":11" and ":11.0" are one display). A caller with neither has no session to match.
bool sameSession(std::string_view callerDisplay, std::string_view callerWayland,
                 std::string_view display, std::string_view wayland);

// Short names (/proc/PID/comm) of this user's other processes that run in the caller's
// session, for when no window manager says which window is in use.
std::vector<std::string> sessionProcessNames();

} // namespace sorvane
