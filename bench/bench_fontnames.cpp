// Reads the names of every ttf/otf file under a folder tree and, in the same run,
// times fc-scan on the same files. Prints files per second for both and the ratio.
//
//   bench_fontnames [DIR] [--rounds N]      (DIR defaults to /usr/share/fonts)

#include "fonts/fontnamereader.h"
#include "fonts/localfontscan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace {

// Keeps fc-scan's command lines well inside the kernel's argument limit.
constexpr int kFilesPerFcScan = 200;

qint64 readAllNames(const QStringList &files, int *usable)
{
    QElapsedTimer t;
    t.start();
    int n = 0;
    for (const QString &path : files) {
        if (FontNameReader::readFileNames(path).complete())
            ++n;
    }
    const qint64 ns = t.nsecsElapsed();
    if (usable)
        *usable = n;
    return ns;
}

// -1 when fc-scan could not be run.
qint64 runFcScan(const QString &fcScan, const QStringList &files, int *faces)
{
    QElapsedTimer t;
    t.start();
    int lines = 0;
    for (int i = 0; i < files.size(); i += kFilesPerFcScan) {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(fcScan, QStringList{"--format", "%{family}\t%{style}\t%{postscriptname}\n"} +
                            files.mid(i, kFilesPerFcScan));
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
            return -1;
        lines += p.readAllStandardOutput().count('\n');
    }
    const qint64 ns = t.nsecsElapsed();
    if (faces)
        *faces = lines;
    return ns;
}

double perSecond(int files, qint64 ns)
{
    return ns > 0 ? files * 1e9 / double(ns) : 0.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int rounds = 5;
    const int r = args.indexOf("--rounds");
    if (r >= 0 && r + 1 < args.size()) {
        rounds = qMax(1, args.at(r + 1).toInt());
        args.erase(args.begin() + r, args.begin() + r + 2);
    }
    const QString root = args.isEmpty() ? QStringLiteral("/usr/share/fonts") : args.first();
    const QStringList files = fontFilesIn({root});
    if (files.isEmpty()) {
        std::fprintf(stderr, "bench_fontnames: no ttf/otf files under %s\n", qPrintable(root));
        return 1;
    }
    const QString fcScan = QStandardPaths::findExecutable("fc-scan");
    if (fcScan.isEmpty()) {
        std::fprintf(stderr, "bench_fontnames: fc-scan not found\n");
        return 1;
    }

    // One untimed pass each so both read from the page cache.
    int usable = 0, faces = 0;
    readAllNames(files, &usable);
    if (runFcScan(fcScan, files, &faces) < 0) {
        std::fprintf(stderr, "bench_fontnames: fc-scan failed\n");
        return 1;
    }

    // Best of N rounds for each, interleaved so both see the same machine load.
    qint64 ours = -1, theirs = -1;
    for (int i = 0; i < rounds; ++i) {
        const qint64 a = readAllNames(files, nullptr);
        const qint64 b = runFcScan(fcScan, files, nullptr);
        if (ours < 0 || a < ours)
            ours = a;
        if (b >= 0 && (theirs < 0 || b < theirs))
            theirs = b;
    }

    const double oursRate = perSecond(files.size(), ours);
    const double theirRate = perSecond(files.size(), theirs);
    std::printf("folder            %s\n", qPrintable(root));
    std::printf("files             %d (usable fonts %d; fc-scan faces %d)\n", int(files.size()),
                usable, faces);
    std::printf("rounds            %d (best of each)\n", rounds);
    std::printf("name reader       %.3f ms  %.0f files/s\n", ours / 1e6, oursRate);
    std::printf("fc-scan           %.3f ms  %.0f files/s\n", theirs / 1e6, theirRate);
    std::printf("ratio             %.1fx fc-scan's throughput\n",
                theirRate > 0 ? oursRate / theirRate : 0.0);
    return 0;
}
