#include "updater/sfileworker.h"

#include "core/installjournal.h"
#include "updater/updaterules.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// Every read and write is checked: a source that fails part way (a damaged disk,
// a file that reads as an error) must never pass for a complete copy.
bool copyContents(const QString &source, const QString &destination)
{
    QFile in(source);
    QFile out(destination);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(block.data(), block.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (out.write(block.constData(), got) != got)
            return false;
    }
    if (!out.flush())
        return false;
    out.close();
    return out.error() == QFileDevice::NoError;
}
} // namespace

SFileWorker::SFileWorker(QObject *parent) : QObject(parent) {}

bool SFileWorker::copyDirectoryFiles(const QString &source, const QString &target, bool overwrite)
{
    m_depth = 0;
    m_changes.clear();
    const bool copied = copyLevel(source, target, overwrite) && (!m_commitGate || m_commitGate());
    finish(copied);
    return copied;
}

void SFileWorker::finish(bool copied)
{
    for (auto it = m_changes.crbegin(); it != m_changes.crend(); ++it) {
        if (copied) {
            // A running program's old file may refuse to go; it is harmless.
            if (!it->replaced.isEmpty())
                QFile::remove(it->replaced);
        } else if (it->folder) {
            QDir().rmdir(it->path);
        } else {
            QFile::remove(it->path);
            if (!it->replaced.isEmpty())
                replaceFile(it->replaced, it->path);
        }
    }
    m_changes.clear();
}

bool SFileWorker::copyLevel(const QString &source, const QString &target, bool overwrite)
{
    qDebug() << "copyDirectoryFiles:" << source << target;
    QDir targetDir(target);
    if (!targetDir.exists()) {
        if (!QDir().mkdir(targetDir.absolutePath()))
            return false;
        m_changes.append({targetDir.absolutePath(), QString(), true});
    }

    const QFileInfoList entries = QDir(source).entryInfoList();
    if (m_depth == 0) {
        int files = 0;
        int dirs = 0;
        for (const QFileInfo &entry : entries) {
            if (entry.isFile())
                ++files;
            else if (entry.isDir() && entry.fileName() != QLatin1String(".") &&
                     entry.fileName() != QLatin1String(".."))
                ++dirs;
        }
        m_total = dirs;
        m_done = 0;
        qDebug() << "a copyDirectoryFiles: entries" << entries.size() << "files" << files
                 << "folders" << dirs;
        if (m_total > 0) {
            emit sigCopyDirStation(m_done / m_total);
        } else {
            emit sigCopyDirStation(1.0);
            emit sigCopyDirOver();
        }
    } else if (m_depth == 1) {
        // Only the outermost call's own subfolders count; deeper levels would push
        // the fraction past 1 and restart the count.
        m_done += 1;
        qDebug() << "a copyDirectoryFiles: done" << m_done << "of" << m_total;
        emit sigCopyDirStation(m_done / m_total);
        if (m_done >= m_total)
            emit sigCopyDirOver();
    }

    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString to = target + QLatin1Char('/') + name;
        if (entry.isDir()) {
            ++m_depth;
            const bool copied = copyLevel(entry.filePath(), to, overwrite);
            --m_depth;
            if (!copied)
                return false;
        } else if (!copyOneFile(entry.filePath(), to, overwrite)) {
            return false;
        }
    }
    return true;
}

bool SFileWorker::copyOneFile(const QString &source, const QString &target, bool overwrite)
{
    const QFileInfo existing(target);
    const bool replacing = existing.exists() || existing.isSymLink();
    if ((replacing && !overwrite) || (existing.isDir() && !existing.isSymLink()))
        return false;

    // A file of the same name beside the target holds the new contents until they
    // are complete; only then does it take the target's place.
    const QString part = target + QLatin1String(kInstallPartSuffix);
    const QFileInfo leftover(part);
    if (leftover.isDir() && !leftover.isSymLink())
        return false;
    if ((leftover.exists() || leftover.isSymLink()) && !QFile::remove(part))
        return false;
    if (!copyContents(source, part)) {
        QFile::remove(part);
        return false;
    }
    // Installed programs keep their permissions (an unpacked file carries none
    // worth keeping, and the main program must stay executable).
    QFile::setPermissions(part, replacing && existing.isFile() ? existing.permissions()
                                                               : QFileInfo(source).permissions());
    // The old file steps aside under a name of its own until the whole copy is done.
    const QString aside = replacing ? target + QLatin1String(kInstallAsideSuffix) : QString();
    if (replacing && ((QFileInfo::exists(aside) && !QFile::remove(aside)) ||
                      !replaceFile(target, aside))) {
        QFile::remove(part);
        return false;
    }
    if (!replaceFile(part, target)) {
        QFile::remove(part);
        if (replacing)
            replaceFile(aside, target);
        return false;
    }
    m_changes.append({target, aside, false});
    return true;
}
