#include "update/updateoffer.h"

#include "core/version.h"
#include "fonts/ftmanager.h"
#include "platform/ownfolder.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"
#include "core/packageaddress.h"
#include "core/version.h"
#include "service/versioninfo.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {
#ifdef Q_OS_WIN
const char kUpdaterFile[] = "Vantorel.exe";
#else
const char kUpdaterFile[] = "vantorel";
#endif
} // namespace

UpdateOffer::UpdateOffer(FtManager &manager, const QString &programFile)
    : m_manager(manager), m_programFile(programFile),
      m_launcher([](const QString &program, const QStringList &arguments) {
          return QProcess::startDetached(program, arguments);
      })
{
}

UpdateOffer::State UpdateOffer::check()
{
    QByteArray bytes;
    const int result = postAndWait(RequestBuilder::lastVersion(), bytes, m_timeLimit, m_manager);
    if (result == PostSuccess)
        dispatchReply(bytes, m_manager);
    const LatestVersionInfo &info = latestVersionInfo();
    return decide(result, info.version, info.updateDownload);
}

UpdateOffer::~UpdateOffer()
{
    // A request still out must not call back into whoever asked, which may be going too.
    if (m_network)
        for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>())
            reply->disconnect();
}

void UpdateOffer::checkInBackground(QObject *context, const std::function<void(State)> &done)
{
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    postWithLimit(*m_network, RequestBuilder::lastVersion(), m_timeLimit, m_manager, context,
                  [this, done](int result, const QByteArray &bytes) {
                      if (result == PostSuccess)
                          dispatchReply(bytes, m_manager);
                      const LatestVersionInfo &info = latestVersionInfo();
                      done(decide(result, info.version, info.updateDownload));
                  });
}

void UpdateOffer::fetchUpdateLogInBackground(QObject *context,
                                             const std::function<void(QString)> &done)
{
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    postWithLimit(*m_network, RequestBuilder::updateLog(m_latest), m_timeLimit, m_manager, context,
                  [done](int result, const QByteArray &bytes) {
                      done(result == PostSuccess ? QJsonDocument::fromJson(bytes)
                                                       .object()
                                                       .value(QStringLiteral("content"))
                                                       .toString()
                                                 : QString());
                  });
}

UpdateOffer::State UpdateOffer::decide(int postResult, const QString &latest,
                                       const QString &packageUrl)
{
    if (postResult != PostSuccess) {
        m_state = CheckFailed;
        return m_state;
    }
    m_latest = latest;
    m_packageUrl = packageUrl;
    if (compareVersions(kProgramVersion, latest) != 0) {
        m_state = Latest;
    } else if (!isFolderWritable(QFileInfo(m_programFile).absolutePath())) {
        m_manager.writeLog(QStringLiteral("新版本%1：程序目录不可写，由系统的软件包管理器更新")
                               .arg(latest));
        m_state = PackageManager;
    } else if (!isUsablePackageUrl(packageUrl)) {
        // Never offered: accepting it could only fail.
        m_manager.writeLog(QStringLiteral("新版本%1：更新包地址无效，已拒绝:%2").arg(latest, packageUrl));
        m_state = CheckFailed;
    } else {
        m_state = Available;
    }
    return m_state;
}

QString UpdateOffer::fetchUpdateLog()
{
    QByteArray bytes;
    if (postAndWait(RequestBuilder::updateLog(m_latest), bytes, m_timeLimit, m_manager) !=
        PostSuccess)
        return QString();
    const QJsonObject reply = QJsonDocument::fromJson(bytes).object();
    return reply.value(QStringLiteral("content")).toString();
}

UpdateOffer::StartResult UpdateOffer::startUpdater()
{
    StartResult result = Started;
    if (m_state != Available)
        result = NotOffered;
    else if (m_packageUrl.isEmpty())
        result = NoPackage;
    else if (!isUsablePackageUrl(m_packageUrl))
        result = NotHttps;
    else if (!QFileInfo(updaterPath()).isExecutable())
        result = UpdaterMissing;
    else if (!m_launcher(updaterPath(), {m_programFile, m_packageUrl}))
        result = StartFailed;

    static const char *const reasons[] = {
        "更新程序已启动", "没有可用的更新", "更新包地址为空", "更新包地址不是https，已拒绝",
        "找不到更新程序", "更新程序启动失败"};
    m_manager.writeLog(QStringLiteral("%1:%2 %3")
                           .arg(QString::fromUtf8(reasons[result]), updaterPath(), m_packageUrl));
    return result;
}

QString UpdateOffer::failureText(StartResult result)
{
    switch (result) {
    case Started:
        return QString();
    case UpdaterMissing:
    case StartFailed:
        return QStringLiteral("更新程序无法启动，请稍后重试或重新安装。");
    default:
        return QStringLiteral("暂时无法更新，请稍后重试。");
    }
}

QString UpdateOffer::updaterPath() const
{
    return QFileInfo(m_programFile).absolutePath() + QLatin1Char('/') +
           QLatin1String(kUpdaterFile);
}

bool UpdateOffer::isFolderWritable(const QString &dir)
{
    // The updater replaces the files where they really are.
    const QString real = QFileInfo(dir).canonicalFilePath();
    return isOwnWritableFolder(real.isEmpty() ? dir : real);
}

bool UpdateOffer::isUsablePackageUrl(const QString &url)
{
    return isUsablePackageAddress(url);
}
