#pragma once

#include "widgets/framelessdlg.h"

class AccountSession;
class AgreeDlg;
class LoginLogic;
class MyMsgBox;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// Login and registration on two pages. The rules are in LoginLogic.
// The opener sets the anchor (setAnchor) and the place (centreOver) before exec().
class LogDlg : public FramelessDlg
{
    Q_OBJECT

public:
    LogDlg(AccountSession &session, QWidget *parent = nullptr, bool stayOnTop = true);

    LoginLogic *logic() const { return m_logic; }
    QLineEdit *accountEdit() const { return m_account; }
    QLineEdit *passwordEdit() const { return m_password; }
    QCheckBox *rememberBox() const { return m_remember; }
    QCheckBox *autoBox() const { return m_auto; }
    MyMsgBox *messageBox() const { return m_msg; }
    QString lastMessage() const { return m_lastMessage; }
    int currentPage() const;

public slots:
    void onlogin();
    void onOpenReg();
    void onOpenLog();
    void onReg();
    void onVerify();
    void onForgetPass();
    void onOpenAgree();

protected:
    void changeEvent(QEvent *event) override;

private:
    bool askAgreement();

    LoginLogic *m_logic;
    QStackedWidget *m_pages;
    QLineEdit *m_account;
    QLineEdit *m_password;
    QCheckBox *m_remember;
    QCheckBox *m_auto;
    QLineEdit *m_phone;
    QLineEdit *m_code;
    QLineEdit *m_regPassword;
    QPushButton *m_codeBt;
    QCheckBox *m_agree;
    MyMsgBox *m_msg;
    AgreeDlg *m_openAgree = nullptr;
    QString m_lastMessage;
};
