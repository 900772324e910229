#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QUrl>

#include <map>
#include <memory>

class FtManager;
class ProblemReporter;
class QNetworkAccessManager;
class QNetworkReply;

// One reply of the download network manager and what to do with its bytes.
struct DownloadJob
{
    enum Mode : int {
        ImageMode = 1,         // a preview image, handed on as it arrives
        ActivateMode = 3,      // a font archive: unpack and activate
        ActivateApplyMode = 4, // the same, then apply the font
        FetchMode = 5,         // a font archive: unpack only
    };

    int mode = 0;
    int pageIndex = -1; // the main window's page when the download started
    QString url;
    QString fontName = QLatin1String("");
    QString extraText = QLatin1String(""); // image downloads only
    int extraNumber = -1;                  // image downloads only
    QString targetPath;                    // the font file to activate afterwards
    QString archivePath;                   // where the downloaded bytes are stored
    QString archivePassword;
};

struct DownloadProgress
{
    int shown = 0; // last percentage shown on the card
    QString fontName;
};

// Font archive downloads on one network access manager: one download per font at a
// time, progress per reply, the archive stored in the downloads folder and unpacked
// into the used folder. GUI thread only. TLS errors are never ignored: a reply that
// fails them arrives empty and counts as a failed download.
class DownloadManager : public QObject
{
    Q_OBJECT
public:
    // Without a network manager it makes its own. A manager handed in must serve
    // downloads only: any other reply that finishes on it is aborted and deleted.
    explicit DownloadManager(FtManager &ftManager, QNetworkAccessManager *network = nullptr,
                             QObject *parent = nullptr);

    void setProblemReporter(ProblemReporter *reporter) { m_reporter = reporter; }
    QNetworkAccessManager *networkManager() const { return m_network; }
    // A download that receives nothing for this long is abandoned as failed.
    static constexpr int kTransferTimeoutMs = 60000;
    // Archives are written to disk as they arrive; one that announces or delivers
    // more than this is stopped and counts as a failed download, so an endless
    // reply cannot fill the disk. Large CJK families stay well below it.
    static constexpr qint64 kMaxArchiveBytes = 256 * 1024 * 1024;
    void setMaxArchiveBytes(qint64 bytes) { m_maxArchiveBytes = bytes; }

    // Starts fetching a font archive. False (and nothing started) for an invalid
    // address, an address without a usable file name, or a font already downloading.
    bool startFontDownload(const QUrl &url, const QString &name, const QString &target, int page,
                           int mode);
    // Puts the streamed archive in place (an unwritable file is skipped), notes the
    // font as downloaded and ends its downloading mark.
    void saveDownloadedFile(const QString &name, QSaveFile *file, bool endProgress);
    // Keeps a reply of another kind (a preview image) under the same manager's books.
    void trackReply(QNetworkReply *reply, const DownloadJob &job);

    bool isDownloading(const QString &name) const { return m_downloading.contains(name); }
    const QMap<QString, int> &downloadingNames() const { return m_downloading; }
    const QMap<QNetworkReply *, DownloadJob> &jobs() const { return m_jobs; }
    const QMap<QNetworkReply *, DownloadProgress> &progress() const { return m_progress; }

    // The archive's file name: the last segment of the fully decoded address path;
    // empty when that is no usable file name ("", "." or "..").
    static QString archiveNameFor(const QUrl &url);
    // Unpacks an archive into a folder and puts the working directory back, which
    // the extractor leaves in the target folder.
    static bool extractInto(const QString &archive, const QString &dir, const QString &password);
    // The percentage to show for `received` of `total` bytes after `shown` was last
    // shown, or -1 for none: steps of at least 10, and the 100 of a completed
    // transfer whatever the gap, since where the transfer is cut into chunks decides
    // which steps are seen on the way.
    static int progressStep(int shown, qint64 received, qint64 total);

public slots:
    void fileDownFinished(QNetworkReply *reply);
    void onDownProgressChanged(qint64 curValue, qint64 maxValue);

signals:
    // A font download ended without bytes; its busy mark should go.
    void downloadFailed(const QString &fontName);
    // The archive is stored and unpacked; the font file is expected at targetPath.
    void archiveReady(const QString &fontName, const QString &targetPath, bool applyAfter);
    // A FetchMode archive is stored and unpacked.
    void archiveFetched(const QString &fontName, const QString &targetPath);
    void progressChanged(const QString &fontName, int percent);
    void progressEnded(const QString &fontName);
    // A tracked reply of another mode finished (its bytes may be empty).
    void otherDownloadFinished(const DownloadJob &job, const QByteArray &bytes);

private:
    // A font archive on its way to disk; the file is opened with the first bytes.
    struct ArchiveStream
    {
        std::unique_ptr<QSaveFile> file;
        qint64 received = 0;
        bool tooLarge = false;
    };
    void onArchiveBytes(QNetworkReply *reply);
    void failDownload(const DownloadJob &job);

    FtManager &m_ft;
    QNetworkAccessManager *m_network;
    ProblemReporter *m_reporter = nullptr;
    QMap<QString, int> m_downloading;
    QMap<QNetworkReply *, DownloadProgress> m_progress;
    QMap<QNetworkReply *, DownloadJob> m_jobs;
    std::map<QNetworkReply *, ArchiveStream> m_streams;
    qint64 m_maxArchiveBytes = kMaxArchiveBytes;
};
