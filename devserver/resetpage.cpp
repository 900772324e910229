#include "devserver/resetpage.h"

#include "devserver/accountstore.h"
#include "devserver/fontservice.h"
#include "devserver/throttle.h"
#include "devserver/updatepackage.h"

ResetPages::ResetPages(AccountStore *accounts, std::function<void(const QString &)> print,
                       Throttle *throttle)
    : m_accounts(accounts), m_print(std::move(print)), m_throttle(throttle)
{
}

HttpReply ResetPages::page(const QString &phone, const QString &notice, bool success)
{
    const QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        "<title>找回密码</title>"
        "<style>body{font-family:sans-serif;max-width:28em;margin:3em auto;color:#414141}"
        "label{display:block;margin-top:.8em}input{width:100%;padding:.4em;box-sizing:border-box}"
        "button{margin-top:1em;padding:.5em "
        "1.2em;background:#4EC4B8;color:#fff;border:0;border-radius:4px}"
        ".notice{padding:.6em;background:#f3f3f3;border-radius:4px}.ok{background:#e2f6e9}</style>"
        "</head><body><h1>找回密码</h1>%1"
        "<form method=\"post\" action=\"/index.php/Login/sendCode\">"
        "<label>手机号<input name=\"phone\" value=\"%2\" maxlength=\"11\"></label>"
        "<button type=\"submit\">获取验证码</button></form>"
        "<form method=\"post\" action=\"/index.php/Login/resetPwd\">"
        "<input type=\"hidden\" name=\"phone\" value=\"%2\">"
        "<label>验证码<input name=\"code\" maxlength=\"4\"></label>"
        "<label>新密码（6到20位）<input name=\"password\" type=\"password\" "
        "maxlength=\"20\"></label>"
        "<label>确认新密码<input name=\"password2\" type=\"password\" maxlength=\"20\"></label>"
        "<button type=\"submit\">重置密码</button></form>"
        "<p>开发服务不发送短信：验证码显示在服务的输出中。</p></body></html>\n");
    const QString noticeHtml =
        notice.isEmpty()
            ? QString()
            : QStringLiteral("<p class=\"notice%1\">%2</p>")
                  .arg(success ? QStringLiteral(" ok") : QString(), notice.toHtmlEscaped());
    HttpReply r;
    r.contentType = "text/html; charset=utf-8";
    r.body = html.arg(noticeHtml, phone.toHtmlEscaped()).toUtf8();
    return r;
}

HttpReply ResetPages::handle(const QString &method, const QString &path,
                             const QMap<QString, QString> &form, const QString &client)
{
    const QString phone = form.value(QStringLiteral("phone")).trimmed();
    if (method == QLatin1String("GET")) {
        const QByteArray group = groupPage(path);
        if (!group.isNull())
            return HttpReply{200, "text/html; charset=utf-8", group};
    }
    if (method == QLatin1String("GET") &&
        (path == QLatin1String("/") || path == QLatin1String(kPagePath)))
        return page(QString(), QString());

    if (method == QLatin1String("POST") && path == QLatin1String("/index.php/Login/sendCode")) {
        if (!isPhoneNumber(phone))
            return page(phone, QStringLiteral("手机号错误！"));
        if (!m_accounts->phoneRegistered(phone))
            return page(phone, QStringLiteral("该手机号尚未注册。"));
        if (const int locked = m_throttle->lockedFor(phone))
            return page(phone, lockedMessage(locked));
        if (const int wait = m_throttle->codeWait(QStringLiteral("reset ") + phone, client))
            return page(phone, codeWaitMessage(wait));
        const QString code = m_accounts->issueCode(phone, AccountStore::CodePurpose::Reset);
        if (code.isEmpty())
            return page(phone, QStringLiteral("服务器内部错误，请稍后再试。"));
        m_print(QStringLiteral("verification code for %1: %2").arg(phone, code));
        return page(phone, QStringLiteral("验证码已发送，请注意查收。"));
    }

    if (method == QLatin1String("POST") && path == QLatin1String("/index.php/Login/resetPwd")) {
        const QString code = form.value(QStringLiteral("code")).trimmed();
        const QString password = form.value(QStringLiteral("password"));
        if (!isPhoneNumber(phone))
            return page(phone, QStringLiteral("手机号错误！"));
        if (password.size() < 6 || password.size() > 20)
            return page(phone, QStringLiteral("密码长度应为6到20位。"));
        if (password != form.value(QStringLiteral("password2")))
            return page(phone, QStringLiteral("两次输入的密码不一致。"));
        const qint64 userId = m_accounts->userIdForPhone(phone);
        if (userId <= 0)
            return page(phone, QStringLiteral("该手机号尚未注册。"));
        // Tries count against the number, not the code, so new codes bring no new tries.
        if (const int locked = m_throttle->lockedFor(phone))
            return page(phone, lockedMessage(locked));
        if (m_accounts->consumeCode(phone, code, AccountStore::CodePurpose::Reset) !=
            AccountStore::CodeCheck::Ok) {
            m_throttle->failed(phone);
            return page(phone, QStringLiteral("验证码错误或已过期。"));
        }
        m_throttle->succeeded(phone);
        if (!m_accounts->setPassword(userId, password))
            return page(phone, QStringLiteral("服务器内部错误，请稍后再试。"));
        return page(QString(), QStringLiteral("密码已重置，请在客户端用新密码登录。"), true);
    }

    HttpReply r;
    r.status = 404;
    r.contentType = "text/plain; charset=utf-8";
    r.body = "not found\n";
    return r;
}
