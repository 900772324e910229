#pragma once

#include <string>
#include <string_view>

namespace sorvane {

// An application whose editor font lives in its settings and is picked up while it runs.
struct Target
{
    const char *names[3];  // WM_CLASS instance or class names, compared ignoring case
    const char *schema;    // settings schema holding the font
    const char *fontKey;   // string key with the font description
    const char *switchKey; // boolean key that must be false for fontKey to be used
    bool profileSchema;    // schema is a profile relocated under the default profile's path
};

// ASCII letters compared ignoring case, as WM_CLASS names are.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The supported application for a window's WM_CLASS, or null.
const Target *findTarget(std::string_view instance, std::string_view windowClass);

// The supported application whose process has this short name (at most 15 bytes of the
// program's name, as the kernel keeps it), or null.
const Target *findTargetForProcess(std::string_view name);

// Writes the font into the target's settings and reads it back: 0 when confirmed, else one
// of the failure codes of resultcodes.h.
int applyToTarget(const Target &target, const std::string &family, const std::string &style);

} // namespace sorvane
