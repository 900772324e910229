#include "logdlg.h"

#include "ftmanager.h"
#include "loginlogic.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

MyMsgBox::MyMsgBox(QWidget *parent) : QLabel(parent), m_timer(new QTimer(this))
{
    setAlignment(Qt::AlignCenter);
    setStyleSheet(
        QStringLiteral("background-color:rgba(0,0,0,0.50);color:white;border-radius:6px;"));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void MyMsgBox::showMessage(const QString &text, int durationMs)
{
    const int w = text.isEmpty() ? 120 : 14 * text.size() + 30;
    const int h = 60;
    resize(w, h);
    setText(text);
    if (QWidget *p = parentWidget())
        move((p->width() - w) / 2, (p->height() - h) / 2);
    raise();
    show();
    m_timer->start(durationMs < 100 ? 5000 : durationMs);
}

AgreeDlg::AgreeDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("用户注册协议"));
    setWindowFlags(windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    auto *column = new QVBoxLayout(this);
    auto *header = new QLabel(
        QStringLiteral("本软件是为专业设计师提供的字体工具，请仔细阅读以下协议。"), this);
    header->setWordWrap(true);
    column->addWidget(header);
    auto *text = new QTextBrowser(this);
    text->setHtml(QStringLiteral(
        "<h3>用户注册协议</h3>"
        "<p>一、注册账号需使用本人手机号码，并妥善保管密码。</p>"
        "<p>二、通过本软件激活的字体仅供账号持有人在本机使用，不得转让、出售或再分发字体文件。</p>"
        "<p>三、商业使用字体前，请确认已取得相应字体的商业授权。</p>"
        "<p>"
        "四、本软件会记录字体的激活与使用次数，用于统计与改进服务，不会收集与服务无关的个人信息。</"
        "p>"
        "<p>五、违反本协议的账号可能被暂停或注销。</p>"));
    column->addWidget(text, 1);
    auto *row = new QHBoxLayout;
    auto *back = new QPushButton(QStringLiteral("返回"), this);
    auto *agree = new QPushButton(QStringLiteral("我是设计师，同意并继续"), this);
    row->addWidget(back);
    row->addStretch(1);
    row->addWidget(agree);
    column->addLayout(row);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    connect(agree, &QPushButton::clicked, this, [this] {
        m_accepted = true;
        accept();
    });
    resize(360, 420);
}

LogDlg::LogDlg(FtManager &manager, QWidget *parent)
    : QDialog(parent), m_logic(new LoginLogic(manager, this))
{
    setWindowTitle(QStringLiteral("登录与注册"));
    setObjectName(QStringLiteral("LogDlg"));
    auto *outer = new QVBoxLayout(this);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("stackedWidget"));
    outer->addWidget(m_pages);

    // Login page.
    auto *loginPage = new QWidget(m_pages);
    auto *lc = new QVBoxLayout(loginPage);
    m_account = new QLineEdit(loginPage);
    m_account->setPlaceholderText(QStringLiteral("请输入账号"));
    m_password = new QLineEdit(loginPage);
    m_password->setPlaceholderText(QStringLiteral("请输入密码"));
    m_password->setEchoMode(QLineEdit::Password);
    m_remember = new QCheckBox(QStringLiteral("记住密码"), loginPage);
    m_auto = new QCheckBox(QStringLiteral("自动登录"), loginPage);
    auto *loginBt = new QPushButton(QStringLiteral("登录"), loginPage);
    auto *forgetBt = new QPushButton(QStringLiteral("忘记密码？"), loginPage);
    auto *toReg = new QPushButton(QStringLiteral("没有账号？立即注册"), loginPage);
    for (QPushButton *b : {forgetBt, toReg}) {
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
    }
    auto *ticks = new QHBoxLayout;
    ticks->addWidget(m_remember);
    ticks->addWidget(m_auto);
    ticks->addStretch(1);
    ticks->addWidget(forgetBt);
    lc->addWidget(m_account);
    lc->addWidget(m_password);
    lc->addLayout(ticks);
    lc->addWidget(loginBt);
    lc->addWidget(toReg, 0, Qt::AlignHCenter);
    lc->addStretch(1);
    m_pages->addWidget(loginPage);

    // Registration page.
    auto *regPage = new QWidget(m_pages);
    auto *rc = new QVBoxLayout(regPage);
    m_phone = new QLineEdit(regPage);
    m_phone->setPlaceholderText(QStringLiteral("请填写手机号"));
    m_code = new QLineEdit(regPage);
    m_codeBt = new QPushButton(m_logic->codeButtonText(), regPage);
    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(m_code, 1);
    codeRow->addWidget(m_codeBt);
    m_regPassword = new QLineEdit(regPage);
    m_regPassword->setPlaceholderText(QStringLiteral("请输入密码"));
    m_agree = new QCheckBox(QStringLiteral("我是设计师，已阅读并同意"), regPage);
    auto *agreeLink = new QPushButton(QStringLiteral("《用户注册协议》"), regPage);
    agreeLink->setFlat(true);
    agreeLink->setCursor(Qt::PointingHandCursor);
    auto *agreeRow = new QHBoxLayout;
    agreeRow->addWidget(m_agree);
    agreeRow->addWidget(agreeLink);
    agreeRow->addStretch(1);
    auto *regBt = new QPushButton(QStringLiteral("注册"), regPage);
    auto *toLogin = new QPushButton(QStringLiteral("已有账号？立即登录"), regPage);
    toLogin->setFlat(true);
    toLogin->setCursor(Qt::PointingHandCursor);
    rc->addWidget(m_phone);
    rc->addLayout(codeRow);
    rc->addWidget(m_regPassword);
    rc->addLayout(agreeRow);
    rc->addWidget(regBt);
    rc->addWidget(toLogin, 0, Qt::AlignHCenter);
    rc->addStretch(1);
    m_pages->addWidget(regPage);

    m_msg = new MyMsgBox(this);

    // Saved credentials.
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
    connect(forgetBt, &QPushButton::clicked, this, &LogDlg::onForgetPass);
    connect(toReg, &QPushButton::clicked, this, &LogDlg::onOpenReg);
    connect(toLogin, &QPushButton::clicked, this, &LogDlg::onOpenLog);
    connect(m_codeBt, &QPushButton::clicked, this, &LogDlg::onVerify);
    connect(regBt, &QPushButton::clicked, this, &LogDlg::onReg);
    connect(agreeLink, &QPushButton::clicked, this, &LogDlg::onOpenAgree);
    for (QPushButton *b : {loginBt, regBt, m_codeBt}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto *enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
    connect(enter, &QShortcut::activated, this, [this] {
        if (m_pages->currentIndex() == 0)
            onlogin();
    });

    connect(m_logic, &LoginLogic::message, this, [this](const QString &text) {
        m_lastMessage = text;
        m_msg->showMessage(text, 3000);
    });
    connect(m_logic, &LoginLogic::codeButtonTextChanged, m_codeBt, &QPushButton::setText);
    connect(m_logic, &LoginLogic::agreementNeeded, this,
            [this] { m_logic->answerAgreement(askAgreement()); });
    connect(m_logic, &LoginLogic::signedIn, this, &QDialog::accept);
    resize(300, 300);
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
    QDesktopServices::openUrl(LoginLogic::forgotPasswordUrl());
}

bool LogDlg::askAgreement()
{
    AgreeDlg agree(this);
    agree.move(x() + (width() - agree.width()) / 2, y() + (height() - agree.height()) / 2);
    agree.exec();
    return agree.isAccepted();
}

void LogDlg::onOpenAgree()
{
    if (!askAgreement())
        return;
    m_agree->setChecked(true);
    onReg();
}
