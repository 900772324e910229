#include "sorvane/foreground.h"

#include <cstdlib>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sorvane {
namespace {

// Xlib's default handler ends the process on any error, and the active window can vanish
// between two requests. Errors are only counted while this code holds the handler.
int lastErrorCode = 0;

int recordError(Display *, XErrorEvent *event)
{
    lastErrorCode = event->error_code;
    return 0;
}

class ErrorTrap
{
public:
    explicit ErrorTrap(Display *display) : m_display(display)
    {
        lastErrorCode = 0;
        m_previous = XSetErrorHandler(recordError);
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    Display *m_display;
    XErrorHandler m_previous;
};

Window activeWindow(Display *display)
{
    // Only look the atom up: a display without a window manager never created it.
    const Atom netActive = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    if (netActive == None)
        return None;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    Window window = None;
    if (XGetWindowProperty(display, DefaultRootWindow(display), netActive, 0, 1, False, XA_WINDOW,
                           &type, &format, &items, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && items == 1 && data)
        window = static_cast<Window>(reinterpret_cast<unsigned long *>(data)[0]);
    if (data)
        XFree(data);
    return window;
}

} // namespace

ForegroundWindow findForegroundWindow()
{
    ForegroundWindow result;
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name)
        return result;
    Display *display = XOpenDisplay(name);
    if (!display)
        return result;

    result.status = ForegroundWindow::NoActiveWindow;
    {
        ErrorTrap trap(display);
        const Window window = activeWindow(display);
        if (window != None) {
            XClassHint hint{nullptr, nullptr};
            const bool haveClass = XGetClassHint(display, window, &hint) != 0;
            if (haveClass) {
                result.instance = hint.res_name ? hint.res_name : "";
                result.windowClass = hint.res_class ? hint.res_class : "";
                result.status = ForegroundWindow::Found;
            } else {
                // A window without WM_CLASS is still an application, only not one we know;
                // a stale id reports BadWindow.
                XSync(display, False);
                if (lastErrorCode == 0)
                    result.status = ForegroundWindow::Found;
            }
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
        }
    }
    XCloseDisplay(display);
    return result;
}

} // namespace sorvane
