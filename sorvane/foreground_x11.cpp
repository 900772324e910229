#include "sorvane/foreground.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sorvane {

int chooseTargetWindow(const std::vector<WindowFacts> &recentFirst, long selfPid,
                       std::string_view selfHost)
{
    for (size_t i = 0; i < recentFirst.size(); ++i) {
        const WindowFacts &w = recentFirst[i];
        if (w.gone || !w.viewable || w.auxiliary)
            continue;
        if (w.pid == selfPid && (w.machine.empty() || w.machine == selfHost))
            continue;
        return int(i);
    }
    return -1;
}

namespace {

// Xlib's default handler ends the process on any error, and a listed window can vanish
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

// Only looked up: a display without a window manager never created these atoms.
Atom existingAtom(Display *display, const char *name)
{
    return XInternAtom(display, name, True);
}

// The 32-bit items of a property; false when it is absent or of another type.
bool longsProperty(Display *display, Window window, Atom property, Atom wantedType,
                   std::vector<unsigned long> &out, long maxItems = 4096)
{
    out.clear();
    if (property == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    const bool ok = XGetWindowProperty(display, window, property, 0, maxItems, False, wantedType,
                                       &type, &format, &items, &after, &data) == Success &&
                    type == wantedType && format == 32;
    if (ok && data)
        out.assign(reinterpret_cast<unsigned long *>(data),
                   reinterpret_cast<unsigned long *>(data) + items);
    if (data)
        XFree(data);
    return ok;
}

std::string textProperty(Display *display, Window window, Atom property)
{
    XTextProperty text{};
    std::string value;
    if (XGetTextProperty(display, window, &text, property) && text.value && text.format == 8)
        value.assign(reinterpret_cast<char *>(text.value),
                     strnlen(reinterpret_cast<char *>(text.value), text.nitems));
    if (text.value)
        XFree(text.value);
    return value;
}

struct Atoms
{
    Atom pid, state, hidden, type;
    Atom auxiliaryTypes[4];
};

WindowFacts factsOf(Display *display, Window window, const Atoms &atoms)
{
    WindowFacts facts;
    lastErrorCode = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        facts.gone = true;
        return facts;
    }
    facts.viewable = attributes.map_state == IsViewable;

    std::vector<unsigned long> values;
    if (longsProperty(display, window, atoms.pid, XA_CARDINAL, values, 1) && !values.empty())
        facts.pid = long(values[0]);
    if (longsProperty(display, window, atoms.state, XA_ATOM, values))
        for (unsigned long a : values)
            if (atoms.hidden != None && a == atoms.hidden)
                facts.viewable = false;
    if (longsProperty(display, window, atoms.type, XA_ATOM, values))
        for (unsigned long a : values)
            for (Atom aux : atoms.auxiliaryTypes)
                if (aux != None && a == aux)
                    facts.auxiliary = true;
    facts.machine = textProperty(display, window, XA_WM_CLIENT_MACHINE);

    XClassHint hint{nullptr, nullptr};
    if (XGetClassHint(display, window, &hint)) {
        facts.instance = hint.res_name ? hint.res_name : "";
        facts.windowClass = hint.res_class ? hint.res_class : "";
    }
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    XSync(display, False);
    if (lastErrorCode != 0)
        facts.gone = true; // closed while it was being read
    return facts;
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

    {
        ErrorTrap trap(display);
        const Window root = DefaultRootWindow(display);
        const Atoms atoms{existingAtom(display, "_NET_WM_PID"),
                          existingAtom(display, "_NET_WM_STATE"),
                          existingAtom(display, "_NET_WM_STATE_HIDDEN"),
                          existingAtom(display, "_NET_WM_WINDOW_TYPE"),
                          {existingAtom(display, "_NET_WM_WINDOW_TYPE_DOCK"),
                           existingAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP"),
                           existingAtom(display, "_NET_WM_WINDOW_TYPE_SPLASH"),
                           existingAtom(display, "_NET_WM_WINDOW_TYPE_NOTIFICATION")}};

        // Most recent first: the active window, then the stacking order from the top. The
        // caller is usually the active one itself (the user just clicked in it), and the
        // window it covered is the one the user worked in before.
        std::vector<unsigned long> active, stacking, order;
        longsProperty(display, root, existingAtom(display, "_NET_ACTIVE_WINDOW"), XA_WINDOW, active,
                      1);
        const bool managed = longsProperty(
            display, root, existingAtom(display, "_NET_CLIENT_LIST_STACKING"), XA_WINDOW, stacking);
        for (unsigned long w : active)
            if (w != None)
                order.push_back(w);
        for (auto it = stacking.rbegin(); it != stacking.rend(); ++it)
            if (*it != None && (active.empty() || *it != active[0]))
                order.push_back(*it);

        if (order.empty()) {
            result.status =
                managed ? ForegroundWindow::NoWindow : ForegroundWindow::NoWindowManager;
        } else {
            std::vector<WindowFacts> facts;
            facts.reserve(order.size());
            for (unsigned long w : order)
                facts.push_back(factsOf(display, Window(w), atoms));
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            const int chosen = chooseTargetWindow(facts, long(getpid()), host);
            if (chosen >= 0) {
                result.status = ForegroundWindow::Found;
                result.pid = facts[size_t(chosen)].pid;
                result.instance = facts[size_t(chosen)].instance;
                result.windowClass = facts[size_t(chosen)].windowClass;
            } else {
                // A stale active window on a display nobody manages says nothing either.
                result.status =
                    managed ? ForegroundWindow::NoWindow : ForegroundWindow::NoWindowManager;
            }
        }
    }
    XCloseDisplay(display);
    return result;
}

} // namespace sorvane
