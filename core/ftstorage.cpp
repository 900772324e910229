#include "core/ftstorage.h"

#include "core/logging.h"
#include "core/version.h"
#include "platform/autostart.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPair>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <functional>

namespace {

bool ensureDir(const QString &path) { return QDir(path).exists() || QDir().mkdir(path); }

bool isArrayOf(const QJsonValue &value, const std::function<bool(const QJsonObject &)> &fits)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(), [&fits](const QJsonValue &element) {
        return element.isObject() && fits(element.toObject());
    });
}

// False when a known key holds a value of another type, which the load reads as
// its default and a save would then write back in place of the stored one.
bool hasExpectedTypes(const QJsonObject &obj)
{
    static const QPair<const char *, QJsonValue::Type> kScalars[] = {
        {"m_preVersion", QJsonValue::String}, {"autostart", QJsonValue::Bool},
        {"bGuideDone", QJsonValue::Bool},     {"bSavePass", QJsonValue::Bool},
        {"bAutoLogin", QJsonValue::Bool},     {"user", QJsonValue::String},
        {"pass", QJsonValue::String},         {"download_ids", QJsonValue::String},
        {"previewKind", QJsonValue::Double},  {"previewText", QJsonValue::String},
        {"cardHeight", QJsonValue::Double},
    };
    for (const auto &scalar : kScalars) {
        const QJsonValue value = obj.value(QLatin1String(scalar.first));
        if (!value.isUndefined() && value.type() != scalar.second)
            return false;
    }
    const auto activationFits = [](const QJsonObject &entry) {
        return entry.value(QLatin1String("fid")).isDouble() &&
               entry.value(QLatin1String("num")).isDouble();
    };
    const auto downlistFits = [](const QJsonObject &entry) {
        return entry.value(QLatin1String("fontname")).isString() &&
               entry.value(QLatin1String("fontfile")).isString();
    };
    return (!obj.contains(QLatin1String("activation")) ||
            isArrayOf(obj.value(QLatin1String("activation")), activationFits)) &&
           (!obj.contains(QLatin1String("downlist")) ||
            isArrayOf(obj.value(QLatin1String("downlist")), downlistFits));
}

// Every key this version reads or writes; others belong to other versions sharing the file.
const char *const kKnownKeys[] = {"m_preVersion", "autostart", "bGuideDone", "bSavePass",
                                  "bAutoLogin",   "user",      "pass",       "downlist",
                                  "activation",   "download_ids", "previewKind", "previewText",
                                  "cardHeight"};

} // namespace

bool FtStorage::initialize(UserProfile &loggedIn)
{
    loggedIn = UserProfile();
    m_preVersion.clear();
    autostart = bGuideDone = bSavePass = bAutoLogin = bLoginRead = false;
    previewKind = cardHeight = 0;
    previewText.clear();
    activation.clear();
    download_ids.clear();
    downlist.clear();
    m_otherKeys = QJsonObject();

    createDirectories();
    const bool loaded = loadUserData(loggedIn);
    // A fresh installation offers remembered password and automatic login.
    if (!bLoginRead || loggedIn.user.isEmpty())
        bAutoLogin = bSavePass = true;
    return loaded;
}

void FtStorage::computePaths()
{
    m_userDataFile =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/UsrMsg.json";
    m_rootDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                "/TessalyFont" + "/";
    m_downloadsDir = m_rootDir + "downft/";
    m_messagesDir = m_rootDir + "msg/";
    m_imagesDir = m_rootDir + "imgs/";
    m_usedDir = m_downloadsDir + "used/";
}

bool FtStorage::createDirectories()
{
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // The documents folder itself may be missing on a fresh account; mkpath covers it.
    if (!QDir(appData).exists())
        QDir().mkpath(appData);
    computePaths();

    if (!QDir(m_rootDir).exists() && !QDir().mkpath(m_rootDir))
        return false;
    // All three are attempted even when one fails.
    const bool messages = ensureDir(m_messagesDir);
    const bool images = ensureDir(m_imagesDir);
    const bool downloads = ensureDir(m_downloadsDir);
    if (!messages || !images || !downloads)
        return false;
    if (!ensureDir(m_usedDir))
        return false;
    m_headImageFile = m_messagesDir + "head.png";
    return true;
}

bool FtStorage::loadUserData(UserProfile &loggedIn, const QString &path)
{
    const QString target = path.isEmpty() ? m_userDataFile : path;
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxUserDataBytes) {
        // Not read whole into memory; kept aside untouched before the next save.
        m_unreadableFiles.insert(target);
        return true;
    }
    const QByteArray content = file.readAll();
    if (content.isEmpty())
        return false;
    if (readUserData(content, loggedIn))
        m_unreadableFiles.remove(target);
    else
        m_unreadableFiles.insert(target);
    return true;
}

bool FtStorage::readUserData(const QByteArray &content, UserProfile &loggedIn)
{
    m_otherKeys = QJsonObject();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromBase64(content), &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject obj = doc.object();

    // Keys of newer or older versions go back into the file at the next save.
    m_otherKeys = obj;
    for (const char *key : kKnownKeys)
        m_otherKeys.remove(QLatin1String(key));

    if (obj.contains("m_preVersion"))
        m_preVersion = obj.value("m_preVersion").toString();
    if (obj.contains("autostart"))
        autostart = obj.value("autostart").toBool();
    if (obj.contains("bGuideDone"))
        bGuideDone = obj.value("bGuideDone").toBool();
    if (obj.contains("bSavePass")) {
        bSavePass = obj.value("bSavePass").toBool();
        bLoginRead = true;
    }
    if (obj.contains("bAutoLogin")) {
        bAutoLogin = obj.value("bAutoLogin").toBool();
        bLoginRead = true;
    }
    if (obj.contains("previewKind"))
        previewKind = obj.value("previewKind").toInt();
    if (obj.contains("previewText"))
        previewText = obj.value("previewText").toString();
    if (obj.contains("cardHeight"))
        cardHeight = obj.value("cardHeight").toInt();
    if (obj.contains("user"))
        loggedIn.user = obj.value("user").toString();
    if (obj.contains("pass"))
        loggedIn.pass = obj.value("pass").toString();
    if (obj.contains("activation")) {
        const QJsonArray entries = obj.value("activation").toArray();
        for (const QJsonValue &entry : entries) {
            if (!entry.isObject())
                continue;
            const int fid = entry.toObject().value("fid").toInt(0);
            if (fid > 0)
                activation.insert(fid, entry.toObject().value("num").toInt(0));
        }
    }
    if (obj.contains("download_ids")) {
        const QStringList ids = obj.value("download_ids").toString().split(',', Qt::KeepEmptyParts);
        for (const QString &id : ids) {
            const int value = id.toInt(nullptr, 10);
            if (value > 0)
                download_ids.insert(value);
        }
    }
    // "downlist" is read by the start-up activation, which registers the files again.
    return hasExpectedTypes(obj);
}

bool FtStorage::saveUserData(const UserProfile &loggedIn, const QString &path)
{
    // Written beside the old file and renamed over it, so a failed or interrupted
    // save never leaves a truncated file behind.
    const QString target = path.isEmpty() ? m_userDataFile : path;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The file holds the password: owner only.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    if (!bLogin)
        bAutoLogin = false;

    QJsonObject obj = m_otherKeys;
    obj.insert("m_preVersion", kProgramVersion);
    obj.insert("autostart", autostart);
    obj.insert("bGuideDone", bGuideDone);
    if (previewKind != 0)
        obj.insert("previewKind", previewKind);
    if (!previewText.isEmpty())
        obj.insert("previewText", previewText);
    if (cardHeight > 0)
        obj.insert("cardHeight", cardHeight);
    if (!loggedIn.user.isEmpty()) {
        obj.insert("user", loggedIn.user);
        obj.insert("bSavePass", bSavePass);
        obj.insert("bAutoLogin", bAutoLogin);
    }
    if (bSavePass)
        obj.insert("pass", loggedIn.pass);
    if (!downlist.isEmpty()) {
        QJsonArray list;
        for (auto it = downlist.cbegin(); it != downlist.cend(); ++it)
            list.append(QJsonObject{{"fontname", it.key()}, {"fontfile", it.value()}});
        obj.insert("downlist", list);
    }
    if (!activation.isEmpty()) {
        QJsonArray list;
        for (auto it = activation.cbegin(); it != activation.cend(); ++it)
            list.append(QJsonObject{{"fid", it.key()}, {"num", it.value()}});
        obj.insert("activation", list);
    }
    if (!download_ids.isEmpty()) {
        QList<int> ids = download_ids.values();
        std::sort(ids.begin(), ids.end());
        QStringList texts;
        for (int id : qAsConst(ids))
            texts << QString::number(id);
        obj.insert("download_ids", texts.join(','));
    }

    const QByteArray json = QJsonDocument(obj).toJson(QJsonDocument::Compact);
    if (json.isEmpty()) {
        file.cancelWriting();
        return false;
    }
    const QByteArray encoded = json.toBase64();
    // flush() before commit(): QSaveFile would otherwise rename a file whose buffered
    // tail failed to reach the disk.
    if (file.write(encoded) != encoded.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    if (!keepUnreadableFile(target)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool FtStorage::keepUnreadableFile(const QString &path)
{
    if (!m_unreadableFiles.contains(path))
        return true;
    if (!QFileInfo::exists(path)) {
        m_unreadableFiles.remove(path);
        return true;
    }
    // Defaults are about to replace what this run could not read (a damaged copy
    // may still hold the user's name, password and counts), so the old bytes move
    // aside under a name no earlier copy has.
    const QString stamped =
        path + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = stamped;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = stamped + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside)) {
        writeLog(QStringLiteral("user data file unreadable and cannot be moved aside, not saved:") +
                 path);
        return false;
    }
    m_unreadableFiles.remove(path);
    writeLog(QStringLiteral("user data file unreadable, moved aside:") + aside);
    return true;
}

void FtStorage::writeLog(const QString &text, const QString &fileName)
{
    if (text.isEmpty())
        return;
    if (m_messagesDir.isEmpty() || !QDir(m_messagesDir).exists())
        createDirectories();
    appendEventLine(m_messagesDir + fileName, text);
}

void FtStorage::deleteHeadImage()
{
    if (!m_headImageFile.isEmpty() && QFile::exists(m_headImageFile))
        QFile::remove(m_headImageFile);
}

bool FtStorage::setAutoStart(bool on)
{
    return setStartAtLogin(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()), on);
}

bool FtStorage::imageCacheIsStale() const
{
    return m_preVersion.isEmpty() || compareVersions(kProgramVersion, m_preVersion) == 2;
}

void FtStorage::clearImageCache()
{
    if (m_imagesDir.isEmpty())
        return;
    const QFileInfoList entries =
        QDir(m_imagesDir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}
