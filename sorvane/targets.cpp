#include "sorvane/targets.h"

#include "sorvane/fontdesc.h"
#include "sorvane/resultcodes.h"
#include "sorvane/settingstool.h"

#include <unistd.h>

namespace sorvane {
namespace {

constexpr Target kTargets[] = {
    {{"gedit", "org.gnome.gedit", nullptr},
     "org.gnome.gedit.preferences.editor",
     "editor-font",
     "use-default-font",
     false},
    {{"gnome-text-editor", "org.gnome.texteditor", nullptr},
     "org.gnome.TextEditor",
     "custom-font",
     "use-system-font",
     false},
    {{"mousepad", "org.xfce.mousepad", nullptr},
     "org.xfce.mousepad.preferences.view",
     "font-name",
     "use-default-monospace-font",
     false},
    {{"gnome-terminal-server", "gnome-terminal", "org.gnome.terminal"},
     "org.gnome.Terminal.Legacy.Profile",
     "font",
     "use-system-font",
     true},
};

constexpr const char *kProfileList = "org.gnome.Terminal.ProfilesList";
constexpr const char *kProfilePath = "/org/gnome/terminal/legacy/profiles:/:";
constexpr const char *kDefaultSize = "12";

// A dconf-backed store may land a write a moment after the writer returned.
constexpr int kReadBackTries = 4;
constexpr useconds_t kReadBackPauseUs = 100 * 1000;

// The profile id becomes part of a settings path, so only the characters of a UUID pass.
bool isProfileId(std::string_view id)
{
    if (id.empty() || id.size() > 64)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
              c == '-'))
            return false;
    return true;
}

bool resolveSchema(const Target &target, std::string &schema)
{
    schema = target.schema;
    if (!target.profileSchema)
        return true;
    std::string printed, id;
    if (!readSetting(kProfileList, "default", printed) || !parseStringLiteral(printed, id) ||
        !isProfileId(id))
        return false;
    schema += ':';
    schema += kProfilePath;
    schema += id;
    schema += '/';
    return true;
}

bool readsBackString(const std::string &schema, const char *key, const std::string &expected)
{
    for (int attempt = 0; attempt < kReadBackTries; ++attempt) {
        if (attempt > 0)
            usleep(kReadBackPauseUs);
        std::string printed, value;
        if (readSetting(schema, key, printed) && parseStringLiteral(printed, value) &&
            value == expected)
            return true;
    }
    return false;
}

bool readsBackFalse(const std::string &schema, const char *key)
{
    for (int attempt = 0; attempt < kReadBackTries; ++attempt) {
        if (attempt > 0)
            usleep(kReadBackPauseUs);
        std::string printed;
        bool value = true;
        if (readSetting(schema, key, printed) && parseBoolean(printed, value) && !value)
            return true;
    }
    return false;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

const Target *findTarget(std::string_view instance, std::string_view windowClass)
{
    for (const Target &target : kTargets)
        for (const char *name : target.names)
            if (name && ((!instance.empty() && equalsIgnoringCase(instance, name)) ||
                         (!windowClass.empty() && equalsIgnoringCase(windowClass, name))))
                return &target;
    return nullptr;
}

const Target *findTargetForProcess(std::string_view name)
{
    constexpr size_t kKernelNameLength = 15;
    if (name.empty())
        return nullptr;
    for (const Target &target : kTargets)
        for (const char *candidate : target.names)
            if (candidate &&
                equalsIgnoringCase(name, std::string_view(candidate).substr(0, kKernelNameLength)))
                return &target;
    return nullptr;
}

int applyToTarget(const Target &target, const std::string &family, const std::string &style)
{
    std::string schema;
    if (!resolveSchema(target, schema))
        return SettingsUnreachable;

    // Reading the current font first also proves the schema is installed; its size is kept.
    std::string printed, current;
    if (!readSetting(schema, target.fontKey, printed))
        return SettingsUnreachable;
    std::string size;
    if (parseStringLiteral(printed, current))
        size = sizeOf(current);
    if (size.empty())
        size = kDefaultSize;

    const std::string description = fontDescription(family, style, size);
    writeSetting(schema, target.fontKey, quotedString(description));
    if (!readsBackString(schema, target.fontKey, description))
        return WriteNotConfirmed;

    // Switched only once the font is in place, so the application never shows a stale one.
    writeSetting(schema, target.switchKey, "false");
    if (!readsBackFalse(schema, target.switchKey))
        return WriteNotConfirmed;
    return Applied;
}

} // namespace sorvane
