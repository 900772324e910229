#pragma once

namespace sorvane {

// The client maps these to its tray texts: 21 to 25 have their own detail text, every other
// non-zero value reads as "setting failed".
enum ResultCode : int {
    Applied = 0,
    NoForegroundDocument = 21,
    EmptyFamily = 22,
    EmptyStyle = 23,
    EmptyPostScriptName = 24,
    UnsupportedApplication = 25,
    WriteNotConfirmed = 26,
    SettingsUnreachable = 27,
    InexpressibleFontName = 28,
};

} // namespace sorvane
