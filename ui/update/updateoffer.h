#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class FtManager;
class QNetworkAccessManager;
class QObject;

// Whether this run may offer an update, and starting the updater. No widgets: the
// start-up check, the version dialogs and MainWindow::onStartUpdate all ask it.
class UpdateOffer
{
public:
    enum State {
        NotChecked,     // no check has finished in this run
        CheckFailed,    // the service gave no usable answer
        Latest,         // nothing newer (also for a version text that cannot be read)
        Available,      // a newer version that this installation can take
        PackageManager, // a newer version, but the program folder belongs to the system
    };
    enum StartResult {
        Started,
        NotOffered,     // no update is known to be available
        NoPackage,      // the service named no package address
        NotHttps,       // a package address that is not https is never fetched
        UpdaterMissing, // no updater beside the program
        StartFailed,    // the updater could not be started
    };

    // Starts `program` detached with `arguments`, no shell; true when it started.
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;

    // `programFile` is the running program; the updater and the folder test use its folder.
    UpdateOffer(FtManager &manager, const QString &programFile);
    ~UpdateOffer();

    void setTimeLimit(int milliseconds) { m_timeLimit = milliseconds; }
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

    // Asks the service for the latest version (tag 121) and decides the state.
    State check();
    // The same two requests without waiting: `done` runs (while `context` lives) once the
    // answer is in or the time limit ran out.
    void checkInBackground(QObject *context, const std::function<void(State)> &done);
    void fetchUpdateLogInBackground(QObject *context, const std::function<void(QString)> &done);
    // Decides the state from a finished version request (a postAndWait result and the
    // version reply's fields).
    State decide(int postResult, const QString &latest, const QString &packageUrl);
    // The change log of the latest version (tag 128); empty unless the reply succeeded
    // and carried one.
    QString fetchUpdateLog();

    State state() const { return m_state; }
    // True when no update is to be offered: the flag the dialogs read.
    bool isLatest() const { return m_state != Available; }
    QString latestVersion() const { return m_latest; }
    QString packageUrl() const { return m_packageUrl; }

    // Starts the updater with the program's path and the package address. Logs why
    // when it does not.
    StartResult startUpdater();
    // What the user is told when the updater did not start.
    static QString failureText(StartResult result);

    QString programFile() const { return m_programFile; }
    QString updaterPath() const;
    // The updater replaces the files of the program folder, so it must be writable.
    static bool isFolderWritable(const QString &dir);
    static bool isUsablePackageUrl(const QString &url);

private:
    FtManager &m_manager;
    QString m_programFile;
    QString m_latest;
    QString m_packageUrl;
    State m_state = NotChecked;
    int m_timeLimit = 10000;
    Launcher m_launcher;
    std::unique_ptr<QNetworkAccessManager> m_network; // for the background requests
};
