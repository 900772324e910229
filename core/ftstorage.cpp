#include "ftstorage.h"

#include "logging.h"
#include "version.h"
#include "autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

bool ensureDir(const QString &path) { return QDir(path).exists() || QDir().mkdir(path); }

} // namespace

bool FtStorage::initialize(UserProfile &loggedIn)
{
    loggedIn = UserProfile();
    m_preVersion.clear();
    autostart = bGuideDone = bSavePass = bAutoLogin = bLoginRead = bLogin = bOnline = false;
    activation.clear();
    download_ids.clear();
    downlist.clear();

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
    QFile file(path.isEmpty() ? m_userDataFile : path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    if (content.isEmpty())
        return false;

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromBase64(content), &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError || !doc.isObject())
        return true;
    const QJsonObject obj = doc.object();

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
    return true;
}

bool FtStorage::saveUserData(const UserProfile &loggedIn, const QString &path)
{
    // Written beside the old file and renamed over it, so a failed or interrupted
    // save never leaves a truncated file behind.
    QSaveFile file(path.isEmpty() ? m_userDataFile : path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The file holds the password: owner only.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    if (!bLogin)
        bAutoLogin = false;

    QJsonObject obj;
    obj.insert("m_preVersion", kProgramVersion);
    obj.insert("autostart", autostart);
    obj.insert("bGuideDone", bGuideDone);
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
    return file.commit();
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
