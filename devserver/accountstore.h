#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

// Everything the service remembers about people, in one SQLite file: accounts
// (passwords salted and hashed), verification codes, login tokens, agreement,
// profiles with head images, favourites and the reports clients send.
// Used from one thread only.
class AccountStore
{
public:
    enum class CodePurpose { Register = 1, Reset = 2 };
    enum class CodeCheck { Ok, Wrong, Expired, Missing };

    struct User
    {
        qint64 id = -1;
        QString phone;
        QString uname;
        QString nickName;
        QString email;
        QString introduce;
        QString birthday;
        QString province;
        QString city;
        QString type;
        int sex = 2;
        int isAgree = 0;
        int headRevision = 0; // 0: no head image yet
        QString headKey;      // the picture's unguessable name; empty without one
        int downloadCount = 0;
        int favouriteCount = 0;
    };

    struct Profile
    {
        QString nickName;
        int sex = 2;
        QString introduce;
        QString birthday;
        QString province;
        QString city;
    };

    AccountStore();
    ~AccountStore();
    AccountStore(const AccountStore &) = delete;
    AccountStore &operator=(const AccountStore &) = delete;

    // Creates the file for its owner alone.
    bool open(const QString &databasePath, QString *error);
    void setLimits(int tokenLifetimeSeconds, int tokensPerUser, int maxReports);

    // A fresh four-digit code for the phone, replacing any earlier one of that purpose.
    QString issueCode(const QString &phone, CodePurpose purpose);
    // A code is good for ten minutes and five attempts; a correct one is used up.
    CodeCheck consumeCode(const QString &phone, const QString &code, CodePurpose purpose);

    bool phoneRegistered(const QString &phone);
    // The new user's id, or -1.
    qint64 createUser(const QString &phone, const QString &password);
    // The user whose phone number or user name is `name` and whose password matches; -1 otherwise.
    qint64 authenticate(const QString &name, const QString &password);
    bool setPassword(qint64 userId, const QString &password);
    qint64 userIdForPhone(const QString &phone);
    // The phone number of the user known by that number or user name; `name` when none.
    QString phoneForName(const QString &name);

    // Beyond the limit per user, the oldest tokens are dropped.
    QString issueToken(qint64 userId);
    // -1 for an empty, unknown or expired token.
    qint64 userForToken(const QString &token);

    bool user(qint64 userId, User *out);
    bool setAgreed(qint64 userId);
    bool updateProfile(qint64 userId, const Profile &profile);
    // Stores a new head image (PNG bytes) under a new random name and returns the
    // name, or an empty string.
    QString setHeadImage(qint64 userId, const QByteArray &png);
    QByteArray headImage(const QString &key);

    bool addFavourite(qint64 userId, int fontId);
    bool removeFavourite(qint64 userId, int fontId);
    // Most recent first.
    QList<int> favourites(qint64 userId);
    QSet<int> favouriteSet(qint64 userId);

    bool recordDownloads(qint64 userId, const QList<int> &fontIds);
    // userId -1 for reports sent without a valid token. Long values are cut and only
    // the newest reports are kept.
    bool storeReport(int tag, qint64 userId, const QJsonObject &params);
    static constexpr int kMaxReportField = 4096;

private:
    bool exec(const QString &sql);

    QString m_connection;
    int m_tokenLifetime = 30 * 24 * 3600;
    int m_tokensPerUser = 10;
    int m_maxReports = 10000;
};

// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>".
QString hashPassword(const QString &password);
bool verifyPassword(const QString &password, const QString &stored);
