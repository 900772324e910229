#include "account/loginlogic.h"

#include "account/accountsession.h"
#include "buildconfig.h"
#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QDebug>
#include <QNetworkReply>

namespace {

QUrl &webSite()
{
    static QUrl url;
    return url;
}

bool allAsciiDigits(const QString &text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

LoginLogic::LoginLogic(AccountSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_ft(session.manager()), m_codeText(QStringLiteral("获取验证码"))
{
    m_loginPause.setSingleShot(true);
    m_loginPause.setInterval(kLoginPauseMs);
    connect(&m_loginPause, &QTimer::timeout, this, [this] { m_loginReady = true; });
    m_countdownTimer.setInterval(1000);
    connect(&m_countdownTimer, &QTimer::timeout, this, &LoginLogic::onSecondChanged);
}

QString LoginLogic::phoneProblem(const QString &phone)
{
    if (phone.isEmpty())
        return QStringLiteral("手机号不能为空！");
    if (phone.size() != 11 || !allAsciiDigits(phone))
        return QStringLiteral("手机号错误！");
    return QString();
}

QString LoginLogic::codeProblem(const QString &code)
{
    if (code.isEmpty())
        return QStringLiteral("验证码不能为空！");
    if (code.size() != 4 || !allAsciiDigits(code))
        return QStringLiteral("验证码错误！");
    return QString();
}

QString LoginLogic::passwordProblem(const QString &password)
{
    if (password.isEmpty())
        return QStringLiteral("密码不能为空！");
    if (password.size() < 6)
        return QStringLiteral("密码长度应大于6");
    if (password.size() > 20)
        return QStringLiteral("密码长度应小于20");
    return QString();
}

QUrl LoginLogic::forgotPasswordUrl()
{
    QUrl base = webSite();
    if (base.isEmpty())
        base = QUrl(QStringLiteral(QUILLORA_WEB_URL));
    return base.resolved(QUrl(QStringLiteral("index.php/Login/forgetPwd.html")));
}

void LoginLogic::setWebSiteUrl(const QUrl &base)
{
    webSite() = base;
}

QNetworkReply *LoginLogic::send(const QString &body, void (LoginLogic::*back)(const QByteArray &))
{
    ++m_pending;
    QNetworkReply *reply = postForm(m_network, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, back] {
        // An error reply usually has no body; it then reads as an empty reply below.
        const QByteArray bytes = reply->readAll();
        reply->abort();
        reply->deleteLater();
        --m_pending;
        (this->*back)(bytes);
        emit replyHandled();
    });
    return reply;
}

bool LoginLogic::emptyReply(const QByteArray &bytes, const char *logLine)
{
    if (!bytes.isEmpty())
        return false;
    m_ft.writeLog(QString::fromLatin1(logLine));
    emit message(QStringLiteral("网络异常"));
    return true;
}

bool LoginLogic::login(const QString &account, const QString &password, bool savePass,
                       bool autoLogin)
{
    if (!m_loginReady)
        return false;
    m_loginReady = false;
    m_loginPause.start();

    m_session.beginLogin(savePass, autoLogin);
    if (account.isEmpty()) {
        emit message(QStringLiteral("手机号或用户名不能为空！"));
        return false;
    }
    if (password.isEmpty()) {
        emit message(QStringLiteral("密码不能为空！"));
        return false;
    }
    m_account = account;
    m_password = password;
    send(RequestBuilder::login(account, password), &LoginLogic::onLoginBack);
    return true;
}

void LoginLogic::onLoginBack(const QByteArray &bytes)
{
    if (emptyReply(bytes, "login failed,back empty."))
        return;
    const ReplyEnvelope envelope = dispatchReply(bytes, m_ft);
    qDebug().noquote() << QStringLiteral("log:errcode=") + QString::number(envelope.errcode);
    if (!envelope.succeeded()) {
        emit message(envelope.message);
        return;
    }
    UserRecord &user = m_ft.loggedInUser();
    user.user = m_account;
    user.pass = m_password;
    qDebug().noquote()
        << QStringLiteral("log:usr_type=%1,nAgree=%2;").arg(user.type).arg(user.is_agree);
    if (m_session.loginNeedsNoAgreement()) {
        m_session.completeSignIn();
        emit signedIn();
        return;
    }
    emit agreementNeeded();
}

void LoginLogic::answerAgreement(bool accepted)
{
    if (!accepted) {
        // Signed out again: the session of this reply must not be used by anything.
        m_session.abandonSignIn();
        return;
    }
    send(RequestBuilder::acceptAgreement(m_ft.loggedInUser().token), &LoginLogic::onAgreeBack);
}

void LoginLogic::onAgreeBack(const QByteArray &bytes)
{
    // Until the service has recorded the agreement the login is not complete: a refused
    // or missing answer undoes it as declining does, and says why.
    if (emptyReply(bytes, "agree failed,back empty.")) {
        m_session.abandonSignIn();
        return;
    }
    const ReplyEnvelope envelope = dispatchReply(bytes, m_ft);
    if (!envelope.succeeded()) {
        m_session.abandonSignIn();
        emit message(envelope.message);
        return;
    }
    m_ft.loggedInUser().is_agree = 1;
    m_session.completeSignIn();
    emit signedIn();
}

bool LoginLogic::requestCode(const QString &phone)
{
    if (m_countdown > 0) {
        emit message(QString::number(m_countdown) + QStringLiteral("s后才能再次请求"));
        return false;
    }
    const QString problem = phoneProblem(phone);
    if (!problem.isEmpty()) {
        emit message(problem);
        return false;
    }
    send(RequestBuilder::sendPhoneCode(phone), &LoginLogic::onVerifyBack);
    return true;
}

void LoginLogic::onVerifyBack(const QByteArray &bytes)
{
    if (emptyReply(bytes, "verify failed,back empty."))
        return;
    const ReplyEnvelope envelope = dispatchReply(bytes, m_ft);
    if (!envelope.succeeded()) {
        emit message(envelope.message);
        return;
    }
    m_countdown = kCodeCountdownSeconds;
    setCodeText(QString::number(m_countdown) + QStringLiteral(" s"));
    emit message(QStringLiteral("验证码已发送，请注意查收"));
    m_countdownTimer.start();
}

void LoginLogic::onSecondChanged()
{
    if (m_countdown > 0) {
        --m_countdown;
        setCodeText(QString::number(m_countdown) + QStringLiteral(" s"));
    }
    if (m_countdown <= 0) {
        m_countdownTimer.stop();
        setCodeText(QStringLiteral("重获验证码"));
    }
}

void LoginLogic::setCodeText(const QString &text)
{
    m_codeText = text;
    emit codeButtonTextChanged(text);
}

bool LoginLogic::registerAccount(const QString &phone, const QString &code, const QString &password,
                                 bool agreed)
{
    m_session.beginLogin(m_ft.bSavePass, m_ft.bAutoLogin);
    QString problem = phoneProblem(phone);
    if (problem.isEmpty())
        problem = codeProblem(code);
    if (problem.isEmpty())
        problem = passwordProblem(password);
    if (problem.isEmpty() && !agreed)
        problem = QStringLiteral("您需同意协议，才能完成注册");
    if (!problem.isEmpty()) {
        emit message(problem);
        return false;
    }
    m_regPhone = phone;
    m_regPassword = password;
    send(RequestBuilder::registerAccount(phone, code, password), &LoginLogic::onRegBack);
    return true;
}

void LoginLogic::onRegBack(const QByteArray &bytes)
{
    if (emptyReply(bytes, "reg failed,back empty."))
        return;
    const ReplyEnvelope envelope = dispatchReply(bytes, m_ft);
    if (!envelope.succeeded()) {
        emit message(envelope.message);
        return;
    }
    UserRecord &user = m_ft.loggedInUser();
    user.user = m_regPhone;
    user.pass = m_regPassword;
    // Registering needs the agreement ticked, but the registration request cannot carry
    // it: record it on the service now, or the first login would ask for it again.
    send(RequestBuilder::acceptAgreement(user.token), &LoginLogic::onRegAgreeBack);
}

void LoginLogic::onRegAgreeBack(const QByteArray &bytes)
{
    // The account exists and is signed in either way; without the record the next
    // login asks for the agreement, as for any account that has not accepted it.
    if (!bytes.isEmpty() && dispatchReply(bytes, m_ft).succeeded())
        m_ft.loggedInUser().is_agree = 1;
    else
        m_ft.writeLog(QStringLiteral("reg agree failed."));
    finishRegistration();
}

void LoginLogic::finishRegistration()
{
    m_session.completeSignIn();
    emit message(QStringLiteral("注册成功，已进入登录状态。"));
    emit signedIn();
}
