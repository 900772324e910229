#include "core/installjournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#endif

const char *const kInstallPartSuffix = ".vantorel-part";
const char *const kInstallAsideSuffix = ".vantorel-old";

namespace {
const char *const kStateCopying = "copying";
const char *const kStateInstalled = "installed";

QString lockPath(const QString &installDir)
{
    return installDir + QStringLiteral("/.vantorel-lock");
}

bool isPresent(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool removeIfPresent(const QString &path)
{
    return !isPresent(path) || QFile::remove(path);
}

// Moves `from` over `to` in one step, replacing a file already there.
bool moveOver(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) ==
           0;
#endif
}

// Paths in the journal stay inside the program folder.
bool isInside(const QString &relative)
{
    const QString clean = QDir::cleanPath(relative);
    return !clean.isEmpty() && QDir::isRelativePath(clean) && clean != QLatin1String("..") &&
           !clean.startsWith(QLatin1String("../"));
}
} // namespace

InstallJournal::InstallJournal(const QString &installDir)
    : m_installDir(installDir), m_lock(lockPath(installDir))
{
    // Only a lock whose process is gone is taken over, however long an install runs.
    m_lock.setStaleLockTime(0);
}

QString InstallJournal::journalPath(const QString &installDir)
{
    return installDir + QStringLiteral("/.vantorel-journal");
}

bool InstallJournal::lock()
{
    return m_lock.isLocked() || m_lock.tryLock(0);
}

bool InstallJournal::begin(const QString &sourceDir)
{
    m_files.clear();
    m_folders.clear();
    return m_lock.isLocked() && plan(sourceDir, QString()) && write(false);
}

bool InstallJournal::plan(const QString &source, const QString &relative)
{
    // The copy's own listing: hidden entries are not installed.
    const QFileInfoList entries =
        QDir(source).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString path =
            relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName();
        const QString target = m_installDir + QLatin1Char('/') + path;
        if (entry.isDir()) {
            if (!isPresent(target))
                m_folders << path;
            if (!plan(entry.filePath(), path))
                return false;
            continue;
        }
        // An old file left aside by an earlier run would be taken for this run's.
        const QString aside = target + QLatin1String(kInstallAsideSuffix);
        if (QFileInfo(aside).isDir() && !QFileInfo(aside).isSymLink())
            return false;
        if (!removeIfPresent(aside))
            return false;
        m_files.append({path, isPresent(target)});
    }
    return true;
}

bool InstallJournal::write(bool committed) const
{
    QJsonArray files;
    for (const Entry &entry : m_files)
        files.append(QJsonObject{{QStringLiteral("path"), entry.path},
                                 {QStringLiteral("replaced"), entry.replaced}});
    const QJsonObject root{
        {QStringLiteral("state"), QLatin1String(committed ? kStateInstalled : kStateCopying)},
        {QStringLiteral("files"), files},
        {QStringLiteral("folders"), QJsonArray::fromStringList(m_folders)}};
    QSaveFile file(journalPath(m_installDir));
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}

bool InstallJournal::commit()
{
    return m_lock.isLocked() && write(true);
}

void InstallJournal::finish()
{
    if (!m_lock.isLocked())
        return;
    QFile::remove(journalPath(m_installDir));
    m_lock.unlock();
}

InstallRepair repairInterruptedInstall(const QString &installDir)
{
    const QString path = InstallJournal::journalPath(installDir);
    const bool journalled = QFileInfo::exists(path);
    if (!journalled && !QFileInfo::exists(lockPath(installDir)))
        return InstallRepair::Clean;
    QLockFile lock(lockPath(installDir));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return lock.error() == QLockFile::LockFailedError ? InstallRepair::Busy
                                                           : InstallRepair::Failed;
    if (!journalled) // an updater killed before it changed anything: only its lock is left
        return InstallRepair::Clean;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return InstallRepair::Failed;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    const QString state = root.value(QStringLiteral("state")).toString();
    if (state != QLatin1String(kStateCopying) && state != QLatin1String(kStateInstalled))
        return InstallRepair::Failed;
    const bool installed = state == QLatin1String(kStateInstalled);

    bool ok = true;
    const QJsonArray files = root.value(QStringLiteral("files")).toArray();
    for (int i = files.size() - 1; i >= 0; --i) {
        const QJsonObject entry = files.at(i).toObject();
        const QString relative = entry.value(QStringLiteral("path")).toString();
        if (!isInside(relative)) {
            ok = false;
            continue;
        }
        const QString target = installDir + QLatin1Char('/') + relative;
        const QString aside = target + QLatin1String(kInstallAsideSuffix);
        ok = removeIfPresent(target + QLatin1String(kInstallPartSuffix)) && ok;
        if (installed)
            ok = removeIfPresent(aside) && ok;
        else if (!entry.value(QStringLiteral("replaced")).toBool())
            ok = removeIfPresent(target) && ok;
        else if (isPresent(aside)) // without it the old file was never touched
            ok = moveOver(aside, target) && ok;
    }
    if (!installed) {
        // Folders the install made go when empty; anything else put in them stays.
        const QJsonArray folders = root.value(QStringLiteral("folders")).toArray();
        for (int i = folders.size() - 1; i >= 0; --i) {
            const QString relative = folders.at(i).toString();
            if (isInside(relative))
                QDir().rmdir(installDir + QLatin1Char('/') + relative);
        }
    }
    if (!ok || !QFile::remove(path))
        return InstallRepair::Failed;
    return installed ? InstallRepair::Completed : InstallRepair::RolledBack;
}
