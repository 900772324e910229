#include "widgets/warnservice.h"

#include "widgets/btlabel.h"

WarnService::WarnService(QWidget *parent)
    : WarnPage(QStringLiteral("border-image:url(:/images/images/msg_nolove.png);"), parent)
{
    // It may stand over the cloud page's cards rather than in a page of its own.
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("background-color:white;"));
    addText(0, QStringLiteral("无法连接字体服务"));
    addText(1, QStringLiteral("稍后将自动重试，也可"));
    connect(addLink(1, QStringLiteral("重试")), &BtLabel::clicked, this,
            &WarnService::retryClicked);
}
