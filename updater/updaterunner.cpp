#include "updater/updaterunner.h"

#include "core/installjournal.h"
#include "core/logging.h"
#include "core/packageaddress.h"
#include "updater/sfileworker.h"
#include "updater/updaterules.h"
#include "zipextract/extractarchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

const char *const kUpdateLogName = "UpdateMsg.log";

namespace {
void makeOneLevel(const QString &path)
{
    if (!QDir(path).exists())
        QDir().mkdir(path);
}
} // namespace

UpdateRunner::UpdateRunner(QObject *parent) : QObject(parent)
{
    const QString root = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                         QStringLiteral("/TessalyFont/");
    m_messageDir = root + QStringLiteral("msg/");
    m_downloadDir = QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
                    QStringLiteral("/quillora");
    m_unpackDir = m_downloadDir + QStringLiteral("/upzip/");
    m_installDir = QCoreApplication::applicationDirPath();

    // A fresh account may have no documents folder yet.
    if (!QDir(root).exists())
        QDir().mkpath(root);
    makeOneLevel(m_messageDir);
    preparePrivateFolders();
}

bool UpdateRunner::preparePrivateFolders() const
{
    // The unpack folder is made only inside a download folder that passed the
    // check, so nothing is ever created through a link planted in its place.
    return ensurePrivateDirectory(m_downloadDir) && ensurePrivateDirectory(m_unpackDir);
}

QString UpdateRunner::logFilePath() const
{
    return m_messageDir + QLatin1String(kUpdateLogName);
}

void UpdateRunner::writeLog(const QString &message, const QString &logFileName)
{
    appendEventLine(m_messageDir + logFileName, message);
}

void UpdateRunner::setAppFile(const QString &path)
{
    m_appFile = path;
    writeLog(QStringLiteral("dir_appFile=") + path, QLatin1String(kUpdateLogName));
}

void UpdateRunner::setPackageUrl(const QString &url)
{
    const QUrl parsed(url, QUrl::TolerantMode);
    if (!parsed.isValid())
        return;
    writeLog(url, QLatin1String(kUpdateLogName));
    // The program offers only https packages; one started by hand holds to the same.
    if (!isUsablePackageAddress(url)) {
        writeLog(QStringLiteral("down refused: not an https address"),
                 QLatin1String(kUpdateLogName));
        removeDownloads();
        emit sigDoneState(false);
        return;
    }
    m_packageUrl = parsed;
    startUpdate();
}

void UpdateRunner::startUpdate()
{
    emit sigProgressState();
    const bool downloaded = downloadPackage();
    emit sigStatusText(QStringLiteral("软件更新中..."));
    const bool installed = unpackAndCopy();
    removeDownloads();
    emit sigDoneState(downloaded && installed);
}

bool UpdateRunner::downloadPackage()
{
    // A package saved by an earlier attempt must not be installed after this one failed.
    m_downloadedFile.clear();
    if (!m_packageUrl.isValid())
        return false;
    const QString path = m_downloadDir + QLatin1Char('/') + packageFileName(m_packageUrl);
    QFile file(path);
    if (!openPackageFile(file)) {
        writeLog(QStringLiteral("down err: cannot write ") + path, QLatin1String(kUpdateLogName));
        return false;
    }

    QNetworkAccessManager manager;
    QNetworkRequest request(m_packageUrl);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);
    // The package goes to disk as it arrives; only this much waits in memory.
    reply->setReadBufferSize(1 << 20);
    connect(reply, &QNetworkReply::downloadProgress, this, &UpdateRunner::sigDownProgressed);

    qint64 received = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    const auto save = [&] {
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > m_downloadSizeLimit)
            tooLarge = true;
        else if (file.write(chunk) != chunk.size())
            writeFailed = true;
        if (tooLarge || writeFailed)
            reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [&] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() >
            m_downloadSizeLimit) {
            tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, save);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(m_downloadTimeLimit);
    if (!reply->isFinished())
        loop.exec();

    QString failure;
    if (!timer.isActive()) {
        failure = QStringLiteral("down timeout");
    } else {
        timer.stop();
        // The loop also ends when the application quits (the window was closed);
        // an unfinished download is then cancelled, never taken as complete.
        if (!reply->isFinished())
            reply->abort();
        else if (!tooLarge && !writeFailed && reply->bytesAvailable() > 0)
            save();
        if (tooLarge)
            failure = QStringLiteral("down too large (over %1 bytes)").arg(m_downloadSizeLimit);
        else if (reply->error() != QNetworkReply::NoError || writeFailed || !file.flush())
            failure = QStringLiteral("down err");
    }
    disconnect(reply, nullptr, this, nullptr);
    disconnect(reply, nullptr, &loop, nullptr);
    reply->abort();
    reply->deleteLater();
    file.close();

    // An empty body is a failure the log does not mention.
    const bool ok = failure.isEmpty() && received > 0 && file.error() == QFileDevice::NoError;
    if (ok) {
        m_downloadedFile = path;
        writeLog(QStringLiteral("down succeed."), QLatin1String(kUpdateLogName));
    } else {
        QFile::remove(path);
        if (!failure.isEmpty())
            writeLog(failure, QLatin1String(kUpdateLogName));
    }
    return ok;
}

bool UpdateRunner::openPackageFile(QFile &file) const
{
    if (!preparePrivateFolders())
        return false;
    // Removing first replaces a link of that name instead of writing through it.
    const QFileInfo old(file.fileName());
    if ((old.exists() || old.isSymLink()) && !QFile::remove(file.fileName()))
        return false;
    return file.open(QIODevice::WriteOnly);
}

bool UpdateRunner::unpackAndCopy()
{
    if (m_downloadedFile.isEmpty())
        return false;

    // Only what this package holds may be installed, and only when every entry of
    // it unpacked whole and verified: leftovers of an earlier update go first.
    const QString workingDir = QDir::currentPath();
    const bool unpacked = preparePrivateFolders() && emptyDirectory(m_unpackDir) &&
                          extractArchive(m_downloadedFile, m_unpackDir, QString());
    // The extractor leaves the working directory in the unpack folder, which goes.
    QDir::setCurrent(workingDir);
    writeLog(unpacked ? QStringLiteral("upzip done") : QStringLiteral("upzip fail"),
             QLatin1String(kUpdateLogName));
    if (!unpacked)
        return false;

    // An install interrupted earlier is put right before this one is written down.
    const InstallRepair repair = repairInterruptedInstall(m_installDir);
    if (repair == InstallRepair::Busy || repair == InstallRepair::Failed) {
        writeLog(QStringLiteral("copy fail: an earlier install is unfinished"),
                 QLatin1String(kUpdateLogName));
        return false;
    }
    InstallJournal journal(m_installDir);
    SFileWorker worker;
    connect(&worker, &SFileWorker::sigCopyDirStation, this, &UpdateRunner::sigCopyMoved);
    worker.setCommitGate([&journal] { return journal.commit(); });
    const bool copied = journal.lock() && journal.begin(m_unpackDir) &&
                        worker.copyDirectoryFiles(m_unpackDir, m_installDir, true);
    journal.finish();

    m_appFile = m_installDir + QLatin1Char('/') + QFileInfo(m_appFile).fileName();
    writeLog(QStringLiteral("modify=") + m_appFile, QLatin1String(kUpdateLogName));
    writeLog(QStringLiteral("dir_copy_des=") + m_appFile, QLatin1String(kUpdateLogName));
    writeLog(copied ? QStringLiteral("copy done") : QStringLiteral("copy fail"),
             QLatin1String(kUpdateLogName));
    return copied;
}

void UpdateRunner::removeDownloads()
{
    if (!m_downloadedFile.isEmpty())
        QFile::remove(m_downloadedFile);
    // Only inside a download folder that is still the user's own; emptied first, so
    // a link planted inside is removed rather than followed.
    const QFileInfo unpack(QDir::cleanPath(m_unpackDir));
    if (ensurePrivateDirectory(m_downloadDir) && unpack.isDir() && !unpack.isSymLink() &&
        emptyDirectory(m_unpackDir))
        QDir().rmdir(m_unpackDir);
}

bool UpdateRunner::openApp()
{
    const QString command = quoteBlanks(m_appFile);
    writeLog(QStringLiteral("open app=") + command, QLatin1String(kUpdateLogName));
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    return QProcess::startDetached(program, parts);
}
