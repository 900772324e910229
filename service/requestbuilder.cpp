#include "service/requestbuilder.h"

#include "service/signing.h"

#include <QMutex>
#include <QMutexLocker>
#include <QNetworkInterface>
#include <QSysInfo>

#include <algorithm>

namespace {

QList<InterfaceInfo> systemInterfaces()
{
    QList<InterfaceInfo> result;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        InterfaceInfo info;
        info.up = flags.testFlag(QNetworkInterface::IsUp);
        info.running = flags.testFlag(QNetworkInterface::IsRunning);
        info.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        info.hardwareAddress = iface.hardwareAddress();
        result.append(info);
    }
    return result;
}

struct MacCache
{
    QMutex mutex;
    QString value;
    std::function<QList<InterfaceInfo>()> source;
};

MacCache &macCache()
{
    static MacCache cache;
    return cache;
}

QString entry(const char *key, const QString &value)
{
    return QLatin1String(key) + QLatin1Char('=') + value;
}

void appendIfSet(QStringList &params, const char *key, const QString &value)
{
    if (!value.isEmpty())
        params.append(entry(key, value));
}

void appendIfPositive(QStringList &params, const char *key, qint64 value)
{
    if (value > 0)
        params.append(entry(key, QString::number(value)));
}

QStringList started(int tag)
{
    return {entry("tag", QString::number(tag))};
}

// "mac=" when known, "version=", "platform=": the inline set of the report requests.
void appendMacVersionPlatform(QStringList &params)
{
    appendIfSet(params, "mac", macAddress());
    params.append(entry("version", kClientVersion));
    params.append(entry("platform", kClientPlatform));
}

QString withCommonSet(QStringList params)
{
    commonParams(params);
    return signParams(params);
}

} // namespace

QString chooseMacAddress(const QList<InterfaceInfo> &interfaces)
{
    for (const InterfaceInfo &iface : interfaces) {
        if (iface.up && iface.running && !iface.loopback)
            return iface.hardwareAddress.split(QLatin1Char(':')).join(QLatin1Char('-'));
    }
    return QString();
}

QString macAddress()
{
    MacCache &cache = macCache();
    QMutexLocker lock(&cache.mutex);
    if (cache.value.isEmpty())
        cache.value = chooseMacAddress(cache.source ? cache.source() : systemInterfaces());
    return cache.value;
}

void setMacAddressSource(std::function<QList<InterfaceInfo>()> source)
{
    MacCache &cache = macCache();
    QMutexLocker lock(&cache.mutex);
    cache.source = std::move(source);
    cache.value.clear();
}

void commonParams(QStringList &params)
{
    appendIfSet(params, "mac", macAddress());
    params.append(entry("app_version", kClientVersion));
    params.append(entry("app_platform", kClientPlatform));
}

QString activationList(const QMap<int, int> &useCounts)
{
    if (useCounts.isEmpty())
        return QString();
    QStringList items;
    for (auto it = useCounts.cbegin(); it != useCounts.cend(); ++it) {
        if (it.key() < 1 || it.value() < 1)
            continue;
        items.append(QStringLiteral("{\"fid\":%1,\"num\":%2}").arg(it.key()).arg(it.value()));
    }
    return QStringLiteral("activation=[") + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

namespace RequestBuilder {

QString cloudList(const QString &token, const QString &content, const QString &sort,
                  const QString &tagIds, int page, int number, const QString &name)
{
    QStringList params = started(OpTag::CloudList);
    appendIfSet(params, "content", content);
    appendIfSet(params, "sort", sort);
    appendIfSet(params, "tag_id", tagIds);
    appendIfPositive(params, "page", page);
    appendIfPositive(params, "number", number);
    appendIfSet(params, "name", name);
    params.append(entry("version", kClientVersion));
    appendIfSet(params, "mac", macAddress());
    params.append(entry("app_platform", kClientPlatform));
    params.append(entry("token", token));
    return signParams(params);
}

QString allFonts(const QString &token)
{
    return cloudList(token, QString(), QString(), QString(), 1, 8000, QString());
}

QString fontTags()
{
    return withCommonSet(started(OpTag::FontTags));
}

QString usageReport(const QString &token, const QSet<int> &downloadIds,
                    const QMap<int, int> &useCounts)
{
    QStringList params = started(OpTag::UsageReport);
    params.append(entry("token", token));
    if (!downloadIds.isEmpty()) {
        QList<int> ids = downloadIds.values();
        std::sort(ids.begin(), ids.end());
        QStringList texts;
        for (int id : qAsConst(ids))
            texts.append(QString::number(id));
        params.append(entry("download_ids", texts.join(QLatin1Char(','))));
    }
    const QString activation = activationList(useCounts);
    if (!activation.isEmpty())
        params.append(activation);
    return withCommonSet(params);
}

QString collectFont(const QString &token, int fontId, bool add)
{
    QStringList params = started(add ? OpTag::CollectAdd : OpTag::CollectRemove);
    params.append(entry("token", token));
    params.append(entry("font_ids", QString::number(fontId)));
    return withCommonSet(params);
}

QString loveList(const QString &content, const QString &sort, const QString &token)
{
    QStringList params = started(OpTag::LoveList);
    appendIfSet(params, "content", content);
    appendIfSet(params, "sort", sort);
    params.append(entry("token", token));
    return withCommonSet(params);
}

QString login(const QString &name, const QString &password)
{
    QStringList params = started(OpTag::Login);
    params.append(entry("name", name));
    params.append(entry("password", password));
    params.append(entry("version", kClientVersion));
    params.append(entry("platform", kClientPlatform));
    appendIfSet(params, "mac", macAddress());
    return signParams(params);
}

QString sendPhoneCode(const QString &phone)
{
    QStringList params = started(OpTag::SendPhoneCode);
    params.append(entry("phone", phone));
    return withCommonSet(params);
}

QString registerAccount(const QString &phone, const QString &code, const QString &password)
{
    QStringList params = started(OpTag::RegisterAccount);
    params.append(entry("phone", phone));
    params.append(entry("code", code));
    params.append(entry("password", password));
    return withCommonSet(params);
}

QString acceptAgreement(const QString &token)
{
    QStringList params = started(OpTag::AcceptAgreement);
    params.append(entry("token", token));
    return withCommonSet(params);
}

QString modifyUser(const QString &headBase64, const QString &token, const QString &nickName,
                   int sex, const QString &introduce, const QString &birthday,
                   const QString &province, const QString &city)
{
    QStringList params;
    appendIfSet(params, "head", headBase64);
    params.append(entry("tag", QString::number(OpTag::ModifyUser)));
    params.append(entry("token", token));
    params.append(entry("nick_name", nickName));
    params.append(entry("sex", QString::number(sex)));
    params.append(entry("introduce", introduce));
    params.append(entry("birthday", birthday));
    params.append(entry("province", province));
    params.append(entry("city", city));
    commonParams(params);
    return signProfileParams(params);
}

QString bugPost(const QString &token, const QString &errorInfo, const QString &clientName,
                const QString &clientVersion)
{
    QStringList params = started(OpTag::BugPost);
    params.append(entry("token", token));
    params.append(entry("error_info", errorInfo));
    appendIfSet(params, "mac", macAddress());
    params.append(QStringLiteral("system=%1").arg(QSysInfo::productType()));
    params.append(QStringLiteral("system_version=%1").arg(QSysInfo::productVersion()));
    params.append(entry("app_version", kClientVersion));
    params.append(entry("platform", kClientPlatform));
    if (!clientName.isEmpty())
        params.append(QStringLiteral("client_name=%1").arg(clientName));
    if (!clientVersion.isEmpty())
        params.append(QStringLiteral("client_version=%1").arg(clientVersion));
    return signParams(params);
}

QString lastVersion()
{
    QStringList params = started(OpTag::LastVersion);
    params.append(entry("platform", kClientPlatform));
    params.append(entry("version", kClientVersion));
    return signParams(params);
}

QString installReport()
{
    QStringList params = started(OpTag::InstallReport);
    appendMacVersionPlatform(params);
    return signParams(params);
}

QString launchReport(const QString &token)
{
    QStringList params = started(OpTag::LaunchReport);
    appendIfSet(params, "token", token);
    appendMacVersionPlatform(params);
    return signParams(params);
}

QString durationReport(const QString &token, qint64 seconds)
{
    QStringList params = started(OpTag::DurationReport);
    params.append(entry("token", token));
    params.append(entry("duration", QString::number(seconds)));
    appendMacVersionPlatform(params);
    return signParams(params);
}

QString imageList(const QString &text, const QList<int> &fontIds)
{
    QStringList params = started(OpTag::ImageList);
    params.append(entry("str", text));
    QStringList ids;
    for (int id : fontIds)
        ids.append(QString::number(id));
    params.append(entry("fids", ids.join(QLatin1Char(','))));
    return withCommonSet(params);
}

QString updateLog(const QString &version)
{
    QStringList params = started(OpTag::UpdateLog);
    params.append(entry("version", version));
    return withCommonSet(params);
}

} // namespace RequestBuilder
