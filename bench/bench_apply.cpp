// Time from handing a picked, already activated font to libSorvane until the application
// confirms it: LibreOffice Writer and Impress (the suite's UNO bindings, read back from the
// suite) beside the settings-based editor path (gsettings write and read back). A private
// HOME, settings store and headless suite profile; never the user's own.
//
// usage: bench_apply [RUNS]   (default 15; needs LibreOffice, python3-uno and gsettings)
#include "sorvane/officehelper.h"
#include "sorvane/targets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace sorvane;

namespace {
const char kEditorSchema[] = R"(<schemalist>
  <schema id="org.xfce.mousepad.preferences.view" path="/org/xfce/mousepad/preferences/view/">
    <key name="font-name" type="s"><default>'Monospace 10'</default></key>
    <key name="use-default-monospace-font" type="b"><default>true</default></key>
  </schema>
</schemalist>
)";

// Runs fn RUNS times (after one uncounted run) and prints min / median / max in ms.
void timeIt(const char *what, int runs, const std::function<int(int)> &fn)
{
    std::vector<double> ms;
    int failures = 0;
    for (int i = -1; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const int r = fn(i);
        const double elapsed = t.nsecsElapsed() / 1e6;
        if (r != 0)
            ++failures;
        if (i >= 0)
            ms.push_back(elapsed);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s runs %d  min %7.1f  median %7.1f  max %7.1f ms  failed %d\n", what, runs,
                ms.front(), ms[ms.size() / 2], ms.back(), failures);
}

QString fixture(const QString &pipe, const QStringList &args)
{
    QProcess p;
    p.start("/usr/bin/python3", QStringList{OFFICE_FIXTURE, pipe} + args);
    return p.waitForFinished(20000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir home;
    for (const char *v : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(v, home.path().toUtf8());
    const std::string families[] = {"DejaVu Serif", "DejaVu Sans"};

    // The editor path, on a key-file store with the editor's schema compiled here.
    QFile xml(home.filePath("bench.gschema.xml"));
    if (!xml.open(QIODevice::WriteOnly) || xml.write(kEditorSchema) < 0)
        return 1;
    xml.close();
    if (QProcess::execute("glib-compile-schemas", {home.path()}) != 0)
        return 1;
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("GSETTINGS_SCHEMA_DIR", home.path().toUtf8());
    const Target *editor = findTarget("mousepad", "Mousepad");
    timeIt("editor (gsettings)", runs,
           [&](int i) { return applyToTarget(*editor, families[i & 1], "Bold"); });

    // The suite: headless, private profile, a Writer text selection and a selected slide title.
    const QString pipe = QString("quillora_bench_%1").arg(QCoreApplication::applicationPid());
    const QString profile = QUrl::fromLocalFile(home.filePath("profile")).toString();
    QProcess suite;
    suite.start("soffice", {"--headless", "--invisible", "--norestore",
                            "-env:UserInstallation=" + profile,
                            "--accept=pipe,name=" + pipe + ";urp;"});
    QString opened;
    for (int i = 0; i < 60 && opened != "done\n"; ++i) {
        QThread::msleep(500);
        opened = fixture(pipe, {"open"});
    }
    if (opened == "done\n") {
        OfficeLink link = defaultOfficeLink();
        link.pipe = pipe.toStdString();
        timeIt("LibreOffice Writer (UNO helper)", runs, [&](int i) {
            return applyToOffice(link, OfficeApp::Writer, families[i & 1], "Bold");
        });
        timeIt("LibreOffice Impress (UNO helper)", runs, [&](int i) {
            return applyToOffice(link, OfficeApp::Impress, families[i & 1], "Bold");
        });
        // A pick that finds connections off: the failed try, switching on, the retry.
        qputenv("UserInstallation", profile.toUtf8());
        link.pipe += "_late";
        timeIt("Writer, first pick after start", 1, [&](int i) {
            if (i < 0)
                return 0;
            if (applyToOffice(link, OfficeApp::Writer, families[0], "Bold") != 3)
                return 1;
            QProcess::execute("soffice", {QString::fromStdString("--accept=pipe,name=" + link.pipe +
                                                                 ";urp;")});
            return applyToOffice(link, OfficeApp::Writer, families[1], "Bold");
        });
        fixture(pipe, {"quit"});
    } else {
        std::printf("LibreOffice did not start: office figures not measured\n");
    }
    if (!suite.waitForFinished(10000))
        suite.kill();
    return 0;
}
