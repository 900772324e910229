#pragma once

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Form bodies of every request the client sends to the font service.
//
// A body is an ordered list of "key=value" entries: "tag=<operation>" first, then the
// request's own parameters in a fixed order, then a set of common parameters; it is
// signed by signParams (signProfileParams for the profile upload). Optional parameters
// are left out entirely when empty (numbers: when not above 0). Builders have no side
// effects apart from filling the MAC cache.

// Operation tags, echoed by the service in the reply's "tag".
namespace OpTag {
constexpr int CloudList = 100;
constexpr int FontTags = 102;
constexpr int UsageReport = 103;
constexpr int CollectAdd = 105;
constexpr int CollectRemove = 106;
constexpr int LoveList = 107;
constexpr int Login = 114;
constexpr int SendPhoneCode = 115;
constexpr int RegisterAccount = 117;
constexpr int AcceptAgreement = 118;
constexpr int ModifyUser = 119;
constexpr int BugPost = 120;
constexpr int LastVersion = 121;
constexpr int InstallReport = 124;
constexpr int LaunchReport = 125;
constexpr int DurationReport = 126;
constexpr int ImageList = 127;
constexpr int UpdateLog = 128;
} // namespace OpTag

// Sent as "app_version="/"version=" and "app_platform="/"platform=".
inline const QString kClientVersion = QStringLiteral("0.9.5_beta");
inline const QString kClientPlatform = QStringLiteral("pc");

// What the MAC rule needs to know of one network interface.
struct InterfaceInfo
{
    bool up = false;
    bool running = false;
    bool loopback = false;
    QString hardwareAddress; // "AA:BB:CC:DD:EE:FF" as the system reports it
};

// The first interface that is up, running and not a loopback decides, even when it has
// no hardware address; its groups are rejoined with "-". Empty when none qualifies.
QString chooseMacAddress(const QList<InterfaceInfo> &interfaces);

// The process-wide MAC cache: filled from the system's interfaces on first use and
// again whenever it is still empty.
QString macAddress();

// Replaces where macAddress() reads the interfaces from (nullptr restores the system's)
// and empties the cache. For tests and tools that need a fixed or missing address.
void setMacAddressSource(std::function<QList<InterfaceInfo>()> source);

// Common set A: "mac=" (only when known), "app_version=", "app_platform=".
void commonParams(QStringList &params);

// "activation=[{"fid":1,"num":2},...]" in ascending id order, skipping ids or counts
// below 1; empty for an empty map.
QString activationList(const QMap<int, int> &useCounts);

namespace RequestBuilder {

// Tag 100. `page` and `number` are left out when not above 0.
QString cloudList(const QString &token, const QString &content, const QString &sort,
                  const QString &tagIds, int page, int number, const QString &name);
// The whole catalogue in one page: the request the catalogue loader sends.
QString allFonts(const QString &token);

QString fontTags(); // 102

// Tag 103. Downloaded ids go out in ascending order.
QString usageReport(const QString &token, const QSet<int> &downloadIds,
                    const QMap<int, int> &useCounts);

// Tags 105 (add) and 106 (remove).
QString collectFont(const QString &token, int fontId, bool add);

QString loveList(const QString &content, const QString &sort, const QString &token); // 107
QString login(const QString &name, const QString &password);                         // 114
QString sendPhoneCode(const QString &phone);                                         // 115
QString registerAccount(const QString &phone, const QString &code,
                        const QString &password); // 117
QString acceptAgreement(const QString &token);    // 118

// Tag 119. `headBase64` is the new head image as standard Base64, empty when unchanged.
QString modifyUser(const QString &headBase64, const QString &token, const QString &nickName,
                   int sex, const QString &introduce, const QString &birthday,
                   const QString &province, const QString &city);

// Tag 120. Client name and version are sent only when not empty.
QString bugPost(const QString &token, const QString &errorInfo,
                const QString &clientName = QString(), const QString &clientVersion = QString());

QString lastVersion();                                             // 121
QString installReport();                                           // 124
QString launchReport(const QString &token);                        // 125
QString durationReport(const QString &token, qint64 seconds);      // 126
QString imageList(const QString &text, const QList<int> &fontIds); // 127
QString updateLog(const QString &version);                         // 128

} // namespace RequestBuilder
