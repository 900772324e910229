#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>

class FtManager;
class QNetworkReply;

// Who is signed in, without widgets. The only writer of the signed-in flag and of the
// session token (FtManager::bLogin and requestContext.token stay readable for the layers
// below, which cannot see this class). Logins, the agreement, automatic login and logout
// all end here; stateChanged() tells the window, which refreshes from it.
class AccountSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int kAutoLoginLimitMs = 10000;

    explicit AccountSession(FtManager &manager, QObject *parent = nullptr);
    ~AccountSession() override;

    FtManager &manager() const { return m_ft; }
    bool isSignedIn() const;
    const QString &token() const;

    // Favourites, activation and applying need an account. Signed in: true at once.
    // Otherwise loginNeeded() asks (notice, then the login dialog, run modally by whoever
    // listens) and the answer is whether that signed the user in.
    bool requireSignIn();
    static QString loginNeededTitle();
    static QString loginNeededText();

    // An interactive login starts: signed out until it completes; the tick boxes are kept.
    void beginLogin(bool savePass, bool autoLogin);
    // The reply was stored in the logged-in record: true when it may sign in at once;
    // false when the user agreement has to be accepted first.
    bool loginNeedsNoAgreement() const;
    // The stored reply signs the user in: its token becomes the session's.
    void completeSignIn();
    // A login that did not complete (declined or refused agreement, no answer): back to
    // the guest record, no token. The saved account stays for the login dialog.
    void abandonSignIn();
    // Logout: also drops automatic login and the session's favourites and head image.
    void signOut();

    // Automatic login: wanted while the user ticked it and an account and password are saved.
    bool autoLoginWanted() const;
    // Sends the login in the background; false (and nothing sent) when not wanted or one is
    // under way. autoLoginFinished() follows within the time limit.
    bool startAutoLogin();
    bool autoLoginRunning() const { return !m_autoReply.isNull(); }
    // After the service came back: tries again when the last automatic login got no answer
    // (a refused one is not repeated in this run).
    bool retryAutoLogin();
    void setAutoLoginLimit(int milliseconds) { m_autoLimitMs = milliseconds; }

signals:
    void stateChanged(bool signedIn);
    void loginNeeded(const QString &title, const QString &text);
    void autoLoginFinished(bool signedIn);

private:
    void setSignedIn(bool on, const QString &token);
    void onAutoLoginReply(int result, const QByteArray &bytes);

    FtManager &m_ft;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_autoReply;
    int m_autoLimitMs = kAutoLoginLimitMs;
    bool m_autoUnanswered = false;
};
