#include "activation/downloadmanager.h"

#include "fonts/ftmanager.h"
#include "activation/problemreporter.h"
#include "service/signing.h"
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
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onArchiveBytes(reply); });

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
    m_streams[reply].file = std::make_unique<QSaveFile>(job.archivePath);
    return true;
}

void DownloadManager::onArchiveBytes(QNetworkReply *reply)
{
    const auto it = m_streams.find(reply);
    if (it == m_streams.end())
        return;
    ArchiveStream &stream = it->second;
    if (stream.tooLarge)
        return;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    const qint64 available = reply->bytesAvailable();
    if (announced > m_maxArchiveBytes || stream.received + available > m_maxArchiveBytes) {
        stream.tooLarge = true;
        // Ends the transfer at once; finished() may arrive from within abort().
        reply->abort();
        return;
    }
    QSaveFile &file = *stream.file;
    if (!file.isOpen() && file.error() == QFileDevice::NoError) {
        if (m_ft.downloadsDir().isEmpty() || !QDir(m_ft.downloadsDir()).exists())
            m_ft.createDirectories();
        file.open(QIODevice::WriteOnly); // failing to open leaves an error: bytes are dropped
    }
    char chunk[64 * 1024];
    for (qint64 n; (n = reply->read(chunk, sizeof chunk)) > 0;) {
        stream.received += n;
        if (file.isOpen())
            file.write(chunk, n);
    }
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
    const bool complete = reply->error() == QNetworkReply::NoError;
    if (job.mode != DownloadJob::ActivateMode && job.mode != DownloadJob::ActivateApplyMode &&
        job.mode != DownloadJob::FetchMode) {
        const QByteArray bytes = reply->readAll();
        reply->abort();
        reply->deleteLater();
        emit otherDownloadFinished(job, bytes);
        return;
    }

    // The status is not examined: any body counts as the archive, and one that does
    // not unpack shows as an activation failure.
    onArchiveBytes(reply);
    const auto node = m_streams.extract(reply);
    reply->abort();
    reply->deleteLater();
    if (!node.empty() && node.mapped().tooLarge) {
        m_ft.writeLog(
            QStringLiteral("the TTF of [%1] download stopped, larger than %2 bytes,url:%3")
                .arg(job.fontName)
                .arg(m_maxArchiveBytes)
                .arg(job.url));
        failDownload(job); // the partial file is discarded with the stream
        return;
    }
    if (node.empty() || node.mapped().received == 0) {
        failDownload(job);
        return;
    }
    // A transfer of unknown length reports no total, so its 100 step comes from here.
    const qint64 received = node.mapped().received;
    if (complete && progressStep(shown, received, received) == 100)
        emit progressChanged(job.fontName, 100);
    saveDownloadedFile(job.fontName, node.mapped().file.get(), true);
    extractInto(job.archivePath, m_ft.usedDir(), job.archivePassword);
    if (job.mode == DownloadJob::FetchMode)
        emit archiveFetched(job.fontName, job.targetPath);
    else
        emit archiveReady(job.fontName, job.targetPath, job.mode == DownloadJob::ActivateApplyMode);
}

void DownloadManager::failDownload(const DownloadJob &job)
{
    emit downloadFailed(job.fontName);
    const QString line =
        QStringLiteral("the TTF of [%1] download failed,url:%2").arg(job.fontName, job.url);
    m_ft.writeLog(line);
    if (m_reporter)
        m_reporter->postBug(line);
    m_downloading.remove(job.fontName);
    emit progressEnded(job.fontName);
}

void DownloadManager::saveDownloadedFile(const QString &name, QSaveFile *file, bool endProgress)
{
    if (file && file->isOpen())
        file->commit();
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
