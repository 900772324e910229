#include "account/agreedlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using DlgLook::px;

AgreeDlg::AgreeDlg(QWidget *parent) : FramelessDlg(parent, dialogOptions(true))
{
    setWindowTitle(QStringLiteral("用户注册协议"));
    QWidget *body = DlgLook::body(this);

    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(px(24), px(14), px(24), px(20));
    column->setSpacing(px(10));
    column->addWidget(DlgLook::heading(windowTitle(), body));
    auto *header = new QLabel(
        QStringLiteral("本软件是为专业设计师提供的字体工具，请仔细阅读以下协议。"), body);
    header->setWordWrap(true);
    header->setStyleSheet(QStringLiteral("color:#4D4D4D;"));
    column->addWidget(header);
    auto *text = new QTextBrowser(body);
    text->setStyleSheet(QStringLiteral("QTextBrowser{border:1px solid #ECECEC;border-radius:%1px;"
                                       "color:#4D4D4D;background:#FAFAFA;}")
                            .arg(px(4)));
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
    auto *back = new QPushButton(QStringLiteral("返回"), body);
    auto *agree = new QPushButton(QStringLiteral("我是设计师，同意并继续"), body);
    back->setStyleSheet(DlgLook::secondaryButton());
    agree->setStyleSheet(DlgLook::primaryButton());
    for (QPushButton *b : {back, agree}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setFixedHeight(px(34));
        b->setAutoDefault(false);
    }
    back->setFixedWidth(px(90));
    row->addWidget(back);
    row->addStretch(1);
    row->addWidget(agree);
    agree->setMinimumWidth(px(190));
    column->addLayout(row);
    setBody(body, QSize(400, 480));

    connect(back, &QPushButton::clicked, this, &AgreeDlg::onBackBt);
    connect(agree, &QPushButton::clicked, this, &AgreeDlg::onCheckAgree);
}

void AgreeDlg::onCloseBt()
{
    onCloseForm();
}

void AgreeDlg::onMinBt()
{
    onMinForm();
}

void AgreeDlg::onCheckAgree()
{
    m_accepted = true;
    closeAnimated(QDialog::Accepted);
}

void AgreeDlg::onBackBt()
{
    m_accepted = false;
    closeAnimated(QDialog::Rejected);
}
