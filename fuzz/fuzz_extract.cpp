// Feeds arbitrary bytes to extractArchive as an archive file. Everything is
// written below a private folder under the temporary directory, which is
// emptied after each input. Files are limited to 256 KiB, so entries that
// inflate beyond it fail to write as on a full disk; a failed entry must never
// leave its temporary file behind.
#include "zipextract/extractarchive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
QString g_root;
QString g_start; // libFuzzer reads corpus paths relative to where it started

// By bytes, not through QString: entry names need not be valid UTF-8.
void removeTree(const QString &path)
{
    ::nftw(
        QFile::encodeName(path).constData(),
        [](const char *p, const struct stat *, int, struct FTW *) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// The extractor's temporary files, which no outcome may leave behind.
bool holdsTemporaryFile(const QString &path)
{
    static bool found;
    found = false;
    ::nftw(
        QFile::encodeName(path).constData(),
        [](const char *p, const struct stat *, int, struct FTW *ftw) {
            found = found || std::strncmp(p + ftw->base, ".unpacking-", 11) == 0;
            return 0;
        },
        16, FTW_PHYS);
    return found;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *tmp = std::getenv("TMPDIR");
    QByteArray pattern = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/fuzz_extract.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_root = QFile::decodeName(pattern);
    g_start = QDir::currentPath();
    // The extractor reports on standard output; keep libFuzzer's log readable.
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0)
        ::dup2(devnull, STDOUT_FILENO);
    std::atexit([] { removeTree(g_root); });
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString archive = g_root + "/in.zip";
    const QString out = g_root + "/out";
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QDir().mkpath(out);
    // Seeds are protected with "pw"; plain entries ignore it.
    extractArchive(archive, out, QStringLiteral("pw"));
    QDir::setCurrent(g_start);
    if (holdsTemporaryFile(out)) {
        std::fprintf(stderr, "a temporary file was left behind\n");
        std::abort();
    }
    removeTree(out);
    // Nothing may appear beside the two expected names.
    const QStringList left =
        QDir(g_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (left != QStringList{"in.zip"}) {
        std::fprintf(stderr, "written outside the target: %s\n", qPrintable(left.join(' ')));
        std::abort();
    }
    return 0;
}
