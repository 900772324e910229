// libSorvane as the program uses it: loaded by path and called with three UTF-8 names.
// The application in use comes from a private Xvfb display on which the test marks windows
// active and stacks them as a window manager would, and the application's settings
// from a key-file store in the private HOME with schemas compiled by the test.
#include "testenv.h"

#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Interaction = int (*)(const char *, const char *, const char *, int, void *);

const char kTerminalProfile[] = "b1dcc9dd-5262-4d8d-a863-c897e6d979b9";

// Schemas with the applications' real ids, keys and defaults.
const char kSchemas[] = R"(<schemalist>
  <schema id="org.gnome.gedit.preferences.editor" path="/org/gnome/gedit/preferences/editor/">
    <key name="use-default-font" type="b"><default>true</default></key>
    <key name="editor-font" type="s"><default>'Monospace 12'</default></key>
  </schema>
  <schema id="org.gnome.TextEditor" path="/org/gnome/TextEditor/">
    <key name="use-system-font" type="b"><default>true</default></key>
    <key name="custom-font" type="s"><default>'Monospace 11'</default></key>
  </schema>
  <schema id="org.xfce.mousepad.preferences.view" path="/org/xfce/mousepad/preferences/view/">
    <key name="font-name" type="s"><default>'Monospace 10'</default></key>
    <key name="use-default-monospace-font" type="b"><default>true</default></key>
  </schema>
  <schema id="org.gnome.Terminal.ProfilesList" path="/org/gnome/terminal/legacy/profiles:/">
    <key name="list" type="as"><default>['b1dcc9dd-5262-4d8d-a863-c897e6d979b9']</default></key>
    <key name="default" type="s"><default>'b1dcc9dd-5262-4d8d-a863-c897e6d979b9'</default></key>
  </schema>
  <schema id="org.gnome.Terminal.Legacy.Profile">
    <key name="font" type="s"><default>'Monospace 12'</default></key>
    <key name="use-system-font" type="b"><default>true</default></key>
  </schema>
</schemalist>
)";

// Value of key in group of a key file, exactly as stored ("" when absent).
QString storedValue(const QString &file, const QString &group, const QString &key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inGroup = false;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    for (const QString &line : lines) {
        if (line.startsWith('['))
            inGroup = line == '[' + group + ']';
        else if (inGroup && line.startsWith(key + '='))
            return line.mid(key.size() + 1);
    }
    return {};
}

class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace

class TestSorvane : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void exportsOnlyItsFunction();
    void emptyNames_data();
    void emptyNames();
    void inexpressibleFamily();
    void withoutDisplay_data();
    void withoutDisplay();
    void noActiveWindow();
    void setsFontInApplication_data();
    void setsFontInApplication();
    void unsupportedApplication_data();
    void unsupportedApplication();
    void settingsUnreachable();
    void writeNotConfirmed();
    void findsApplicationInUse_data();
    void findsApplicationInUse();
    void applicationNotReached_data();
    void applicationNotReached();
    void inkscapeLive();

private:
    int call(const char *host, const char *sub, const char *ps);
    Window makeWindow(const char *instance, const char *windowClass, long pid = 0,
                      const char *machine = nullptr);
    void setActive(Window window);
    void setStacking(const QVector<Window> &bottomToTop);
    void clearActive();
    QProcess *startNamedProcess(const QString &name, const QByteArray &display);
    QString keyFile() const;

    QLibrary m_library;
    Interaction m_fn = nullptr;
    QProcess m_xvfb;
    QByteArray m_displayName;
    Display *m_display = nullptr;
    QTemporaryDir m_schemaDir;
    QTemporaryDir m_noSystemData;
    TestEnv *m_env = nullptr;
};

void TestSorvane::initTestCase()
{
    m_library.setFileName(QStringLiteral(SORVANE_LIBRARY));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_fn = reinterpret_cast<Interaction>(m_library.resolve("SV_FontSoftInteractionOfName"));
    QVERIFY(m_fn);

    QVERIFY(m_schemaDir.isValid() && m_noSystemData.isValid());
    if (!QStandardPaths::findExecutable("glib-compile-schemas").isEmpty()) {
        QFile xml(m_schemaDir.filePath("quillora-test.gschema.xml"));
        QVERIFY(xml.open(QIODevice::WriteOnly));
        xml.write(kSchemas);
        xml.close();
        QProcess compile;
        compile.start("glib-compile-schemas", {m_schemaDir.path()});
        QVERIFY(compile.waitForFinished(30000));
        QCOMPARE(compile.exitCode(), 0);
    }

    // Only the test's schemas and a store in the private HOME, never the user's settings.
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(m_schemaDir.path()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_noSystemData.path()));
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        return;
    m_xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
    QVERIFY(m_xvfb.waitForStarted(10000));
    QByteArray number;
    while (!number.endsWith('\n') && m_xvfb.waitForReadyRead(20000))
        number += m_xvfb.readAllStandardOutput();
    QVERIFY2(number.endsWith('\n'), "Xvfb did not report its display");
    m_displayName = ':' + number.trimmed();
    m_display = XOpenDisplay(m_displayName.constData());
    QVERIFY(m_display);
}

void TestSorvane::cleanupTestCase()
{
    if (m_display)
        XCloseDisplay(m_display);
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000))
            m_xvfb.kill();
        m_xvfb.waitForFinished(5000);
    }
    m_library.unload();
}

void TestSorvane::init()
{
    m_env = new TestEnv;
    if (m_display)
        clearActive();
}

void TestSorvane::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

int TestSorvane::call(const char *host, const char *sub, const char *ps)
{
    return m_fn(host, sub, ps, 0, nullptr);
}

Window TestSorvane::makeWindow(const char *instance, const char *windowClass, long pid,
                               const char *machine)
{
    const Window window =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 10, 10, 0, 0, 0);
    if (instance || windowClass) {
        XClassHint hint;
        hint.res_name = const_cast<char *>(instance ? instance : "");
        hint.res_class = const_cast<char *>(windowClass ? windowClass : "");
        XSetClassHint(m_display, window, &hint);
    }
    if (pid) {
        unsigned long value = static_cast<unsigned long>(pid);
        XChangeProperty(m_display, window, XInternAtom(m_display, "_NET_WM_PID", False),
                        XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char *>(&value),
                        1);
    }
    if (machine) {
        XChangeProperty(m_display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(machine), int(strlen(machine)));
    }
    XMapWindow(m_display, window);
    XSync(m_display, False);
    return window;
}

void TestSorvane::setActive(Window window)
{
    const Atom active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    unsigned long value = window;
    XChangeProperty(m_display, DefaultRootWindow(m_display), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&value), 1);
    XSync(m_display, False);
}

void TestSorvane::setStacking(const QVector<Window> &bottomToTop)
{
    QVector<unsigned long> values;
    for (Window w : bottomToTop)
        values << w;
    XChangeProperty(m_display, DefaultRootWindow(m_display),
                    XInternAtom(m_display, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(values.data()),
                    values.size());
    XSync(m_display, False);
}

void TestSorvane::clearActive()
{
    for (const char *name : {"_NET_ACTIVE_WINDOW", "_NET_CLIENT_LIST_STACKING"})
        XDeleteProperty(m_display, DefaultRootWindow(m_display),
                        XInternAtom(m_display, name, False));
    XSync(m_display, False);
}

// A process the kernel knows by that name, running "on" the given display.
QProcess *TestSorvane::startNamedProcess(const QString &name, const QByteArray &display)
{
    const QString program = m_env->path(name);
    QFile::copy("/bin/sleep", program);
    auto *process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromLatin1(display));
    process->setProcessEnvironment(env);
    process->start(program, {"60"});
    process->waitForStarted(10000);
    return process;
}

QString TestSorvane::keyFile() const
{
    return m_env->path("config/glib-2.0/settings/keyfile");
}

void TestSorvane::exportsOnlyItsFunction()
{
    if (QStandardPaths::findExecutable("nm").isEmpty())
        QSKIP("needs nm (binutils)");
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", m_library.fileName()});
    QVERIFY(nm.waitForFinished(30000));
    QCOMPARE(nm.exitCode(), 0);
    QStringList symbols;
    for (const QString &line : QString::fromLatin1(nm.readAllStandardOutput()).split('\n')) {
        const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
        if (parts.size() == 3 && parts[1] != "A") // skip version-definition entries
            symbols << parts[2];
    }
    QCOMPARE(symbols, QStringList{"SV_FontSoftInteractionOfName"});
}

void TestSorvane::emptyNames_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("sub");
    QTest::addColumn<QByteArray>("ps");
    QTest::addColumn<int>("code");
    const QByteArray null, empty("");
    QTest::newRow("empty family") << empty << QByteArray("Bold") << QByteArray("X-Bold") << 22;
    QTest::newRow("null family") << null << QByteArray("Bold") << QByteArray("X-Bold") << 22;
    QTest::newRow("all empty: family first") << empty << empty << empty << 22;
    QTest::newRow("empty style") << QByteArray("X") << empty << QByteArray("X-Bold") << 23;
    QTest::newRow("null style before empty ps") << QByteArray("X") << null << empty << 23;
    QTest::newRow("empty ps") << QByteArray("X") << QByteArray("Bold") << empty << 24;
    QTest::newRow("null ps") << QByteArray("X") << QByteArray("Bold") << null << 24;
}

void TestSorvane::emptyNames()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, sub);
    QFETCH(QByteArray, ps);
    QFETCH(int, code);
    // A supported application in front must not change the answer.
    if (m_display)
        setActive(makeWindow("gedit", "Gedit"));
    ScopedEnv display("DISPLAY", m_displayName.isEmpty() ? QByteArray() : m_displayName);
    QCOMPARE(call(host.isNull() ? nullptr : host.constData(),
                  sub.isNull() ? nullptr : sub.constData(), ps.isNull() ? nullptr : ps.constData()),
             code);
    QVERIFY(!QFile::exists(keyFile()));
}

void TestSorvane::inexpressibleFamily()
{
    QCOMPARE(call("Alpha, Beta", "Bold", "Alpha-Bold"), 28);
    QCOMPARE(call("Alpha\xff", "Bold", "Alpha-Bold"), 28);
}

void TestSorvane::withoutDisplay_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("unreachable") << QByteArray(":31999");
}

void TestSorvane::withoutDisplay()
{
    QFETCH(QByteArray, display);
    ScopedEnv env("DISPLAY", display);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 21);
}

void TestSorvane::noActiveWindow()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    ScopedEnv display("DISPLAY", m_displayName);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 21); // property absent

    setActive(None);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 21);

    // A window that closed after it was marked active: no crash, and nothing to set.
    const Window gone = makeWindow("gedit", "Gedit");
    setActive(gone);
    XDestroyWindow(m_display, gone);
    XSync(m_display, False);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 21);
    QVERIFY(!QFile::exists(keyFile()));
}

void TestSorvane::setsFontInApplication_data()
{
    QTest::addColumn<QByteArray>("instance");
    QTest::addColumn<QByteArray>("windowClass");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("fontKey");
    QTest::addColumn<QString>("switchKey");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QByteArray>("family");
    QTest::addColumn<QByteArray>("style");
    QTest::addColumn<QString>("stored");

    const QString gedit = "org/gnome/gedit/preferences/editor";
    QTest::newRow("gedit keeps its size")
        << QByteArray("gedit") << QByteArray("Gedit") << gedit << "editor-font"
        << "use-default-font"
        << "'Monospace 15'" << QByteArray("DejaVu Sans") << QByteArray("Bold")
        << "'DejaVu Sans, Bold 15'";
    QTest::newRow("gedit without a size")
        << QByteArray("gedit") << QByteArray("Gedit") << gedit << "editor-font"
        << "use-default-font"
        << "'Monospace'" << QByteArray("Tessaly 2020") << QByteArray("Regular")
        << "'Tessaly 2020, 12'";
    QTest::newRow("text editor default size")
        << QByteArray("gnome-text-editor") << QByteArray("Gnome-text-editor")
        << "org/gnome/TextEditor"
        << "custom-font"
        << "use-system-font" << QString() << QByteArray("文泉驿微米黑") << QByteArray("常规")
        << QString::fromUtf8("'文泉驿微米黑, 11'");
    QTest::newRow("mousepad fractional size")
        << QByteArray("mousepad") << QByteArray("Mousepad") << "org/xfce/mousepad/preferences/view"
        << "font-name"
        << "use-default-monospace-font"
        << "'Sans Italic 10.5 @wght=300'" << QByteArray("Noto Serif")
        << QByteArray("SemiBold Italic") << "'Noto Serif, Semi-Bold Italic 10.5'";
    QTest::newRow("terminal default profile")
        << QByteArray("gnome-terminal-server") << QByteArray("Gnome-terminal")
        << QString("org/gnome/terminal/legacy/profiles:/:") + kTerminalProfile << "font"
        << "use-system-font" << QString() << QByteArray("Liberation Mono")
        << QByteArray("Bold Italic") << "'Liberation Mono, Bold Italic 12'";
}

void TestSorvane::setsFontInApplication()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        QSKIP("needs gsettings (libglib2.0-bin)");
    QFETCH(QByteArray, instance);
    QFETCH(QByteArray, windowClass);
    QFETCH(QString, group);
    QFETCH(QString, fontKey);
    QFETCH(QString, switchKey);
    QFETCH(QString, preset);
    QFETCH(QByteArray, family);
    QFETCH(QByteArray, style);
    QFETCH(QString, stored);

    if (!preset.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(keyFile()).path()));
        QFile f(keyFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString("[%1]\n%2=%3\n").arg(group, fontKey, preset).toUtf8());
    }
    setActive(makeWindow(instance.constData(), windowClass.constData()));
    ScopedEnv display("DISPLAY", m_displayName);

    QCOMPARE(call(family.constData(), style.constData(), "Any-PSName"), 0);
    QCOMPARE(storedValue(keyFile(), group, fontKey), stored);
    QCOMPARE(storedValue(keyFile(), group, switchKey), QString("false"));
}

void TestSorvane::unsupportedApplication_data()
{
    QTest::addColumn<QByteArray>("instance");
    QTest::addColumn<QByteArray>("windowClass");
    QTest::newRow("other application") << QByteArray("firefox-esr") << QByteArray("Firefox-esr");
    QTest::newRow("terminal preferences")
        << QByteArray("gnome-terminal-preferences") << QByteArray("Gnome-terminal-preferences");
    QTest::newRow("no WM_CLASS") << QByteArray() << QByteArray();
}

void TestSorvane::unsupportedApplication()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    QFETCH(QByteArray, instance);
    QFETCH(QByteArray, windowClass);
    setActive(makeWindow(instance.isNull() ? nullptr : instance.constData(),
                         windowClass.isNull() ? nullptr : windowClass.constData()));
    ScopedEnv display("DISPLAY", m_displayName);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 25);
    QVERIFY(!QFile::exists(keyFile()));
}

void TestSorvane::settingsUnreachable()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    ScopedEnv display("DISPLAY", m_displayName);
    setActive(makeWindow("gedit", "Gedit"));
    {
        // The application's schema is not installed.
        QTemporaryDir empty;
        ScopedEnv schemas("GSETTINGS_SCHEMA_DIR", QFile::encodeName(empty.path()));
        QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 27);
    }
    {
        // No settings tool at all.
        QTemporaryDir empty;
        ScopedEnv path("PATH", QFile::encodeName(empty.path()));
        QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 27);
    }
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        QSKIP("needs gsettings (libglib2.0-bin)");
    {
        // A default profile id that is not one must not become part of a settings path.
        QVERIFY(QDir().mkpath(QFileInfo(keyFile()).path()));
        QFile f(keyFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[org/gnome/terminal/legacy/profiles:]\ndefault='../../gedit'\n");
        f.close();
        setActive(makeWindow("gnome-terminal-server", "Gnome-terminal"));
        QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 27);
    }
    QVERIFY(storedValue(keyFile(), "org/gnome/gedit/preferences/editor", "editor-font").isEmpty());
}

void TestSorvane::writeNotConfirmed()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        QSKIP("needs gsettings (libglib2.0-bin)");
    // The store cannot be written (its file is a folder, which stops root too): the tool may
    // keep the value in memory, but a separate reader does not see it.
    QVERIFY(QDir().mkpath(keyFile()));
    setActive(makeWindow("gedit", "Gedit"));
    ScopedEnv display("DISPLAY", m_displayName);
    QCOMPARE(call("DejaVu Sans", "Bold", "DejaVuSans-Bold"), 26);
}

void TestSorvane::findsApplicationInUse_data()
{
    // Windows from the bottom of the stack to the top, the top one active, each "app:flag":
    // own (the calling process), hidden (unmapped), gone (destroyed), far (the caller's pid
    // on another machine). No windows: no window manager, and the programs running by name
    // ("name@other": on another display) decide.
    QTest::addColumn<QStringList>("stack");
    QTest::addColumn<QStringList>("processes");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("setIn"); // gedit, mousepad or neither
    const QStringList none;
    QTest::newRow("own window on top, editor below")
        << QStringList{"mousepad", "gedit", "quillora:own"} << none << 0 << "gedit";
    QTest::newRow("own window and its dialog skipped")
        << QStringList{"mousepad", "quillora:own", "quillora:own"} << none << 0 << "mousepad";
    QTest::newRow("minimised editor passed over")
        << QStringList{"mousepad", "gedit:hidden", "quillora:own"} << none << 0 << "mousepad";
    QTest::newRow("closed editor passed over")
        << QStringList{"mousepad", "gedit:gone", "quillora:own"} << none << 0 << "mousepad";
    QTest::newRow("same pid on another machine is not ours")
        << QStringList{"mousepad", "gedit:far"} << none << 0 << "gedit";
    QTest::newRow("unsupported application below")
        << QStringList{"firefox", "quillora:own"} << none << 25 << "";
    QTest::newRow("only own window")
        << QStringList{"quillora:own"} << QStringList{"gedit"} << 21 << "";
    QTest::newRow("no manager, one editor running")
        << none << QStringList{"mousepad", "bash"} << 0 << "mousepad";
    QTest::newRow("no manager, nothing running") << none << none << 21 << "";
    QTest::newRow("no manager, editor on another display")
        << none << QStringList{"mousepad@other"} << 21 << "";
    QTest::newRow("no manager, two applications: no guess")
        << none << QStringList{"mousepad", "gedit"} << 25 << "";
}

void TestSorvane::findsApplicationInUse()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        QSKIP("needs gsettings (libglib2.0-bin)");
    QFETCH(QStringList, stack);
    QFETCH(QStringList, processes);
    QFETCH(int, code);
    QFETCH(QString, setIn);

    QVector<Window> windows, gone;
    for (const QString &entry : stack) {
        const QByteArray app = entry.section(':', 0, 0).toLatin1();
        const QString flag = entry.section(':', 1);
        const bool ourPid = flag == "own" || flag == "far";
        windows << makeWindow(app, app, ourPid ? long(QCoreApplication::applicationPid()) : 0,
                              flag == "far" ? "elsewhere.example" : nullptr);
        if (flag == "hidden")
            XUnmapWindow(m_display, windows.last());
        if (flag == "gone")
            gone << windows.last();
    }
    if (!windows.isEmpty()) {
        setStacking(windows);
        setActive(windows.last());
    }
    for (Window w : gone)
        XDestroyWindow(m_display, w);
    XSync(m_display, False);
    std::vector<std::unique_ptr<QProcess>> running;
    for (const QString &entry : processes) {
        running.emplace_back(startNamedProcess(entry.section('@', 0, 0),
                                               entry.contains('@') ? ":31998" : m_displayName));
        QCOMPARE(running.back()->state(), QProcess::Running);
    }
    ScopedEnv display("DISPLAY", m_displayName);

    QCOMPARE(call("DejaVu Serif", "Italic", "DejaVuSerif-Italic"), code);
    QCOMPARE(storedValue(keyFile(), "org/gnome/gedit/preferences/editor", "editor-font").isEmpty(),
             setIn != "gedit");
    QCOMPARE(storedValue(keyFile(), "org/xfce/mousepad/preferences/view", "font-name").isEmpty(),
             setIn != "mousepad");
    for (auto &p : running) {
        p->kill();
        p->waitForFinished(5000);
    }
}

void TestSorvane::applicationNotReached_data()
{
    QTest::addColumn<QByteArray>("windowClass");
    QTest::addColumn<QString>("installed"); // program placed on PATH, "" for none
    QTest::addColumn<int>("code");
    QTest::newRow("inkscape not on the bus") << QByteArray("Inkscape") << "inkscape" << 11;
    QTest::newRow("inkscape not installed") << QByteArray("Inkscape") << "" << 10;
    QTest::newRow("gimp not on the bus") << QByteArray("Gimp") << "gimp" << 15;
    QTest::newRow("gimp not installed") << QByteArray("Gimp") << "" << 14;
}

void TestSorvane::applicationNotReached()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    QFETCH(QByteArray, windowClass);
    QFETCH(QString, installed);
    QFETCH(int, code);
    QTemporaryDir bin;
    QFile::link(QStandardPaths::findExecutable("gdbus"), bin.filePath("gdbus")); // if it is there
    if (!installed.isEmpty())
        QVERIFY(QFile::link("/bin/true", bin.filePath(installed)));
    ScopedEnv path("PATH", QFile::encodeName(bin.path()));
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS",
                  "unix:path=" + QFile::encodeName(bin.filePath("no-bus")));
    ScopedEnv display("DISPLAY", m_displayName);
    setActive(makeWindow(windowClass.toLower().constData(), windowClass.constData()));
    QCOMPARE(call("DejaVu Serif", "Bold", "DejaVuSerif-Bold"), code);
}

namespace {

// One action of the running Inkscape, as a user's script would call it.
bool inkscapeAction(const QString &action, const QString &parameter = QString())
{
    QProcess gdbus;
    gdbus.start("gdbus", {"call", "--session", "--dest", "org.inkscape.Inkscape", "--object-path",
                          "/org/inkscape/Inkscape", "--method", "org.gtk.Actions.Activate", action,
                          parameter.isEmpty() ? "[]" : "[<" + parameter + ">]", "{}"});
    return gdbus.waitForFinished(10000) && gdbus.exitCode() == 0;
}

QString inkscapeExport(const QString &file)
{
    QFile::remove(file);
    if (!inkscapeAction("export-filename", "'" + file + "'") ||
        !inkscapeAction("export-type", "'svg'") || !inkscapeAction("export-plain-svg", "true") ||
        !inkscapeAction("export-do"))
        return {};
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

void TestSorvane::inkscapeLive()
{
    if (!m_display)
        QSKIP("needs Xvfb");
    for (const char *program : {"inkscape", "dbus-daemon", "gdbus"})
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(
                QString("no %1 here (Inkscape not installed?): live check skipped").arg(program)));
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                              "--address=unix:tmpdir=" + m_env->home()});
    QVERIFY(bus.waitForStarted(10000) && bus.waitForReadyRead(10000));
    ScopedEnv busEnv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
    ScopedEnv display("DISPLAY", m_displayName);

    const QString document = m_env->path("poster.svg");
    QFile svg(document);
    QVERIFY(svg.open(QIODevice::WriteOnly));
    svg.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="200">)"
              R"(<text id="title" x="20" y="80" style="font-family:'DejaVu Sans';font-size:40px">)"
              R"(<tspan id="line" x="20" y="80">Headline</tspan></text></svg>)");
    svg.close();
    QProcess inkscape;
    // Inkscape needs the system's schemas, which the rest of this test hides.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("GSETTINGS_SCHEMA_DIR");
    env.insert("GSETTINGS_BACKEND", "memory");
    env.insert("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    inkscape.setProcessEnvironment(env);
    const auto stop = qScopeGuard([&] {
        inkscape.kill();
        inkscape.waitForFinished(10000);
        bus.kill();
        bus.waitForFinished(5000);
    });
    inkscape.start("inkscape", {document});
    bool up = false;
    for (int i = 0; i < 180 && !up && inkscape.waitForStarted(10000); ++i) {
        QThread::msleep(500);
        up = inkscapeExport(m_env->path("before.svg")).contains("Headline");
    }
    QVERIFY2(up, "Inkscape did not open the document on the private bus");

    // Nothing selected: nothing is set, and that is no success.
    QCOMPARE(call("DejaVu Serif", "Bold Italic", "DejaVuSerif-BoldItalic"), 12);
    QVERIFY(inkscapeExport(m_env->path("before.svg")).contains("font-family:'DejaVu Sans'"));

    QVERIFY(inkscapeAction("select-by-id", "'title'"));
    QCOMPARE(call("DejaVu Serif", "Bold Italic", "DejaVuSerif-BoldItalic"), 0);
    const QString after = inkscapeExport(m_env->path("after.svg"));
    QVERIFY2(after.contains("font-family:'DejaVu Serif'") && after.contains("font-weight:bold") &&
                 after.contains("font-style:italic"),
             qPrintable(after));
    QVERIFY2(!after.contains("sorvane"), "the read-back mark stayed in the document");
}

QTEST_GUILESS_MAIN(TestSorvane)
#include "tst_sorvane.moc"
