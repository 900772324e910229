// Extracts the same archives of real font files with extractArchive and with
// Info-ZIP unzip, alternating, and prints the median times and their ratio.
//
//     bench_extract [ROUNDS] [FONT_DIR]
#include "zipextract/extractarchive.h"
#include "zipextract/zipwriter.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

namespace {

void removeTree(const QString &path)
{
    ::nftw(
        QFile::encodeName(path).constData(),
        [](const char *p, const struct stat *, int, struct FTW *) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

QByteArray treeDigest(const QString &root, int *files)
{
    QStringList paths;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &path : qAsConst(paths)) {
        hash.addData(QDir(root).relativeFilePath(path).toUtf8());
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            hash.addData(&f);
    }
    *files = paths.size();
    return hash.result().toHex().left(16);
}

// Runs extractArchive with its per-file lines sent to /dev/null, as unzip's are.
double timeExtractArchive(const QString &archive, const QString &target, const QString &password)
{
    QDir().mkpath(target);
    const QString cwd = QDir::currentPath();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, STDOUT_FILENO);
    QElapsedTimer timer;
    timer.start();
    const bool ok = extractArchive(archive, target, password);
    std::fflush(stdout);
    const double ms = timer.nsecsElapsed() / 1e6;
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(devnull);
    QDir::setCurrent(cwd);
    if (!ok) {
        std::fprintf(stderr, "extractArchive failed on %s\n", qPrintable(archive));
        std::exit(1);
    }
    return ms;
}

double timeUnzip(const QString &archive, const QString &target, const QString &password)
{
    QStringList args{"-o"};
    if (!password.isEmpty())
        args << "-P" << password;
    args << archive << "-d" << target;
    QProcess unzip;
    unzip.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    unzip.start("unzip", args);
    if (!unzip.waitForFinished(-1) || unzip.exitCode() != 0) {
        std::fprintf(stderr, "unzip failed on %s\n", qPrintable(archive));
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e6;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const QString fontDir =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/usr/share/fonts");
    if (QStandardPaths::findExecutable("unzip").isEmpty()) {
        std::fprintf(stderr, "bench_extract: Info-ZIP unzip is needed\n");
        return 1;
    }

    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    const QString password = QStringLiteral("0f3a9c1e5b7d2468ace0bdf13579ace0");
    const QString plain = tmp.filePath("fonts.zip");
    const QString protectedZip = tmp.filePath("fonts-protected.zip");
    qint64 bytes = 0;
    int count = 0;
    {
        ZipWriter a(plain);
        ZipWriter b(protectedZip, password);
        QDirIterator it(fontDir, {"*.ttf", "*.otf", "*.ttc"}, QDir::Files,
                        QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString &path : qAsConst(files)) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QByteArray data = f.readAll();
            const QByteArray name = "fonts/" + QDir(fontDir).relativeFilePath(path).toUtf8();
            if (!a.addFile(name, data) || !b.addFile(name, data))
                return 1;
            bytes += data.size();
            ++count;
        }
        if (!a.close() || !b.close() || count == 0) {
            std::fprintf(stderr, "bench_extract: no archive built from %s\n", qPrintable(fontDir));
            return 1;
        }
    }
    std::printf("payload: %d font files from %s, %.1f MB; archives %.1f MB (plain), %.1f MB "
                "(protected); %d rounds, median\n",
                count, qPrintable(fontDir), bytes / 1e6, QFileInfo(plain).size() / 1e6,
                QFileInfo(protectedZip).size() / 1e6, rounds);

    for (const auto &[archive, pw, label] :
         {std::make_tuple(plain, QString(), "no password"),
          std::make_tuple(protectedZip, password, "password   ")}) {
        const QString a = tmp.filePath("out-extract"), b = tmp.filePath("out-unzip");
        // Warm-up round, also checking that both produce the same tree.
        timeExtractArchive(archive, a, pw);
        timeUnzip(archive, b, pw);
        int filesA = 0, filesB = 0;
        if (treeDigest(a, &filesA) != treeDigest(b, &filesB) || filesA != count) {
            std::fprintf(stderr, "bench_extract: outputs differ (%d vs %d files)\n", filesA,
                         filesB);
            return 1;
        }
        QVector<double> ours, theirs;
        for (int r = 0; r < rounds; ++r) {
            removeTree(a);
            removeTree(b);
            ours << timeExtractArchive(archive, a, pw);
            theirs << timeUnzip(archive, b, pw);
        }
        removeTree(a);
        removeTree(b);
        const double x = median(ours), y = median(theirs);
        std::printf("%s  extractArchive %8.1f ms   unzip %8.1f ms   ratio %.3f\n", label, x, y,
                    x / y);
    }
    return 0;
}
