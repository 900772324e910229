#pragma once

namespace sorvane {

// The client maps these to its tray texts: 1 to 25 have their own detail text, every other
// non-zero value reads as "setting failed". Each application family has four: document
// missing, not installed, could not be created or reached, interaction failed.
enum ResultCode : int {
    Applied = 0,
    DrawingNoDocument = 9,
    DrawingNotInstalled = 10,
    DrawingUnreachable = 11,
    DrawingFailed = 12,
    PhotoNoDocument = 13,
    PhotoNotInstalled = 14,
    PhotoUnreachable = 15,
    PhotoFailed = 16,
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
