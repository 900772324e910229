#pragma once

#include "activation/activationengine.h"
#include "activation/downloadmanager.h"
#include "activation/officeconsent.h"
#include "activation/threadforenablefont.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>

class ActivationNotifier;
class CardMarks;
class FontSystem;
class FtManager;
class ProblemReporter;
class QNetworkAccessManager;

// Picking a font card, activating fonts, the start-up re-activation and font
// downloads, without widgets: the main window forwards its slots here; what the user is
// told goes through the notifier, what the cards show through the card marks. GUI
// thread only.
class ActivationController : public QObject
{
    Q_OBJECT
public:
    // Pause between activating a picked font and applying it, so running
    // applications have taken in the font change first.
    static constexpr int kApplyDelayMs = 200;

    // Notifier and marks must outlive the controller; the reporter may be null. The
    // network manager, if given, is for downloads only (see DownloadManager); without
    // one the download manager makes its own.
    ActivationController(FtManager &ftManager, ActivationNotifier *notifier, CardMarks *marks,
                         ProblemReporter *reporter, QNetworkAccessManager *network = nullptr,
                         FontSystem *system = nullptr, QObject *parent = nullptr);
    ~ActivationController() override;

    ActivationEngine &engine() { return m_engine; }
    DownloadManager &downloads() { return m_downloads; }
    OfficeConsent &officeConsent() { return m_officeConsent; }

    // A card was picked (card: the card widget that asked, may be null).
    void onFtSelected(const QString &ftName, QObject *card);
    // Finds or fetches the file of a picked font, then enables it. Returns what
    // enableFont returns, 6 when a download was started or is running, or when the
    // font has no catalogue entry, -1 on a failed check.
    int enableFromCard(QObject *card, const QString &name, const QString &path, bool applyAfter);
    // Activates a known file with user feedback; with applyAfter the font is applied
    // kApplyDelayMs later and stays busy until then.
    int enableFont(const QString &name, const QString &path, bool applyAfter);
    int checkAndActivate(const QString &path, const QString &name);
    // Takes a font this program activated out of the session and out of the saved
    // activation list (saved at once), with user feedback; its files stay, so a later
    // pick activates them without a download. False for a font that is busy or was not
    // activated by this program.
    bool deactivateFont(const QString &name);
    // Fetches the archive of a catalogue font and unpacks it without activating it;
    // fontFetched tells when the file is there (at once when it already is). False when
    // the font has no catalogue entry or no usable address.
    bool fetchFont(const QString &name);
    // The file of a catalogue font in the used folder, whether or not it exists yet.
    QString cloudFontFile(const QString &name) const;

    // Sets the font in the foreground application and reports the outcome.
    void applyFont(const LocalFont &record, const QString &name);

    void busyMark(const QString &name);
    void busyClear(const QString &name);
    bool isBusy(const QString &name) const { return m_busy.contains(name); }
    const QSet<QString> &busyNames() const { return m_busy; }

    // Start-up re-activation. The saved "downlist" is read when the controller is
    // made, so that entries not yet re-activated when the program ends early are
    // kept (keepUnrecordedDownlist).
    void rememberSavedDownlist();
    ThreadForEnableFont *startEnableThread();
    ThreadForEnableFont *enableThread() const { return m_enableThread; }
    bool enableThreadBegun() const { return m_enableThreadBegun; }
    // Asks a running thread to stop after its current entry and waits for it.
    void stopEnableThread();
    // Puts saved entries that this run has not recorded (yet) back into `downlist`,
    // without replacing names activated in this run. Call right before saving.
    void keepUnrecordedDownlist();
    const QVector<DownlistEntry> &unrecordedDownlist() const { return m_unrecorded; }

signals:
    void fontFetched(const QString &name, const QString &path);

public slots:
    // Connected to the thread's finished(); reads it through sender().
    void onEnableThreadDone();
    void onEnableThreadDestroy();

private:
    // Success feedback of enableFont: applied after the pause, or announced.
    int finishEnabled(const QString &name, int result, bool applyAfter);
    // Activates a file the program stored earlier; one that fails the checks or the
    // registration is removed, and the result tells the caller to look further.
    int enableCachedFont(const QString &name, const QString &path, bool applyAfter);
    void recordEnabledFonts(const ThreadForEnableFont &thread);
    void showActivationResult(const QString &name, bool ok);
    void reportProblem(const QString &line);
    void failMissingFile(const QString &name, const QString &path);
    void failDownload(const QString &name);

    FtManager &m_ft;
    ActivationNotifier *m_notifier;
    CardMarks *m_marks;
    ProblemReporter *m_reporter;
    ActivationEngine m_engine;
    DownloadManager m_downloads;
    OfficeConsent m_officeConsent;
    QSet<QString> m_busy;
    QPointer<ThreadForEnableFont> m_enableThread;
    bool m_enableThreadBegun = false;
    QVector<DownlistEntry> m_unrecorded;
    // Deactivated in this run: the start-up thread may still be registering them.
    QSet<QString> m_deactivated;
};
