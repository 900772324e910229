// Times the details dialog of one font file: reading it (names, character map, coverage),
// and the dialog made, shown and painted, then its character tab painted and scrolled a
// page at a time. In the same run it times fontconfig's fc-query on the same file.
// Prints medians of wall time and of processor time (this thread for the dialog, the
// child for fc-query), since the machine may be busy.
//
//   bench_details [FILE] [--rounds N]   (FILE: the first of a few large CJK fonts found)

#include "cards/cardactions.h"
#include "core/screenmetrics.h"
#include "details/chargrid.h"
#include "details/detailsdlg.h"
#include "fonts/fontdetails.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Sample
{
    double wall = 0;
    double cpu = 0;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print(const char *what, const std::vector<Sample> &samples)
{
    std::vector<double> wall, cpu;
    for (const Sample &s : samples) {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    std::printf("%-34s wall %8.1f ms (worst %7.1f)   cpu %8.1f ms\n", what, median(wall),
                *std::max_element(wall.begin(), wall.end()), median(cpu));
}

Sample timeThis(const std::function<void()> &work, bool childCpu = false)
{
    QElapsedTimer clock;
    const double cpu0 = childCpu ? childrenCpuMs() : threadCpuMs();
    clock.start();
    work();
    const double wall = clock.nsecsElapsed() / 1e6;
    return {wall, (childCpu ? childrenCpuMs() : threadCpuMs()) - cpu0};
}

QString defaultFont()
{
    for (const char *path : {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
                             "/usr/share/fonts/truetype/cwtex/cwming.ttf",
                             "/usr/share/fonts/truetype/arphic-gkai00mp/gkai00mp.ttf"})
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    // Private home and folders: the dialog reads nothing of the user's.
    QTemporaryDir home;
    for (const char *name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int rounds = 15;
    const int r = args.indexOf(QStringLiteral("--rounds"));
    if (r >= 0 && r + 1 < args.size()) {
        rounds = qMax(1, args.at(r + 1).toInt());
        args.erase(args.begin() + r, args.begin() + r + 2);
    }
    const QString file = args.isEmpty() ? defaultFont() : args.first();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        std::fputs("usage: bench_details [FILE] [--rounds N]\n", stderr);
        return 2;
    }
    setScreenMetrics(QRect(0, 0, 1920, 1080), 1);

    std::vector<Sample> readCold, reads, opens, charTabs, scrolls, fcQuery;
    FontDetails::Details details;
    readCold.push_back(timeThis([&] { details = FontDetails::read(file); }));
    if (!details.ok) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(file), qPrintable(details.error));
        return 1;
    }
    CardActions card;
    card.name = details.family.preferred();
    card.file = file;
    int painted = 0;
    int scrollSteps = 0;
    for (int round = 0; round < rounds; ++round) {
        reads.push_back(timeThis([&] { FontDetails::read(file); }));
        DetailsDlg *dlg = nullptr;
        opens.push_back(timeThis([&] {
            dlg = new DetailsDlg(nullptr, card, std::nullopt, QStringLiteral("永和九年，岁在癸丑"));
            dlg->show();
            dlg->grab();
        }));
        charTabs.push_back(timeThis([&] {
            dlg->tabs()->setCurrentIndex(2);
            dlg->grab();
        }));
        CharGrid *grid = dlg->charGrid();
        QScrollBar *bar = grid->verticalScrollBar();
        scrollSteps = 0;
        const Sample scroll = timeThis([&] {
            for (int v = 0; v <= bar->maximum() && scrollSteps < 100; v += bar->pageStep()) {
                bar->setValue(v);
                grid->viewport()->grab();
                ++scrollSteps;
            }
        });
        scrolls.push_back({scroll.wall / scrollSteps, scroll.cpu / scrollSteps});
        painted = grid->paintedCells();
        delete dlg;

        const QString fcQueryPath = QStandardPaths::findExecutable(QStringLiteral("fc-query"));
        if (!fcQueryPath.isEmpty()) {
            fcQuery.push_back(timeThis(
                [&] {
                    QProcess p;
                    p.start(fcQueryPath, {file});
                    p.waitForFinished(-1);
                },
                true));
        }
    }

    std::printf("file %s: %lld bytes, %d glyphs, %zu characters, rounds %d\n", qPrintable(file),
                details.fileSize, details.glyphCount, details.characters.size(), rounds);
    print("read, first (sets built)", readCold);
    print("read", reads);
    print("dialog made, shown, painted", opens);
    print("character tab painted", charTabs);
    std::printf("%-34s cells per frame %d, %d frames per round\n", "character grid scroll, a page",
                painted, scrollSteps);
    print("  per frame", scrolls);
    if (!fcQuery.empty())
        print("fc-query (process, same file)", fcQuery);
    return 0;
}
