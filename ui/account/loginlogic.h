#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class AccountSession;
class FtManager;
class QNetworkReply;

// The rules of the login dialog without its widgets: input checks, the login,
// verification code, registration and agreement requests, and what each reply means.
// Whether a reply signs the user in is the session's to record. The dialog shows
// message() texts in its toast and closes on signedIn().
class LoginLogic : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLoginPauseMs = 3000; // a login click is ignored this long after another
    static constexpr int kCodeCountdownSeconds = 60;

    explicit LoginLogic(AccountSession &session, QObject *parent = nullptr);

    // The check texts, or an empty string when the input passes.
    static QString phoneProblem(const QString &phone);
    static QString codeProblem(const QString &code);
    static QString passwordProblem(const QString &password);

    // The page that resets a forgotten password, on the web site the build names.
    static QUrl forgotPasswordUrl();
    static void setWebSiteUrl(const QUrl &base);

    // Each returns true when a request went out.
    bool login(const QString &account, const QString &password, bool savePass, bool autoLogin);
    bool requestCode(const QString &phone);
    bool registerAccount(const QString &phone, const QString &code, const QString &password,
                         bool agreed);
    // The answer to agreementNeeded(): accepted sends the agreement request.
    void answerAgreement(bool accepted);

    bool loginReady() const { return m_loginReady; }
    int countdown() const { return m_countdown; }
    // Text of the code button: "获取验证码", the seconds left, or "重获验证码".
    const QString &codeButtonText() const { return m_codeText; }
    bool isWaiting() const { return m_pending > 0; }

signals:
    void message(const QString &text);
    void codeButtonTextChanged(const QString &text);
    // A login succeeded for a user who has not accepted the user agreement yet.
    void agreementNeeded();
    // Signed in (login, agreement or registration): the dialog closes.
    void signedIn();
    // A reply was handled (tests wait on it).
    void replyHandled();

private:
    QNetworkReply *send(const QString &body, void (LoginLogic::*back)(const QByteArray &));
    void onLoginBack(const QByteArray &bytes);
    void onVerifyBack(const QByteArray &bytes);
    void onRegBack(const QByteArray &bytes);
    void onAgreeBack(const QByteArray &bytes);
    void onRegAgreeBack(const QByteArray &bytes);
    void finishRegistration();
    void onSecondChanged();
    bool emptyReply(const QByteArray &bytes, const char *logLine);
    void setCodeText(const QString &text);

    AccountSession &m_session;
    FtManager &m_ft;
    QNetworkAccessManager m_network;
    QTimer m_loginPause;
    QTimer m_countdownTimer;
    bool m_loginReady = true;
    int m_countdown = 0;
    int m_pending = 0;
    QString m_codeText;
    QString m_account, m_password;     // of the login under way
    QString m_regPhone, m_regPassword; // of the registration under way
};
