#include "account/logdlg.h"

#include "account/accountsession.h"
#include "account/agreedlg.h"
#include "account/resetpage.h"
#include "widgets/btlabel.h"
#include "fonts/ftmanager.h"
#include "account/loginlogic.h"
#include "widgets/mymsgbox.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

using DlgLook::px;

namespace {

QVBoxLayout *pageColumn(QWidget *page, const QString &title)
{
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(px(24), px(18), px(24), px(18));
    column->setSpacing(px(12));
    auto *heading = new QLabel(title, page);
    QFont big = heading->font();
    big.setPixelSize(px(18));
    heading->setFont(big);
    heading->setStyleSheet(QStringLiteral("color:#333333;"));
    column->addWidget(heading);
    column->addSpacing(px(6));
    return column;
}

QLineEdit *field(QWidget *page, const QString &placeholder)
{
    auto *edit = new QLineEdit(page);
    edit->setPlaceholderText(placeholder);
    edit->setStyleSheet(DlgLook::lineEdit());
    edit->setFixedHeight(px(36));
    return edit;
}

QCheckBox *tick(QWidget *page, const QString &text)
{
    auto *box = new QCheckBox(text, page);
    box->setStyleSheet(QStringLiteral("QCheckBox{color:#4D4D4D;spacing:%1px;}"
                                      "QCheckBox::indicator{width:%2px;height:%2px;}")
                           .arg(px(4))
                           .arg(px(13)));
    box->setCursor(Qt::PointingHandCursor);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

BtLabel *linkLabel(QWidget *page, const QString &text)
{
    auto *link = new BtLabel(text, page);
    link->setStyleSheet(DlgLook::link());
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

QPushButton *mainButton(QWidget *page, const QString &text)
{
    auto *bt = new QPushButton(text, page);
    bt->setStyleSheet(DlgLook::primaryButton());
    bt->setFixedHeight(px(38));
    bt->setCursor(Qt::PointingHandCursor);
    return bt;
}

// "question" + link, centred at the foot of a page.
QHBoxLayout *footer(QWidget *page, const QString &question, BtLabel *link)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *plain = new QLabel(question, page);
    plain->setStyleSheet(QStringLiteral("color:#898989;"));
    row->addWidget(plain);
    row->addWidget(link);
    row->addStretch(1);
    return row;
}

} // namespace

LogDlg::LogDlg(AccountSession &session, QWidget *parent, bool stayOnTop)
    : FramelessDlg(parent, dialogOptions(stayOnTop)), m_logic(new LoginLogic(session, this))
{
    setWindowTitle(QStringLiteral("登录与注册"));
    setObjectName(QStringLiteral("LogDlg"));
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("stackedWidget"));
    m_pages->setStyleSheet(
        QStringLiteral("#stackedWidget{background-color:white;border-radius: 4px;}"));

    // Login page.
    auto *loginPage = new QWidget(m_pages);
    QVBoxLayout *lc = pageColumn(loginPage, QStringLiteral("账号登录"));
    m_account = field(loginPage, QStringLiteral("请输入账号"));
    m_password = field(loginPage, QStringLiteral("请输入密码"));
    m_password->setEchoMode(QLineEdit::Password);
    m_remember = tick(loginPage, QStringLiteral("记住密码"));
    m_auto = tick(loginPage, QStringLiteral("自动登录"));
    BtLabel *forget = linkLabel(loginPage, QStringLiteral("忘记密码？"));
    auto *ticks = new QHBoxLayout;
    ticks->addWidget(m_remember);
    ticks->addSpacing(px(8));
    ticks->addWidget(m_auto);
    ticks->addStretch(1);
    ticks->addWidget(forget);
    QPushButton *loginBt = mainButton(loginPage, QStringLiteral("登录"));
    BtLabel *toReg = linkLabel(loginPage, QStringLiteral("立即注册"));
    lc->addWidget(m_account);
    lc->addWidget(m_password);
    lc->addLayout(ticks);
    lc->addSpacing(px(6));
    lc->addWidget(loginBt);
    lc->addStretch(1);
    lc->addLayout(footer(loginPage, QStringLiteral("没有账号？"), toReg));
    m_pages->addWidget(loginPage);

    // Registration page.
    auto *regPage = new QWidget(m_pages);
    QVBoxLayout *rc = pageColumn(regPage, QStringLiteral("注册账号"));
    m_phone = field(regPage, QStringLiteral("请填写手机号"));
    m_code = field(regPage, QString());
    m_codeBt = new QPushButton(m_logic->codeButtonText(), regPage);
    m_codeBt->setStyleSheet(DlgLook::secondaryButton());
    m_codeBt->setFixedSize(px(96), px(36));
    m_codeBt->setCursor(Qt::PointingHandCursor);
    auto *codeRow = new QHBoxLayout;
    codeRow->setSpacing(px(8));
    codeRow->addWidget(m_code, 1);
    codeRow->addWidget(m_codeBt);
    m_regPassword = field(regPage, QStringLiteral("请输入密码"));
    m_agree = tick(regPage, QStringLiteral("我是设计师，已阅读并同意"));
    BtLabel *agreeLink = linkLabel(regPage, QStringLiteral("《用户注册协议》"));
    auto *agreeRow = new QHBoxLayout;
    agreeRow->setSpacing(0);
    agreeRow->addWidget(m_agree);
    agreeRow->addWidget(agreeLink);
    agreeRow->addStretch(1);
    QPushButton *regBt = mainButton(regPage, QStringLiteral("注册"));
    BtLabel *toLogin = linkLabel(regPage, QStringLiteral("立即登录"));
    rc->addWidget(m_phone);
    rc->addLayout(codeRow);
    rc->addWidget(m_regPassword);
    rc->addLayout(agreeRow);
    rc->addWidget(regBt);
    rc->addStretch(1);
    rc->addLayout(footer(regPage, QStringLiteral("已有账号？"), toLogin));
    m_pages->addWidget(regPage);

    setBody(m_pages, QSize(320, 380));
    // The agreement line is the longest of the dialog; it keeps to one line.
    QFont small = font();
    small.setPixelSize(px(12));
    m_agree->setFont(small);
    agreeLink->setFont(small);
    m_msg = new MyMsgBox(this);

    // Saved credentials.
    FtManager &manager = session.manager();
    const UserRecord &user = manager.loggedInUser();
    if (!user.user.isEmpty())
        m_account->setText(user.user);
    if (manager.bSavePass && !user.pass.isEmpty())
        m_password->setText(user.pass);
    m_remember->setChecked(manager.bSavePass);
    m_auto->setChecked(manager.bAutoLogin);
    m_pages->setCurrentIndex(0);

    // Automatic login needs the saved password; no saved password, no automatic login.
    connect(m_auto, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_remember->setChecked(true);
    });
    connect(m_remember, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            m_auto->setChecked(false);
    });
    connect(loginBt, &QPushButton::clicked, this, &LogDlg::onlogin);
    connect(forget, &BtLabel::clicked, this, &LogDlg::onForgetPass);
    connect(toReg, &BtLabel::clicked, this, &LogDlg::onOpenReg);
    connect(toLogin, &BtLabel::clicked, this, &LogDlg::onOpenLog);
    connect(m_codeBt, &QPushButton::clicked, this, &LogDlg::onVerify);
    connect(regBt, &QPushButton::clicked, this, &LogDlg::onReg);
    connect(agreeLink, &BtLabel::clicked, this, &LogDlg::onOpenAgree);
    for (QPushButton *b : {loginBt, regBt, m_codeBt}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    // Return logs in from either page.
    auto *enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
    connect(enter, &QShortcut::activated, this, &LogDlg::onlogin);

    connect(m_logic, &LoginLogic::message, this, [this](const QString &text) {
        m_lastMessage = text;
        m_msg->showMessage(text, 3000);
    });
    connect(m_logic, &LoginLogic::codeButtonTextChanged, m_codeBt, &QPushButton::setText);
    connect(m_logic, &LoginLogic::agreementNeeded, this,
            [this] { m_logic->answerAgreement(askAgreement()); });
    connect(m_logic, &LoginLogic::signedIn, this, [this] { closeAnimated(QDialog::Accepted); });
}

int LogDlg::currentPage() const
{
    return m_pages->currentIndex();
}

void LogDlg::onlogin()
{
    m_logic->login(m_account->text(), m_password->text(), m_remember->isChecked(),
                   m_auto->isChecked());
}

void LogDlg::onOpenReg()
{
    m_pages->setCurrentIndex(1);
}

void LogDlg::onOpenLog()
{
    m_pages->setCurrentIndex(0);
}

void LogDlg::onReg()
{
    m_logic->registerAccount(m_phone->text(), m_code->text(), m_regPassword->text(),
                             m_agree->isChecked());
}

void LogDlg::onVerify()
{
    m_logic->requestCode(m_phone->text());
}

void LogDlg::onForgetPass()
{
    openPasswordResetPage(this);
}

bool LogDlg::askAgreement()
{
    AgreeDlg agree(this);
    if (hasAnchor())
        agree.setAnchor(anchor());
    agree.centreOver(geometry());
    m_openAgree = &agree;
    agree.exec();
    m_openAgree = nullptr;
    return agree.isAccepted();
}

void LogDlg::onOpenAgree()
{
    if (!askAgreement())
        return;
    m_agree->setChecked(true);
    onReg();
}

void LogDlg::changeEvent(QEvent *event)
{
    FramelessDlg::changeEvent(event);
    // The agreement goes down and comes back with the dialog it belongs to.
    if (event->type() == QEvent::WindowStateChange && m_openAgree && !isMinimized())
        m_openAgree->showNormal();
}
