#include "sorvane/sorvane.h"

#include "sorvane/dispatch.h"
#include "sorvane/fontdesc.h"
#include "sorvane/foreground.h"
#include "sorvane/resultcodes.h"
#include "sorvane/sessionapps.h"

#include <cstdlib>

using namespace sorvane;

extern "C" SORVANE_EXPORT int SV_FontSoftInteractionOfName(const char *host, const char *sub,
                                                           const char *ps, int flag, void *eng)
{
    (void)flag; // reserved: always 0
    (void)eng;  // reserved: always null

    if (!host || !*host)
        return EmptyFamily;
    if (!sub || !*sub)
        return EmptyStyle;
    if (!ps || !*ps)
        return EmptyPostScriptName;
    if (!isExpressibleFamily(host) || !isValidUtf8(sub))
        return InexpressibleFontName;

    const ForegroundWindow window = findForegroundWindow();
    Application app;
    if (window.status == ForegroundWindow::Found) {
        if (!applicationForWindow(window.instance, window.windowClass, &app))
            return UnsupportedApplication;
    } else if (window.status == ForegroundWindow::NoWindow && !std::getenv("WAYLAND_DISPLAY")) {
        return NoForegroundDocument;
    } else {
        // Nobody says which window is in use (no window manager, or a Wayland session whose
        // windows X11 cannot see): only an unambiguous choice is taken.
        std::vector<OfficeApp> office;
        for (OfficeApp kind : {OfficeApp::Writer, OfficeApp::Impress})
            if (officeHasOpenDocument(kind))
                office.push_back(kind);
        const int sole = soleRunningApplication(sessionProcessNames(), office, &app);
        if (sole != Applied)
            return sole;
    }
    return applyToApplication(app, host, sub);
}
