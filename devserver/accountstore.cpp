#include "devserver/accountstore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPbkdf2Iterations = 60000;
constexpr int kCodeLifetimeSeconds = 10 * 60;
constexpr int kCodeAttempts = 5;

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QByteArray randomBytes(int n)
{
    QByteArray bytes(n, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(bytes.data()), n) != 1) {
        for (int i = 0; i < n; ++i)
            bytes[i] = char(QRandomGenerator::system()->bounded(256));
    }
    return bytes;
}

QByteArray pbkdf2(const QByteArray &password, const QByteArray &salt, int iterations)
{
    QByteArray out(32, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), password.size(),
                          reinterpret_cast<const unsigned char *>(salt.constData()), salt.size(),
                          iterations, EVP_sha256(), out.size(),
                          reinterpret_cast<unsigned char *>(out.data())) != 1)
        return QByteArray();
    return out;
}

// Tokens are kept only as digests, so a copied database file logs nobody in.
QString tokenDigest(const QString &token)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    const QByteArray bytes = token.toUtf8();
    EVP_Digest(bytes.constData(), size_t(bytes.size()), md, &len, EVP_sha256(), nullptr);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(md), int(len)).toHex());
}

} // namespace

QString hashPassword(const QString &password)
{
    const QByteArray salt = randomBytes(16);
    const QByteArray hash = pbkdf2(password.toUtf8(), salt, kPbkdf2Iterations);
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(kPbkdf2Iterations)
        .arg(QString::fromLatin1(salt.toHex()), QString::fromLatin1(hash.toHex()));
}

bool verifyPassword(const QString &password, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String("pbkdf2-sha256"))
        return false;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    if (!ok || iterations < 1 || iterations > 10000000)
        return false;
    const QByteArray salt = QByteArray::fromHex(parts.at(2).toLatin1());
    const QByteArray expected = QByteArray::fromHex(parts.at(3).toLatin1());
    const QByteArray actual = pbkdf2(password.toUtf8(), salt, iterations);
    return !expected.isEmpty() && actual.size() == expected.size() &&
           CRYPTO_memcmp(actual.constData(), expected.constData(), size_t(actual.size())) == 0;
}

AccountStore::AccountStore()
{
    static std::atomic<int> counter{0};
    m_connection = QStringLiteral("devserver-accounts-%1").arg(++counter);
}

AccountStore::~AccountStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool AccountStore::exec(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (!q.exec(sql)) {
        qWarning("devserver: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

void AccountStore::setLimits(int tokenLifetimeSeconds, int tokensPerUser, int maxReports)
{
    m_tokenLifetime = tokenLifetimeSeconds;
    m_tokensPerUser = tokensPerUser;
    m_maxReports = maxReports;
}

bool AccountStore::open(const QString &databasePath, QString *error)
{
    // Accounts and codes are nobody else's business; SQLite gives its journals the
    // database file's mode.
    const QByteArray path = QFile::encodeName(databasePath);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        *error = QStringLiteral("cannot create %1 for its owner alone").arg(databasePath);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        ::chmod((path + suffix).constData(), 0600);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(databasePath);
    if (!db.open()) {
        *error = QStringLiteral("cannot open %1: %2").arg(databasePath, db.lastError().text());
        return false;
    }
    const QStringList schema = {
        "PRAGMA foreign_keys = ON",
        "CREATE TABLE IF NOT EXISTS users ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " phone TEXT NOT NULL UNIQUE,"
        " uname TEXT UNIQUE,"
        " password TEXT NOT NULL,"
        " nick_name TEXT NOT NULL DEFAULT '',"
        " email TEXT NOT NULL DEFAULT '',"
        " sex INTEGER NOT NULL DEFAULT 2,"
        " introduce TEXT NOT NULL DEFAULT '',"
        " birthday TEXT NOT NULL DEFAULT '',"
        " province TEXT NOT NULL DEFAULT '',"
        " city TEXT NOT NULL DEFAULT '',"
        " is_agree INTEGER NOT NULL DEFAULT 0,"
        " type TEXT NOT NULL DEFAULT '2',"
        " head_rev INTEGER NOT NULL DEFAULT 0,"
        " head_png BLOB,"
        " created_at INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS codes ("
        " phone TEXT NOT NULL, purpose INTEGER NOT NULL, code TEXT NOT NULL,"
        " expires_at INTEGER NOT NULL, attempts INTEGER NOT NULL DEFAULT 0,"
        " PRIMARY KEY (phone, purpose))",
        "CREATE TABLE IF NOT EXISTS tokens ("
        " digest TEXT PRIMARY KEY,"
        " user_id INTEGER NOT NULL REFERENCES users(id),"
        " created_at INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS favourites ("
        " user_id INTEGER NOT NULL REFERENCES users(id), font_id INTEGER NOT NULL,"
        " created_at INTEGER NOT NULL, PRIMARY KEY (user_id, font_id))",
        "CREATE TABLE IF NOT EXISTS downloads ("
        " user_id INTEGER NOT NULL REFERENCES users(id), font_id INTEGER NOT NULL,"
        " PRIMARY KEY (user_id, font_id))",
        "CREATE TABLE IF NOT EXISTS reports ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, tag INTEGER NOT NULL, user_id INTEGER,"
        " params TEXT NOT NULL, received_at INTEGER NOT NULL)",
    };
    for (const QString &sql : schema) {
        if (!exec(sql)) {
            *error = QStringLiteral("cannot set up %1").arg(databasePath);
            return false;
        }
    }
    // Head images are served under a random name; pictures stored before get one now.
    QSqlQuery columns(db);
    bool hasKey = false;
    if (columns.exec(QStringLiteral("PRAGMA table_info(users)"))) {
        while (columns.next())
            hasKey = hasKey || columns.value(1).toString() == QLatin1String("head_key");
    }
    if ((!hasKey && !exec(QStringLiteral("ALTER TABLE users ADD COLUMN head_key TEXT"))) ||
        !exec(QStringLiteral("UPDATE users SET head_key = lower(hex(randomblob(16)))"
                             " WHERE head_png IS NOT NULL AND head_key IS NULL"))) {
        *error = QStringLiteral("cannot set up %1").arg(databasePath);
        return false;
    }
    return true;
}

QString AccountStore::issueCode(const QString &phone, CodePurpose purpose)
{
    const QString code = QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(10000), 4, 10,
                                                  QLatin1Char('0'));
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("INSERT OR REPLACE INTO codes (phone, purpose, code, expires_at, attempts)"
              " VALUES (?, ?, ?, ?, 0)");
    q.addBindValue(phone);
    q.addBindValue(int(purpose));
    q.addBindValue(code);
    q.addBindValue(now() + kCodeLifetimeSeconds);
    return q.exec() ? code : QString();
}

AccountStore::CodeCheck AccountStore::consumeCode(const QString &phone, const QString &code,
                                                  CodePurpose purpose)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    q.prepare("SELECT code, expires_at, attempts FROM codes WHERE phone = ? AND purpose = ?");
    q.addBindValue(phone);
    q.addBindValue(int(purpose));
    if (!q.exec() || !q.next())
        return CodeCheck::Missing;
    const QString stored = q.value(0).toString();
    const qint64 expires = q.value(1).toLongLong();
    const int attempts = q.value(2).toInt();
    q.finish();

    QSqlQuery update(db);
    if (expires < now() || attempts >= kCodeAttempts) {
        update.prepare("DELETE FROM codes WHERE phone = ? AND purpose = ?");
        update.addBindValue(phone);
        update.addBindValue(int(purpose));
        update.exec();
        return CodeCheck::Expired;
    }
    if (stored != code) {
        update.prepare("UPDATE codes SET attempts = attempts + 1 WHERE phone = ? AND purpose = ?");
        update.addBindValue(phone);
        update.addBindValue(int(purpose));
        update.exec();
        return CodeCheck::Wrong;
    }
    update.prepare("DELETE FROM codes WHERE phone = ? AND purpose = ?");
    update.addBindValue(phone);
    update.addBindValue(int(purpose));
    update.exec();
    return CodeCheck::Ok;
}

bool AccountStore::phoneRegistered(const QString &phone)
{
    return userIdForPhone(phone) > 0;
}

qint64 AccountStore::userIdForPhone(const QString &phone)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT id FROM users WHERE phone = ?");
    q.addBindValue(phone);
    return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
}

QString AccountStore::phoneForName(const QString &name)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT phone FROM users WHERE phone = ? OR uname = ?");
    q.addBindValue(name);
    q.addBindValue(name);
    return q.exec() && q.next() ? q.value(0).toString() : name;
}

qint64 AccountStore::createUser(const QString &phone, const QString &password)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    db.transaction();
    QSqlQuery q(db);
    q.prepare("INSERT INTO users (phone, password, nick_name, created_at) VALUES (?, ?, ?, ?)");
    q.addBindValue(phone);
    q.addBindValue(hashPassword(password));
    q.addBindValue(phone);
    q.addBindValue(now());
    if (!q.exec()) {
        db.rollback();
        return -1;
    }
    const qint64 id = q.lastInsertId().toLongLong();
    // A user name of its own, so logging in by name and by phone can be told apart.
    QSqlQuery name(db);
    name.prepare("UPDATE users SET uname = ? WHERE id = ?");
    name.addBindValue(QStringLiteral("user%1").arg(10000 + id));
    name.addBindValue(id);
    if (!name.exec()) {
        db.rollback();
        return -1;
    }
    return db.commit() ? id : -1;
}

qint64 AccountStore::authenticate(const QString &name, const QString &password)
{
    if (name.isEmpty())
        return -1;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT id, password FROM users WHERE phone = ? OR uname = ?");
    q.addBindValue(name);
    q.addBindValue(name);
    if (!q.exec())
        return -1;
    while (q.next()) {
        if (verifyPassword(password, q.value(1).toString()))
            return q.value(0).toLongLong();
    }
    return -1;
}

bool AccountStore::setPassword(qint64 userId, const QString &password)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    db.transaction();
    QSqlQuery q(db);
    q.prepare("UPDATE users SET password = ? WHERE id = ?");
    q.addBindValue(hashPassword(password));
    q.addBindValue(userId);
    // A new password signs out every earlier login.
    QSqlQuery drop(db);
    drop.prepare("DELETE FROM tokens WHERE user_id = ?");
    drop.addBindValue(userId);
    if (!q.exec() || q.numRowsAffected() != 1 || !drop.exec()) {
        db.rollback();
        return false;
    }
    return db.commit();
}

QString AccountStore::issueToken(qint64 userId)
{
    const QString token = QString::fromLatin1(randomBytes(16).toHex());
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    q.prepare("INSERT INTO tokens (digest, user_id, created_at) VALUES (?, ?, ?)");
    q.addBindValue(tokenDigest(token));
    q.addBindValue(userId);
    q.addBindValue(now());
    if (!q.exec())
        return QString();
    QSqlQuery expired(db);
    expired.prepare("DELETE FROM tokens WHERE created_at <= ?");
    expired.addBindValue(now() - m_tokenLifetime);
    QSqlQuery surplus(db);
    surplus.prepare("DELETE FROM tokens WHERE user_id = ? AND rowid NOT IN (SELECT rowid FROM"
                    " tokens WHERE user_id = ? ORDER BY created_at DESC, rowid DESC LIMIT ?)");
    surplus.addBindValue(userId);
    surplus.addBindValue(userId);
    surplus.addBindValue(m_tokensPerUser);
    return expired.exec() && surplus.exec() ? token : QString();
}

qint64 AccountStore::userForToken(const QString &token)
{
    if (token.isEmpty())
        return -1;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT user_id FROM tokens WHERE digest = ? AND created_at > ?");
    q.addBindValue(tokenDigest(token));
    q.addBindValue(now() - m_tokenLifetime);
    return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
}

bool AccountStore::user(qint64 userId, User *out)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT id, phone, uname, nick_name, email, introduce, birthday, province, city,"
              " type, sex, is_agree, head_rev, head_key,"
              " (SELECT COUNT(*) FROM downloads WHERE user_id = users.id),"
              " (SELECT COUNT(*) FROM favourites WHERE user_id = users.id)"
              " FROM users WHERE id = ?");
    q.addBindValue(userId);
    if (!q.exec() || !q.next())
        return false;
    User u;
    u.id = q.value(0).toLongLong();
    u.phone = q.value(1).toString();
    u.uname = q.value(2).toString();
    u.nickName = q.value(3).toString();
    u.email = q.value(4).toString();
    u.introduce = q.value(5).toString();
    u.birthday = q.value(6).toString();
    u.province = q.value(7).toString();
    u.city = q.value(8).toString();
    u.type = q.value(9).toString();
    u.sex = q.value(10).toInt();
    u.isAgree = q.value(11).toInt();
    u.headRevision = q.value(12).toInt();
    u.headKey = q.value(13).toString();
    u.downloadCount = q.value(14).toInt();
    u.favouriteCount = q.value(15).toInt();
    *out = u;
    return true;
}

bool AccountStore::setAgreed(qint64 userId)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("UPDATE users SET is_agree = 1 WHERE id = ?");
    q.addBindValue(userId);
    return q.exec() && q.numRowsAffected() == 1;
}

bool AccountStore::updateProfile(qint64 userId, const Profile &p)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("UPDATE users SET nick_name = ?, sex = ?, introduce = ?, birthday = ?,"
              " province = ?, city = ? WHERE id = ?");
    q.addBindValue(p.nickName);
    q.addBindValue(p.sex);
    q.addBindValue(p.introduce);
    q.addBindValue(p.birthday);
    q.addBindValue(p.province);
    q.addBindValue(p.city);
    q.addBindValue(userId);
    return q.exec() && q.numRowsAffected() == 1;
}

QString AccountStore::setHeadImage(qint64 userId, const QByteArray &png)
{
    const QString key = QString::fromLatin1(randomBytes(16).toHex());
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("UPDATE users SET head_png = ?, head_rev = head_rev + 1, head_key = ? WHERE id = ?");
    q.addBindValue(png);
    q.addBindValue(key);
    q.addBindValue(userId);
    return q.exec() && q.numRowsAffected() == 1 ? key : QString();
}

QByteArray AccountStore::headImage(const QString &key)
{
    if (key.isEmpty())
        return QByteArray();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT head_png FROM users WHERE head_key = ?");
    q.addBindValue(key);
    return q.exec() && q.next() ? q.value(0).toByteArray() : QByteArray();
}

bool AccountStore::addFavourite(qint64 userId, int fontId)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("INSERT OR IGNORE INTO favourites (user_id, font_id, created_at) VALUES (?, ?, ?)");
    q.addBindValue(userId);
    q.addBindValue(fontId);
    q.addBindValue(now());
    return q.exec();
}

bool AccountStore::removeFavourite(qint64 userId, int fontId)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("DELETE FROM favourites WHERE user_id = ? AND font_id = ?");
    q.addBindValue(userId);
    q.addBindValue(fontId);
    return q.exec();
}

QList<int> AccountStore::favourites(qint64 userId)
{
    QList<int> ids;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("SELECT font_id FROM favourites WHERE user_id = ?"
              " ORDER BY created_at DESC, rowid DESC");
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next())
            ids.append(q.value(0).toInt());
    }
    return ids;
}

QSet<int> AccountStore::favouriteSet(qint64 userId)
{
    const QList<int> ids = favourites(userId);
    return QSet<int>(ids.begin(), ids.end());
}

bool AccountStore::recordDownloads(qint64 userId, const QList<int> &fontIds)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare("INSERT OR IGNORE INTO downloads (user_id, font_id) VALUES (?, ?)");
    for (int id : fontIds) {
        q.addBindValue(userId);
        q.addBindValue(id);
        if (!q.exec())
            return false;
    }
    return true;
}

bool AccountStore::storeReport(int tag, qint64 userId, const QJsonObject &params)
{
    QJsonObject capped;
    for (auto it = params.begin(); it != params.end(); ++it)
        capped.insert(it.key().left(64), it.value().toString().left(kMaxReportField));
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery trim(db);
    trim.prepare("DELETE FROM reports WHERE id <= (SELECT MAX(id) FROM reports) - ?");
    trim.addBindValue(m_maxReports - 1);
    if (!trim.exec())
        return false;
    QSqlQuery q(db);
    q.prepare("INSERT INTO reports (tag, user_id, params, received_at) VALUES (?, ?, ?, ?)");
    q.addBindValue(tag);
    q.addBindValue(userId > 0 ? QVariant(userId) : QVariant(QVariant::LongLong));
    q.addBindValue(QString::fromUtf8(QJsonDocument(capped).toJson(QJsonDocument::Compact)));
    q.addBindValue(now());
    return q.exec();
}
