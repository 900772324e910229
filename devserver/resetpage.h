#pragma once

#include "devserver/assets.h"

#include <QMap>
#include <QString>

#include <functional>

class AccountStore;
class Throttle;

// The operator's web site, reduced to what the client links to: the page where a
// user who forgot the password gets a code (printed, like every code) and sets a
// new password. Served over plain HTTP.
class ResetPages
{
public:
    static constexpr const char *kPagePath = "/index.php/Login/forgetPwd.html";

    ResetPages(AccountStore *accounts, std::function<void(const QString &)> print,
               Throttle *throttle);

    // `client` is the caller's address.
    HttpReply handle(const QString &method, const QString &path, const QMap<QString, QString> &form,
                     const QString &client);

private:
    HttpReply page(const QString &phone, const QString &notice, bool success = false);

    AccountStore *m_accounts;
    std::function<void(const QString &)> m_print;
    Throttle *m_throttle;
};
