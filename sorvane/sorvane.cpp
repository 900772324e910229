#include "sorvane/sorvane.h"

#include "sorvane/fontdesc.h"
#include "sorvane/foreground.h"
#include "sorvane/office.h"
#include "sorvane/resultcodes.h"
#include "sorvane/targets.h"

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
    if (window.status != ForegroundWindow::Found)
        return NoForegroundDocument;
    OfficeApp office;
    if (officeAppForWindow(window.instance, window.windowClass, &office))
        return applyToOffice(office, host, sub);
    const Target *target = findTarget(window.instance, window.windowClass);
    if (!target)
        return UnsupportedApplication;
    return applyToTarget(*target, host, sub);
}
