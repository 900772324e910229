#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>

class AccountStore;
class AssetStore;
class Catalogue;
class SignedForm;
class Throttle;
struct CatalogueFont;

// Error codes of the replies; 0 is the only success.
namespace ServiceError {
enum : int {
    BadSignature = 1001,
    BadParameter = 1002,
    UnknownOperation = 1003,
    TooFrequent = 1004,
    WrongPassword = 2001,
    NotSignedIn = 2002,
    BadPhone = 2003,
    WrongCode = 2004,
    PhoneTaken = 2005,
    BadPasswordLength = 2006,
    CodeExpired = 2007,
    BadHeadImage = 2008,
    TooManyAttempts = 2009,
    CodeTooSoon = 2010,
    UnknownFont = 3001,
    NoChangeLog = 3002,
    Internal = 5000,
};
}

// The operations of the protocol, one per tag, answered with the reply envelope
// ("errcode" number, "message" text, "tag" string of digits) and the payload the
// client reads. Runs on one thread, the one that owns the stores.
class FontService
{
public:
    using LinePrinter = std::function<void(const QString &)>;

    FontService(AccountStore *accounts, const Catalogue *catalogue, AssetStore *assets,
                const QString &latestVersion, LinePrinter print);

    // Limits on guessing and flooding; none when not set.
    void setThrottle(Throttle *throttle) { m_throttle = throttle; }

    // `base` is the service address as the client reaches it, ending in "/"; `client`
    // the caller's address.
    QJsonObject handle(const SignedForm &form, const QString &base,
                       const QString &client = QString());

    static QJsonObject envelope(int tag, int errcode, const QString &message);

private:
    QJsonObject catalogue(const SignedForm &form, const QString &base);
    QJsonObject tags(const SignedForm &form);
    QJsonObject usageReport(const SignedForm &form);
    QJsonObject collect(const SignedForm &form, bool add);
    QJsonObject loveList(const SignedForm &form, const QString &base);
    QJsonObject login(const SignedForm &form, const QString &base);
    QJsonObject sendCode(const SignedForm &form);
    QJsonObject registerAccount(const SignedForm &form);
    QJsonObject acceptAgreement(const SignedForm &form);
    QJsonObject modifyUser(const SignedForm &form);
    QJsonObject report(const SignedForm &form);
    QJsonObject lastVersion(const SignedForm &form, const QString &base);
    QJsonObject imageList(const SignedForm &form, const QString &base);
    QJsonObject updateLog(const SignedForm &form);

    // The refusal for a number locked after too many failures; empty when it may try.
    QJsonObject lockedReply(int tag, const QString &who);
    QJsonObject fontObject(const CatalogueFont &font, const QString &base, bool liked) const;

    AccountStore *m_accounts;
    const Catalogue *m_catalogue;
    AssetStore *m_assets;
    QString m_latestVersion;
    LinePrinter m_print;
    Throttle *m_throttle = nullptr;
    QString m_client;
};

// Eleven ASCII digits.
bool isPhoneNumber(const QString &text);
