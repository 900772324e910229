#include "activation/activationcontroller.h"

#include "activation/activationview.h"
#include "fonts/fontnamereader.h"
#include "activation/fontsystem.h"
#include "fonts/ftmanager.h"
#include "activation/problemreporter.h"
#include "service/signing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

// dir + relative when relative names something inside dir; empty for an empty,
// absolute or escaping name, which the service should never send.
QString fileInside(const QString &dir, const QString &relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return QString();
    const QString base = QDir::cleanPath(dir);
    if (!QDir::cleanPath(base + QLatin1Char('/') + relative).startsWith(base + QLatin1Char('/')))
        return QString();
    return dir + relative;
}

} // namespace

ActivationController::ActivationController(FtManager &ftManager, ActivationNotifier *notifier,
                                           CardMarks *marks, ProblemReporter *reporter,
                                           QNetworkAccessManager *network, FontSystem *system,
                                           QObject *parent)
    : QObject(parent), m_ft(ftManager), m_notifier(notifier), m_marks(marks),
      m_reporter(reporter), m_engine(ftManager, system), m_downloads(ftManager, network, this)
{
    Q_ASSERT(m_notifier && m_marks);
    m_downloads.setProblemReporter(reporter);
    connect(&m_downloads, &DownloadManager::downloadFailed, this,
            &ActivationController::failDownload);
    connect(&m_downloads, &DownloadManager::unpackFailed, this, [this](const QString &name) {
        showActivationResult(name, false);
        busyClear(name);
    });
    connect(&m_downloads, &DownloadManager::archiveFetched, this,
            &ActivationController::fontFetched);
    connect(&m_downloads, &DownloadManager::archiveReady, this,
            [this](const QString &name, const QString &target, bool applyAfter) {
                enableFont(name, target, applyAfter);
            });
    connect(&m_downloads, &DownloadManager::progressChanged, this,
            [this](const QString &name, int percent) { m_marks->showProgress(name, percent); });
    connect(&m_downloads, &DownloadManager::progressEnded, this,
            [this](const QString &name) { m_marks->clearProgress(name); });
    rememberSavedDownlist();
}

ActivationController::~ActivationController()
{
    stopEnableThread();
    if (m_enableThread) {
        // Its destroyed() must not reach a controller that is half gone.
        m_enableThread->disconnect(this);
        delete m_enableThread.data();
    }
}

void ActivationController::onFtSelected(const QString &ftName, QObject *card)
{
    if (!m_ft.bLogin) {
        m_notifier->openLogin();
        return;
    }
    busyMark(ftName);
    if (const LocalFont *installed = m_ft.installedFont(ftName)) {
        applyFont(LocalFont(*installed), ftName);
        return;
    }
    if (const LocalFont *activated = m_ft.activatedFont(ftName)) {
        applyFont(LocalFont(*activated), ftName);
        return;
    }
    enableFromCard(card, ftName, QString(), true);
}

int ActivationController::enableFromCard(QObject *card, const QString &name, const QString &path,
                                         bool applyAfter)
{
    if (!card || name.isEmpty()) {
        busyClear(name);
        return -1;
    }
    if (m_ft.isActivated(name)) {
        busyClear(name);
        m_marks->setCardActivated(card, true);
        return 1;
    }
    const int r = enableFont(name, path, applyAfter);
    if (r >= 0)
        return r;

    const auto font = m_ft.cloudFont(name);
    if (!font) {
        busyClear(name);
        reportProblem(QStringLiteral("enable failed，[%1] not find url").arg(name));
        return 6;
    }
    const QString candidate1 = fileInside(m_ft.usedDir(), font->ttf_name);
    if (candidate1.isEmpty()) {
        failMissingFile(name, font->ttf_name);
        busyClear(name);
        return -1;
    }
    const QString candidate2 = fileInside(m_ft.downloadsDir(), font->ttf_name);
    for (const QString &cached : {candidate1, candidate2}) {
        if (QFileInfo(cached).isFile()) {
            const int cachedResult = enableCachedFont(name, cached, applyAfter);
            if (cachedResult > 0)
                return cachedResult;
        }
    }

    const QUrl url(font->download_url);
    const QString archiveName = DownloadManager::archiveNameFor(url);
    const QString archive = m_ft.downloadsDir() + archiveName;
    if (!archiveName.isEmpty() && QFileInfo(archive).isFile()) {
        if (DownloadManager::extractInto(archive, m_ft.usedDir(),
                                         archivePassword(url.toString())) &&
            QFileInfo(candidate1).isFile()) {
            const int cachedResult = enableCachedFont(name, candidate1, applyAfter);
            if (cachedResult > 0)
                return cachedResult;
        }
        // A stored archive that does not unpack to a usable font (cut short, or an
        // error page saved as one) is fetched again instead of blocking the font for
        // good.
        m_ft.writeLog(QStringLiteral("cached archive of [%1] unusable, downloading again:%2")
                          .arg(name, archive));
    }

    if (m_downloads.startFontDownload(url, name, candidate1, m_marks->currentPageIndex(),
                                      applyAfter ? DownloadJob::ActivateApplyMode
                                                 : DownloadJob::ActivateMode) ||
        m_downloads.isDownloading(name))
        return 6;
    // No usable address: nothing will ever clear the busy mark otherwise.
    failDownload(name);
    reportProblem(
        QStringLiteral("the TTF of [%1] download failed,url:%2").arg(name, font->download_url));
    return -1;
}

int ActivationController::enableFont(const QString &name, const QString &path, bool applyAfter)
{
    if (name.isEmpty() || path.isEmpty())
        return -1;
    if (m_ft.isActivated(name)) {
        busyClear(name);
        return 1;
    }

    int r = -1;
    if (!QFileInfo(path).isFile()) {
        failMissingFile(name, path);
    } else {
        r = checkAndActivate(path, name);
        if (r > 0)
            return finishEnabled(name, r, applyAfter);
        showActivationResult(name, false);
        reportProblem(QStringLiteral("enable failed，[%1],[%2]").arg(name, path));
    }
    busyClear(name);
    return r;
}

int ActivationController::finishEnabled(const QString &name, int result, bool applyAfter)
{
    if (applyAfter) {
        // The busy mark stays until the font has been applied.
        QTimer::singleShot(kApplyDelayMs, Qt::PreciseTimer, this, [this, name] {
            if (const LocalFont *record = m_ft.activatedFont(name))
                applyFont(LocalFont(*record), name);
            else
                busyClear(name);
        });
        return result;
    }
    showActivationResult(name, true);
    busyClear(name);
    return result;
}

int ActivationController::enableCachedFont(const QString &name, const QString &path,
                                           bool applyAfter)
{
    const int r = checkAndActivate(path, name);
    if (r > 0)
        return finishEnabled(name, r, applyAfter);
    // A file cut short (interrupted extraction, full disk, wrong password) would
    // otherwise fail every pick; without it the font is fetched again.
    QFile::remove(path);
    m_ft.writeLog(QStringLiteral("cached font of [%1] unusable, removed:%2").arg(name, path));
    return r;
}

int ActivationController::checkAndActivate(const QString &path, const QString &name)
{
    if (name.isEmpty()) {
        m_ft.writeLog(QStringLiteral("fontname is empty while enabling font."));
        return -1;
    }
    if (!QFileInfo(path).isFile()) {
        m_ft.writeLog(QStringLiteral("file not exist while enabling font:") + path);
        return -1;
    }
    const int r = m_engine.activateFont(path, name, true);
    if (r > 0) {
        m_deactivated.remove(name);
        m_marks->fillLocalPage();
        m_marks->markActivated(name, true);
    }
    return r;
}

void ActivationController::applyFont(const LocalFont &record, const QString &name)
{
    // Every attempt counts, whatever its outcome.
    if (const auto font = m_ft.cloudFont(name))
        ++m_ft.activation[font->fontid];

    int r = m_engine.applyToApp(record);
    if (OfficeConsent::isOfficeUnreachable(r)) {
        // Kept beside the user data file, in the program's own data folder.
        const QString data = m_ft.userDataFile();
        m_officeConsent.setFile(data.isEmpty() ? QString()
                                               : QFileInfo(data).dir().filePath("office.ini"));
        if (m_officeConsent.mayConnect(r, *m_notifier) && m_officeConsent.switchOn())
            r = m_engine.applyToApp(record);
    }
    if (r == 0) {
        m_notifier->showTrayMessage(QStringLiteral("字体设置"),
                                name + QStringLiteral("已设置到当前应用"));
    } else {
        const QString message = QStringLiteral("不能与该应用程序进行字体交互。") +
                                ActivationEngine::interactionDetail(r);
        m_notifier->showTrayMessage(QStringLiteral("字体设置"), message);
        reportProblem(QStringLiteral("%1\r\n%2{host:%3;sub:%4;ps:%5}")
                          .arg(message, name, record.familyName, record.styleName, record.psName));
    }
    busyClear(name);
}

bool ActivationController::deactivateFont(const QString &name)
{
    if (isBusy(name) || !m_engine.deactivateFont(name)) {
        m_notifier->showTrayMessage(QStringLiteral("字体停用"), name + QStringLiteral("停用失败！"));
        return false;
    }
    m_deactivated.insert(name);
    m_unrecorded.erase(std::remove_if(m_unrecorded.begin(), m_unrecorded.end(),
                                      [&](const DownlistEntry &e) { return e.name == name; }),
                       m_unrecorded.end());
    m_marks->markActivated(name, false);
    m_marks->fillLocalPage();
    m_marks->refreshActivated();
    // Saved now, so that the next start does not bring it back even if this run ends
    // abruptly; entries still waiting for the start-up thread must not be lost by it.
    keepUnrecordedDownlist();
    m_ft.saveUserData();
    m_notifier->showTrayMessage(QStringLiteral("字体停用"), name + QStringLiteral("已停用"));
    return true;
}

QString ActivationController::cloudFontFile(const QString &name) const
{
    const auto font = m_ft.cloudFont(name);
    return font ? fileInside(m_ft.usedDir(), font->ttf_name) : QString();
}

bool ActivationController::fetchFont(const QString &name)
{
    const auto font = m_ft.cloudFont(name);
    const QString target = cloudFontFile(name);
    if (!font || target.isEmpty())
        return false;
    if (QFileInfo(target).isFile()) {
        emit fontFetched(name, target);
        return true;
    }
    if (m_downloads.isDownloading(name))
        return true;
    return m_downloads.startFontDownload(QUrl(font->download_url), name, target,
                                         m_marks->currentPageIndex(), DownloadJob::FetchMode);
}

void ActivationController::busyMark(const QString &name)
{
    m_busy.insert(name);
    m_marks->setBusy(name, true);
}

void ActivationController::busyClear(const QString &name)
{
    if (!m_busy.remove(name))
        return;
    m_marks->setBusy(name, false);
}

void ActivationController::rememberSavedDownlist()
{
    m_unrecorded = m_ft.userDataFile().isEmpty() ? QVector<DownlistEntry>()
                                                 : readSavedDownlist(m_ft.userDataFile());
}

ThreadForEnableFont *ActivationController::startEnableThread()
{
    if (m_enableThread)
        return m_enableThread;
    m_ft.writeLog(QStringLiteral("启动激活用户字体线程"));
    auto *thread = new ThreadForEnableFont();
    thread->setUserDataFile(m_ft.userDataFile());
    thread->setFontSystem(&m_engine.fontSystem());
    m_enableThread = thread;
    connect(thread, &QThread::finished, this, &ActivationController::onEnableThreadDone);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QObject::destroyed, this, &ActivationController::onEnableThreadDestroy);
    thread->start(QThread::InheritPriority);
    m_enableThreadBegun = true;
    return thread;
}

void ActivationController::stopEnableThread()
{
    if (!m_enableThread)
        return;
    m_enableThread->requestInterruption();
    m_enableThread->wait();
}

void ActivationController::keepUnrecordedDownlist()
{
    for (const DownlistEntry &entry : qAsConst(m_unrecorded)) {
        if (!entry.name.isEmpty() && !entry.path.isEmpty() && !m_ft.downlist.contains(entry.name))
            m_ft.downlist.insert(entry.name, entry.path);
    }
}

void ActivationController::onEnableThreadDone()
{
    const auto *thread = qobject_cast<const ThreadForEnableFont *>(sender());
    if (!thread)
        return;
    recordEnabledFonts(*thread);
}

void ActivationController::recordEnabledFonts(const ThreadForEnableFont &thread)
{
    // What the thread tried is settled now: recorded, or dropped because it no
    // longer registers. Only entries it never reached still wait.
    m_unrecorded = thread.unreachedEntries();

    const QVector<QString> &names = thread.registeredNames();
    const QVector<QString> &paths = thread.registeredPaths();
    const int n = qMin(names.size(), paths.size());
    if (n == 0)
        return;
    for (int i = 0; i < n; ++i) {
        const QString &name = names.at(i);
        const QString &path = paths.at(i);
        if (name.isEmpty() || path.isEmpty() || m_ft.isActivated(name))
            continue;
        if (m_deactivated.contains(name)) {
            m_engine.fontSystem().unregisterFontFile(path);
            continue;
        }
        const auto record = readLocalFont(path);
        if (!record)
            continue;
        m_ft.addActivated(name, *record, path);
        addToProcessFontDatabase(path);
        FontAV bare;
        bare.fontname = name;
        m_ft.loggedInUser().local.add(bare);
    }
    m_ft.writeLog(QStringLiteral("threadEnable finished."));
    // One announcement for every font of the run.
    m_engine.fontSystem().announceFontChange();
    m_notifier->showTrayMessage(QStringLiteral("本地字体加载"), QStringLiteral("用户字体加载完毕！"));
    m_ft.writeLog(QStringLiteral("用户字体加载完毕！"));
    m_marks->fillLocalPage();
    if (!m_ft.loggedInUser().local.isEmpty())
        m_marks->refreshActivated();
}

void ActivationController::onEnableThreadDestroy()
{
    m_enableThread = nullptr;
    m_ft.writeLog(QStringLiteral("threadEnable destroyed."));
}

void ActivationController::showActivationResult(const QString &name, bool ok)
{
    m_notifier->showTrayMessage(QStringLiteral("字体激活"), name + (ok ? QStringLiteral("激活成功")
                                                                   : QStringLiteral("激活失败！")));
}

void ActivationController::reportProblem(const QString &line)
{
    m_ft.writeLog(line);
    if (m_reporter)
        m_reporter->postBug(line);
}

void ActivationController::failDownload(const QString &name)
{
    busyClear(name);
    // The log line alone left the user looking at a card that did nothing.
    m_notifier->showTrayMessage(QStringLiteral("字体下载"),
                                name + QStringLiteral("下载失败，请检查网络后重试。"));
}

void ActivationController::failMissingFile(const QString &name, const QString &path)
{
    showActivationResult(name, false);
    reportProblem(QStringLiteral("enable failed，not find [%1]:[%2]").arg(name, path));
}
