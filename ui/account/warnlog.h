#pragma once

#include "widgets/warnpage.h"

// Favourites page when nobody is signed in; "登录" opens the login.
class WarnLog : public WarnPage
{
    Q_OBJECT

public:
    explicit WarnLog(QWidget *parent = nullptr);

signals:
    void loginClicked();
};
