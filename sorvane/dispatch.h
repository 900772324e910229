#pragma once

#include "sorvane/office.h"

#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

struct Target;

// An application the library can set a font in.
struct Application
{
    enum Kind { Settings, Drawing, Photo, Office };
    Kind kind = Settings;
    const Target *settings = nullptr; // Settings: its settings keys
    OfficeApp office = OfficeApp::Writer;

    bool operator==(const Application &other) const
    {
        return kind == other.kind && settings == other.settings &&
               (kind != Office || office == other.office);
    }
};

// The supported application a window's WM_CLASS names.
bool applicationForWindow(std::string_view instance, std::string_view windowClass,
                          Application *app);

// The supported application a process's short name (/proc/PID/comm) names.
bool applicationForProcess(std::string_view name, Application *app);

// The one application running with an open document when nothing says which window is in
// use: 0 and app set when there is exactly one, 21 when there is none, 25 when several.
int soleRunningApplication(const std::vector<std::string> &processNames,
                           const std::vector<OfficeApp> &officeWithDocument, Application *app);

int applyToApplication(const Application &app, const std::string &family, const std::string &style);

} // namespace sorvane
