#include "window/officeconsentdlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using DlgLook::px;

OfficeConsentDlg::OfficeConsentDlg(QWidget *parent) : FramelessDlg(parent, dialogOptions(true))
{
    setWindowTitle(QStringLiteral("在 LibreOffice 中设置字体"));
    QWidget *body = DlgLook::body(this);

    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(px(24), px(14), px(24), px(20));
    column->setSpacing(px(12));
    column->addWidget(DlgLook::heading(windowTitle(), body));
    auto *text = new QLabel(
        QStringLiteral("要把字体设置到 LibreOffice Writer 或 Impress 的文档中，需要让正在运行的 "
                       "LibreOffice 接受本程序的连接。连接只对您本人的账户开放，LibreOffice "
                       "退出后即关闭；以后每次启动 LibreOffice 后首次设置字体时会自动重新打开。"
                       "LibreOffice 的配置文件不会被修改。\n\n是否允许？"),
        body);
    text->setWordWrap(true);
    text->setStyleSheet(QStringLiteral("color:#4D4D4D;"));
    column->addWidget(text, 1);

    auto *row = new QHBoxLayout;
    auto *decline = new QPushButton(QStringLiteral("不允许"), body);
    auto *allow = new QPushButton(QStringLiteral("允许"), body);
    decline->setStyleSheet(DlgLook::secondaryButton());
    allow->setStyleSheet(DlgLook::primaryButton());
    for (QPushButton *b : {decline, allow}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setFixedSize(px(90), px(34));
        b->setAutoDefault(false);
    }
    row->addStretch(1);
    row->addWidget(decline);
    row->addWidget(allow);
    column->addLayout(row);
    setBody(body, QSize(400, 240));

    connect(decline, &QPushButton::clicked, this, [this] { choose(OfficeConsent::Declined); });
    connect(allow, &QPushButton::clicked, this, [this] { choose(OfficeConsent::Allowed); });
}

void OfficeConsentDlg::choose(OfficeConsent::Answer answer)
{
    m_answer = answer;
    closeAnimated(answer == OfficeConsent::Allowed ? QDialog::Accepted : QDialog::Rejected);
}

OfficeConsent::Answer OfficeConsentDlg::ask(QWidget *parent)
{
    OfficeConsentDlg dialog(parent);
    if (parent)
        dialog.centreOver(parent->frameGeometry());
    dialog.exec();
    return dialog.answer();
}
