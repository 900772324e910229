#include "updater/updaterules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/ownfolder.h"

int downloadPercent(qint64 received, qint64 total)
{
    if (total == 0 || received < 0 || received > total)
        return 0;
    return int(double(received) * 0.9 * 100 / double(total));
}

int copyProgressValue(double fraction)
{
    // NaN fails both comparisons and ends up at the start of the copy's range.
    if (!(fraction >= 0.0))
        fraction = 0.0;
    if (fraction > 1.0)
        fraction = 1.0;
    return int(fraction * (1 - 0.9) * 100 + 0.9 * 100);
}

QString quoteBlanks(const QString &path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char(' '), QStringLiteral("\" \""));
    return quoted;
}

QString packageFileName(const QUrl &url)
{
    const QString name = url.fileName(QUrl::FullyDecoded);
    const bool unsafe = name.isEmpty() || name == QLatin1String(".") ||
                        name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
                        name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':')) ||
                        name.contains(QChar(0));
    return unsafe ? QStringLiteral("update.zip") : name;
}

QStringList argumentsFromUtf8(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);
    return arguments;
}

bool ensurePrivateDirectory(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    bool created = false;
    if (!QFileInfo::exists(clean)) {
        if (!QDir().mkpath(clean))
            return false;
        created = true;
    }
    if (!isOwnWritableFolder(clean))
        return false;
    // Only the owner may see or change what is unpacked there.
    if (created)
        QFile::setPermissions(clean, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QFile::Permissions others = QFile::WriteGroup | QFile::WriteOther;
    return !(QFile::permissions(clean) & others) ||
           QFile::setPermissions(clean, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool emptyDirectory(const QString &path)
{
    QDir dir(path);
    if (!dir.exists())
        return false;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    bool ok = true;
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            ok = QDir(entry.filePath()).removeRecursively() && ok;
        else
            ok = QFile::remove(entry.filePath()) && ok;
    }
    return ok && dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

namespace {
std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}
} // namespace

bool replaceFile(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(nativePath(from), nativePath(to), error);
    return !error;
}
