#!/usr/bin/env python3
"""Time from the call to the confirmed font, for a font that is already activated.

usage: /usr/bin/python3 bench/interaction_bench.py [--runs N] BUILD_DIR

Loads BUILD_DIR's libSorvane.so and calls it the way the program does after a card click,
from a process whose own window is on top (as the program's is after the click), with the
target window just below it, under openbox on a private Xvfb display, a private session
bus and a HOME, XDG_* and settings store in a temporary folder. Two paths side by side:

- editor: a window of class "mousepad" and its settings in a key-file store (gsettings);
- inkscape: Inkscape 1.2 with a document whose text is selected (skipped when Inkscape is
  not installed).

Prints each path's minimum, median and maximum over N calls (default 10) and the codes seen.
"""
import ctypes, os, shutil, statistics, subprocess, sys, tempfile, time

SCHEMA = """<schemalist>
  <schema id="org.xfce.mousepad.preferences.view" path="/org/xfce/mousepad/preferences/view/">
    <key name="font-name" type="s"><default>'Monospace 10'</default></key>
    <key name="use-default-monospace-font" type="b"><default>true</default></key>
  </schema>
</schemalist>
"""
DOCUMENT = ("<svg xmlns='http://www.w3.org/2000/svg' width='400' height='200'>"
            "<text id='title' x='20' y='80' style=\"font-family:'DejaVu Sans';font-size:40px\">"
            "Headline</text></svg>")


class XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_char_p), ("res_class", ctypes.c_char_p)]


class X:
    """Just enough Xlib to put up windows that say whose they are."""

    def __init__(self, display):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.lib.XCreateSimpleWindow.restype = ctypes.c_ulong
        self.lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
            [ctypes.c_int] * 2 + [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        self.lib.XInternAtom.restype = ctypes.c_ulong
        self.lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.lib.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                             ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                             ctypes.c_void_p, ctypes.c_int]
        self.lib.XSetClassHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                           ctypes.POINTER(XClassHint)]
        for name in ("XMapRaised", "XDestroyWindow"):
            getattr(self.lib, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.dpy = self.lib.XOpenDisplay(display.encode())
        if not self.dpy:
            raise SystemExit("cannot open display " + display)

    def window(self, name, pid=0):
        w = self.lib.XCreateSimpleWindow(self.dpy, self.lib.XDefaultRootWindow(self.dpy),
                                         0, 0, 300, 200, 0, 0, 0xffffff)
        hint = XClassHint(name.encode(), name.capitalize().encode())
        self.lib.XSetClassHint(self.dpy, w, ctypes.byref(hint))
        if pid:
            value = ctypes.c_ulong(pid)
            self.lib.XChangeProperty(self.dpy, w, self.lib.XInternAtom(self.dpy, b"_NET_WM_PID", 0),
                                     6, 32, 0, ctypes.byref(value), 1)  # XA_CARDINAL, replace
        self.lib.XMapRaised(self.dpy, w)
        self.lib.XSync(self.dpy, 0)
        return w

    def close(self, w):
        self.lib.XDestroyWindow(self.dpy, w)
        self.lib.XSync(self.dpy, 0)


def start_display(tmp):
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                             "1280x800x24"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + xvfb.stdout.readline().decode().strip()
    os.environ["DISPLAY"] = display
    wm = subprocess.Popen(["openbox", "--config-file", "/dev/null"], stderr=subprocess.DEVNULL)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                            "--address=unix:tmpdir=" + tmp], stdout=subprocess.PIPE)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
    time.sleep(1)  # the window manager takes over the display
    return display, [wm, bus, xvfb]


def time_calls(fn, runs, name, before=None):
    times, codes = [], set()
    for _ in range(runs):
        if before:
            before()
        start = time.perf_counter()
        codes.add(fn(b"DejaVu Serif", b"Bold", b"DejaVuSerif-Bold", 0, None))
        times.append(time.perf_counter() - start)
    print(f"{name:9} min {min(times) * 1000:7.1f} ms  median {statistics.median(times) * 1000:7.1f} ms"
          f"  max {max(times) * 1000:7.1f} ms  codes {sorted(codes)}  ({runs} calls)")


def inkscape_action(action, parameter=None):
    subprocess.run(["gdbus", "call", "--session", "--dest", "org.inkscape.Inkscape",
                    "--object-path", "/org/inkscape/Inkscape", "--method",
                    "org.gtk.Actions.Activate", action,
                    "[<%s>]" % parameter if parameter else "[]", "{}"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def main():
    args = sys.argv[1:]
    runs = 10
    if len(args) == 3 and args[0] == "--runs":
        runs, args = int(args[1]), args[2:]
    if len(args) != 1:
        raise SystemExit(__doc__)
    library = os.path.join(os.path.abspath(args[0]), "lib", "libSorvane.so")
    if not os.path.exists(library):
        library = os.path.join(os.path.abspath(args[0]), "bin", "libSorvane.so")
    tmp = tempfile.mkdtemp(prefix="interaction-bench-")
    for key, sub in (("HOME", ""), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                     ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "run")):
        os.makedirs(os.path.join(tmp, sub), mode=0o700, exist_ok=True)
        os.environ[key] = os.path.join(tmp, sub)
    os.environ.pop("WAYLAND_DISPLAY", None)
    schemas = os.path.join(tmp, "schemas")
    os.makedirs(schemas)
    with open(os.path.join(schemas, "bench.gschema.xml"), "w") as f:
        f.write(SCHEMA)
    subprocess.run(["glib-compile-schemas", schemas], check=True)
    display, processes = start_display(tmp)
    try:
        fn = ctypes.CDLL(library).SV_FontSoftInteractionOfName
        x = X(display)
        # The editor path: only the settings store and schema are the test's own.
        editor_env = {"GSETTINGS_BACKEND": "keyfile", "GSETTINGS_SCHEMA_DIR": schemas}
        saved = {k: os.environ.get(k) for k in editor_env}
        os.environ.update(editor_env)
        editor = x.window("mousepad")
        own = x.window("quillora", os.getpid())
        time.sleep(1)  # both are managed, as they are long before a click
        time_calls(fn, runs, "editor")
        x.close(own)
        x.close(editor)
        for k, v in saved.items():
            if v is None:
                os.environ.pop(k)
            else:
                os.environ[k] = v

        if not shutil.which("inkscape"):
            print("inkscape  skipped: Inkscape is not installed")
            return
        document = os.path.join(tmp, "poster.svg")
        with open(document, "w") as f:
            f.write(DOCUMENT)
        inkscape = subprocess.Popen(["inkscape", document], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        processes.insert(0, inkscape)
        for _ in range(120):
            time.sleep(0.5)
            try:
                inkscape_action("select-by-id", "'title'")
                break
            except subprocess.CalledProcessError:
                continue
        time.sleep(2)  # its window is up and managed
        own = x.window("quillora", os.getpid())
        time.sleep(1)
        time_calls(fn, runs, "inkscape", before=lambda: inkscape_action("select-by-id", "'title'"))
        x.close(own)
    finally:
        for p in processes:
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
