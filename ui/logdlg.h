#pragma once

#include <QDialog>
#include <QLabel>

class FtManager;
class LoginLogic;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;

// A short message over its parent that hides itself after a while.
class MyMsgBox : public QLabel
{
    Q_OBJECT
public:
    explicit MyMsgBox(QWidget *parent);
    // Below 100 ms the message stays 5000 ms.
    void showMessage(const QString &text, int durationMs);

private:
    QTimer *m_timer;
};

// The user agreement; accepted() tells the opener the answer after exec().
class AgreeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit AgreeDlg(QWidget *parent = nullptr);
    bool isAccepted() const { return m_accepted; }

private:
    bool m_accepted = false;
};

// Login and registration on two pages. The rules are in LoginLogic.
class LogDlg : public QDialog
{
    Q_OBJECT

public:
    LogDlg(FtManager &manager, QWidget *parent = nullptr);

    LoginLogic *logic() const { return m_logic; }
    QLineEdit *accountEdit() const { return m_account; }
    QLineEdit *passwordEdit() const { return m_password; }
    QCheckBox *rememberBox() const { return m_remember; }
    QCheckBox *autoBox() const { return m_auto; }
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
    QString m_lastMessage;
};
