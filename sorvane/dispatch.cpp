#include "sorvane/dispatch.h"

#include "sorvane/gimp.h"
#include "sorvane/inkscape.h"
#include "sorvane/resultcodes.h"
#include "sorvane/targets.h"

#include <algorithm>
#include <initializer_list>

namespace sorvane {
namespace {

bool anyOf(std::initializer_list<const char *> names, std::string_view a, std::string_view b)
{
    for (const char *name : names)
        if ((!a.empty() && equalsIgnoringCase(a, name)) ||
            (!b.empty() && equalsIgnoringCase(b, name)))
            return true;
    return false;
}

// WM_CLASS names and process names of the drawing and photo-editing programs.
const std::initializer_list<const char *> kDrawingNames = {"org.inkscape.Inkscape", "inkscape"};
const std::initializer_list<const char *> kPhotoNames = {"gimp", "gimp-2.10"};

} // namespace

bool applicationForWindow(std::string_view instance, std::string_view windowClass, Application *app)
{
    Application found;
    if (const Target *target = findTarget(instance, windowClass)) {
        found.settings = target;
    } else if (anyOf(kDrawingNames, instance, windowClass)) {
        found.kind = Application::Drawing;
    } else if (anyOf(kPhotoNames, instance, windowClass)) {
        found.kind = Application::Photo;
    } else if (officeAppForWindow(instance, windowClass, &found.office)) {
        found.kind = Application::Office;
    } else {
        return false;
    }
    *app = found;
    return true;
}

bool applicationForProcess(std::string_view name, Application *app)
{
    Application found;
    if (const Target *target = findTargetForProcess(name))
        found.settings = target;
    else if (anyOf(kDrawingNames, name, {}))
        found.kind = Application::Drawing;
    else if (anyOf(kPhotoNames, name, {}))
        found.kind = Application::Photo;
    else
        return false;
    *app = found;
    return true;
}

int soleRunningApplication(const std::vector<std::string> &processNames,
                           const std::vector<OfficeApp> &officeWithDocument, Application *app)
{
    std::vector<Application> running;
    const auto add = [&running](const Application &a) {
        if (std::find(running.begin(), running.end(), a) == running.end())
            running.push_back(a);
    };
    for (const std::string &name : processNames) {
        Application a;
        if (applicationForProcess(name, &a))
            add(a);
    }
    for (OfficeApp office : officeWithDocument) {
        Application a;
        a.kind = Application::Office;
        a.office = office;
        add(a);
    }
    if (running.empty())
        return NoForegroundDocument;
    if (running.size() > 1)
        return UnsupportedApplication;
    *app = running.front();
    return Applied;
}

int applyToApplication(const Application &app, const std::string &family, const std::string &style)
{
    switch (app.kind) {
    case Application::Settings:
        return applyToTarget(*app.settings, family, style);
    case Application::Drawing:
        return applyToInkscape(family, style);
    case Application::Photo:
        return applyToGimp(family, style);
    case Application::Office:
        return applyToOffice(app.office, family, style);
    }
    return UnsupportedApplication;
}

} // namespace sorvane
