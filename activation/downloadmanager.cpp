#include "downloadmanager.h"

#include "ftmanager.h"
#include "problemreporter.h"
#include "signing.h"
#include "zipextract/extractarchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

DownloadManager::DownloadManager(FtManager &ftManager, QNetworkAccessManager *network,
                                 QObject *parent)
    : QObject(parent), m_ft(ftManager),
      m_network(network ? network : new QNetworkAccessManager(this))
{
    connect(m_network, &QNetworkAccessManager::finished, this, &DownloadManager::fileDownFinished);
}

QString DownloadManager::archiveNameFor(const QUrl &url)
{
    const QString name = QFileInfo(url.path(QUrl::FullyDecoded)).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return name;
}

bool DownloadManager::extractInto(const QString &archive, const QString &dir,
                                  const QString &password)
{
    const QString previous = QDir::currentPath();
    const bool opened = extractArchive(archive, dir, password);
    QDir::setCurrent(previous);
    return opened;
}

bool DownloadManager::startFontDownload(const QUrl &url, const QString &name, const QString &target,
                                        int page, int mode)
{
    if (!url.isValid() || m_downloading.contains(name))
        return false;
    const QString archiveName = archiveNameFor(url);
    if (archiveName.isEmpty())
        return false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // A stalled transfer would otherwise keep the font marked as downloading for the
    // rest of the run.
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, this, &DownloadManager::onDownProgressChanged);

    m_downloading.insert(name, 0);
    m_progress.insert(reply, {0, name});
    DownloadJob job;
    job.mode = mode;
    job.pageIndex = page;
    job.url = url.toString();
    job.fontName = name;
    job.targetPath = target;
    job.archivePath = m_ft.downloadsDir() + archiveName;
    job.archivePassword = archivePassword(job.url);
    m_jobs.insert(reply, job);
    return true;
}

void DownloadManager::trackReply(QNetworkReply *reply, const DownloadJob &job)
{
    if (reply)
        m_jobs.insert(reply, job);
}

void DownloadManager::fileDownFinished(QNetworkReply *reply)
{
    if (!reply)
        return;
    const auto it = m_jobs.constFind(reply);
    if (it == m_jobs.cend()) {
        reply->abort();
        reply->deleteLater();
        return;
    }
    const DownloadJob job = *it;
    m_jobs.remove(reply);
    const int shown = m_progress.take(reply).shown;
    // The status is not examined: any body counts as the archive, and one that does
    // not unpack shows as an activation failure.
    const QByteArray bytes = reply->readAll();
    const bool complete = reply->error() == QNetworkReply::NoError;
    reply->abort();
    reply->deleteLater();

    if (job.mode != DownloadJob::ActivateMode && job.mode != DownloadJob::ActivateApplyMode) {
        emit otherDownloadFinished(job, bytes);
        return;
    }
    if (bytes.isEmpty()) {
        emit downloadFailed(job.fontName);
        const QString line =
            QStringLiteral("the TTF of [%1] download failed,url:%2").arg(job.fontName, job.url);
        m_ft.writeLog(line);
        if (m_reporter)
            m_reporter->postBug(line);
        m_downloading.remove(job.fontName);
        emit progressEnded(job.fontName);
        return;
    }
    // A transfer of unknown length reports no total, so its 100 step comes from here.
    if (complete && progressStep(shown, bytes.size(), bytes.size()) == 100)
        emit progressChanged(job.fontName, 100);
    saveDownloadedFile(job.fontName, job.archivePath, bytes, true);
    extractInto(job.archivePath, m_ft.usedDir(), job.archivePassword);
    emit archiveReady(job.fontName, job.targetPath, job.mode == DownloadJob::ActivateApplyMode);
}

void DownloadManager::saveDownloadedFile(const QString &name, const QString &path,
                                         const QByteArray &bytes, bool endProgress)
{
    if (m_ft.downloadsDir().isEmpty() || !QDir(m_ft.downloadsDir()).exists())
        m_ft.createDirectories();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
    }
    if (const auto font = m_ft.cloudFont(name))
        m_ft.download_ids.insert(font->fontid);
    m_downloading.remove(name);
    if (endProgress)
        emit progressEnded(name);
}

int DownloadManager::progressStep(int shown, qint64 received, qint64 total)
{
    if (total <= 0)
        return -1;
    const int percent = int(qBound<qint64>(0, received, total) * 100 / total);
    if (percent - shown >= 10 || (percent == 100 && shown < 100))
        return percent;
    return -1;
}

void DownloadManager::onDownProgressChanged(qint64 curValue, qint64 maxValue)
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    const auto it = m_progress.find(reply);
    if (it == m_progress.end())
        return;
    const int percent = progressStep(it->shown, curValue, maxValue);
    if (percent >= 0) {
        it->shown = percent;
        emit progressChanged(it->fontName, percent);
    }
}
