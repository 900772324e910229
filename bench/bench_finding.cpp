// Times finding fonts in the main window over the development service's synthetic
// catalogue, built in-process: a search per query and a tag selection of one and of
// three tags, each from the typed text or the tick to the refilled cloud page model.
//
//   bench_finding [--fonts N] [--rounds N]      (8000 fonts, 50 rounds)

#include "cards/cardmodel.h"
#include "devserver/catalogue.h"
#include "finding/filterdlg.h"
#include "window/mainwindow.h"
#include "finding/mtreewidget.h"
#include "core/screenmetrics.h"
#include "finding/searchbox.h"
#include "service/transport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

struct Figures
{
    double cpuMedian = 0; // this thread's processor time: steady on a busy machine
    double wallMedian = 0;
    double wallWorst = 0;
};

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

// Milliseconds of `step`, after `prepare` (untimed), over the rounds.
Figures timeIt(int rounds, const std::function<void()> &prepare, const std::function<void()> &step)
{
    QVector<double> cpu, wall;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        const double c0 = threadCpuMs();
        step();
        cpu.append(threadCpuMs() - c0);
        wall.append(t.nsecsElapsed() / 1e6);
    }
    return {median(cpu), median(wall), *std::max_element(wall.begin(), wall.end())};
}

void printRow(const QString &what, int listed, const Figures &f)
{
    std::printf("%-24s %7d %9.3f %9.3f %9.3f\n", qPrintable(what), listed, f.cpuMedian,
                f.wallMedian, f.wallWorst);
}

// A private home, so the window's files land nowhere real.
void privateHome(const QTemporaryDir &dir)
{
    qputenv("HOME", dir.path().toUtf8());
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (dir.path() + "/" + name).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (dir.path() + "/run").toUtf8());
    QDir(dir.path()).mkpath("run");
    QFile::setPermissions(dir.path() + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    privateHome(home);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Quillora");
    int fonts = 8000;
    int rounds = 50;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--fonts")
            fonts = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = qMax(1, args[i + 1].toInt());
    }

    Catalogue catalogue;
    QString error;
    QStringList warnings;
    if (!catalogue.load(Catalogue::builtinManifest(), &error, &warnings)) {
        std::fprintf(stderr, "bench_finding: %s\n", qPrintable(error));
        return 1;
    }
    catalogue.makeSynthetic(fonts);

    setScreenMetrics(QRect(0, 0, 1920, 1080), 1);
    setServiceUrl(QUrl("https://127.0.0.1:1/")); // nothing answers: the window stays offline
    AppServices services;
    MainWindow window(services);
    FtManager &ft = services.fontManager();
    ft.initCloudVec.clear();
    for (const CatalogueFont &f : catalogue.fonts()) {
        FontAV av;
        av.fontid = f.id;
        av.fontname = f.name;
        av.font_en_name = f.enName;
        av.language = f.language;
        av.provider = f.provider;
        QStringList tags;
        for (int id : f.tags)
            tags.append(QString::number(id));
        av.tagid = tags.join(',');
        ft.cloudFonts.insert(av.fontname, av);
        ft.cloudIndex.insert(av.fontname, ft.initCloudVec.size());
        ft.initCloudVec.append(av.fontname);
    }
    QList<TagGroup> groups;
    for (const CatalogueGroup &g : catalogue.groups()) {
        TagGroup group{g.name, g.type, {}};
        for (const CatalogueTag &t : g.tags)
            group.children.append({t.id, t.name});
        groups.append(group);
    }
    window.findChild<FilterDlg *>()->buildTree(groups);
    services.cards().fillCloudPage();
    const CardModel *cards = services.cards().cloudCards();
    std::printf("catalogue: %d fonts, %d cards\n", int(ft.cloudFonts.size()), cards->rowCount());

    SearchBox *box = window.findChild<SearchBox *>("searchBox");
    std::printf("%-24s %7s %9s %9s %9s   (ms)\n", "search", "listed", "cpu med", "wall med",
                "wall max");
    for (const char *text :
         {"a", "go", "her", "sung", "7", "7999", "文", "宋", "简报", "文鼎宋1"}) {
        const QString query = QString::fromUtf8(text);
        const Figures f = timeIt(
            rounds, [&] { window.onClearSearch(); },
            [&] {
                box->setText(query);
                QTest::keyClick(box, Qt::Key_Return);
            });
        printRow("\"" + query + "\"", cards->rowCount(), f);
    }

    MTreeWidget *tree = window.findChild<FilterDlg *>()->tree();
    const auto tick = [tree](const QString &group, int id) {
        if (MTagCheckBox *b = tree->tagBox(group, id))
            b->click();
    };
    std::printf("%-24s\n", "tag selection");
    const Figures one = timeIt(
        rounds, [&] { tree->resetTags(); }, [&] { tick("language", 1); });
    printRow("language 中文", cards->rowCount(), one);
    const Figures three = timeIt(
        rounds,
        [&] {
            tree->resetTags();
            tick("language", 3);
            tick("provider", 17);
        },
        [&] { tick(QString::fromUtf8("风格"), 103); });
    printRow("日文 + Naver + 黑体", cards->rowCount(), three);
    const Figures back = timeIt(
        rounds, [&] { tick("language", 1); }, [&] { tree->resetTags(); });
    printRow("untick: full list", cards->rowCount(), back);
    return 0;
}
