#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QUrl>

// The updater's work without its window: download the package, unpack it into the
// temporary location, copy it over the installation folder, write the log and
// start the main program again. The window follows it through the signals.
class UpdateRunner : public QObject
{
    Q_OBJECT

public:
    // Creates the message, download and unpack folders when missing; the unpack
    // folder only when the download folder is private to the user.
    explicit UpdateRunner(QObject *parent = nullptr);

    QString messageDir() const { return m_messageDir; }
    QString downloadDir() const { return m_downloadDir; }
    QString unpackDir() const { return m_unpackDir; }
    QString logFilePath() const;

    // Where the package is installed: the updater's own folder unless set.
    QString installDir() const { return m_installDir; }
    void setInstallDir(const QString &dir) { m_installDir = dir; }
    // The whole download must finish within this time (20 minutes unless set).
    void setDownloadTimeLimit(int milliseconds) { m_downloadTimeLimit = milliseconds; }
    // A larger package is refused as it arrives (512 MiB unless set).
    void setDownloadSizeLimit(qint64 bytes) { m_downloadSizeLimit = bytes; }

    QString appFile() const { return m_appFile; }
    QUrl packageUrl() const { return m_packageUrl; }
    QString downloadedFile() const { return m_downloadedFile; }

    void setAppFile(const QString &path);
    // Runs the whole update when `url` is a valid https address. An invalid one does
    // nothing; any other (http://, file://) is refused and ends in the failure state.
    void setPackageUrl(const QString &url);
    // Download, unpack and copy; ends with sigDoneState, telling whether all of it
    // succeeded. The package and what was unpacked from it are removed either way.
    void startUpdate();
    bool downloadPackage();
    // Installs only a package that unpacked whole; the copy is journalled (see
    // InstallJournal) and all or nothing.
    bool unpackAndCopy();
    // Starts the main program detached; false when it could not be started.
    bool openApp();

    void writeLog(const QString &message, const QString &logFileName);

signals:
    void sigProgressState();
    void sigStatusText(const QString &text);
    void sigDoneState(bool succeeded);
    void sigDownProgressed(qint64 received, qint64 total);
    void sigCopyMoved(double fraction);

private:
    bool preparePrivateFolders() const;
    bool openPackageFile(QFile &file) const;
    void removeDownloads();

    QString m_appFile;
    QUrl m_packageUrl;
    QString m_downloadedFile;
    QString m_messageDir;
    QString m_downloadDir;
    QString m_unpackDir;
    QString m_installDir;
    int m_downloadTimeLimit = 1200000;
    qint64 m_downloadSizeLimit = qint64(512) << 20;
};

// Log file of the updater inside the message folder.
extern const char *const kUpdateLogName;
