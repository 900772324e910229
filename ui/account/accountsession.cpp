#include "account/accountsession.h"

#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QNetworkReply>

AccountSession::AccountSession(FtManager &manager, QObject *parent)
    : QObject(parent), m_ft(manager)
{
}

AccountSession::~AccountSession()
{
    // A reply still under way must not call back into a session that is going.
    if (QNetworkReply *reply = m_autoReply) {
        reply->disconnect(this);
        reply->abort();
    }
}

bool AccountSession::isSignedIn() const
{
    return m_ft.bLogin;
}

const QString &AccountSession::token() const
{
    return m_ft.requestContext.token;
}

QString AccountSession::loginNeededTitle()
{
    return QStringLiteral("提示");
}

QString AccountSession::loginNeededText()
{
    return QStringLiteral("字体激活、收藏、应用操作，需要登录后才可进行。");
}

bool AccountSession::requireSignIn()
{
    if (isSignedIn())
        return true;
    emit loginNeeded(loginNeededTitle(), loginNeededText());
    return isSignedIn();
}

void AccountSession::setSignedIn(bool on, const QString &token)
{
    const bool changed = m_ft.bLogin != on || m_ft.requestContext.token != token;
    m_ft.bLogin = on;
    m_ft.requestContext.token = token;
    if (on)
        m_ft.switchToLoggedIn();
    else
        m_ft.switchToGuest();
    if (changed)
        emit stateChanged(on);
}

void AccountSession::beginLogin(bool savePass, bool autoLogin)
{
    // The dialog's login replaces a background one still waiting.
    if (QNetworkReply *reply = m_autoReply) {
        m_autoReply = nullptr;
        reply->disconnect(this);
        reply->abort();
        emit autoLoginFinished(false);
    }
    m_ft.bSavePass = savePass;
    m_ft.bAutoLogin = autoLogin;
    setSignedIn(false, QString());
}

bool AccountSession::loginNeedsNoAgreement() const
{
    const UserRecord &user = m_ft.loggedInUser();
    return user.type.toInt() == 2 && user.is_agree == 1;
}

void AccountSession::completeSignIn()
{
    setSignedIn(true, m_ft.loggedInUser().token);
}

void AccountSession::abandonSignIn()
{
    m_ft.loggedInUser().token.clear();
    setSignedIn(false, QString());
}

void AccountSession::signOut()
{
    m_ft.bAutoLogin = false;
    m_autoUnanswered = false;
    m_ft.loggedInUser().token.clear();
    m_ft.resetLoggedInUser();
    setSignedIn(false, QString());
}

bool AccountSession::autoLoginWanted() const
{
    const UserRecord &user = m_ft.loggedInUser();
    return m_ft.bAutoLogin && !user.user.isEmpty() && !user.pass.isEmpty();
}

bool AccountSession::startAutoLogin()
{
    if (!autoLoginWanted() || autoLoginRunning() || isSignedIn())
        return false;
    const UserRecord &user = m_ft.loggedInUser();
    m_autoReply = postWithLimit(m_network, RequestBuilder::login(user.user, user.pass),
                                m_autoLimitMs, m_ft, this,
                                [this](int result, const QByteArray &bytes) {
                                    onAutoLoginReply(result, bytes);
                                });
    return true;
}

bool AccountSession::retryAutoLogin()
{
    return m_autoUnanswered && startAutoLogin();
}

void AccountSession::onAutoLoginReply(int result, const QByteArray &bytes)
{
    m_autoReply = nullptr;
    m_autoUnanswered = result == PostTimedOut || result == PostNetworkError;
    if (result == PostSuccess)
        dispatchReply(bytes, m_ft);
    // Refused, unanswered, or an account that still has to accept the agreement (the
    // login dialog asks for it): signed out, the saved account kept for that dialog.
    if (result == PostSuccess && loginNeedsNoAgreement())
        completeSignIn();
    else
        abandonSignIn();
    emit autoLoginFinished(isSignedIn());
}
