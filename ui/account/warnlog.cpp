#include "account/warnlog.h"

#include "widgets/btlabel.h"

WarnLog::WarnLog(QWidget *parent)
    : WarnPage(QStringLiteral("border-image:url(:/images/images/msg_nolog.png);"), parent)
{
    addText(0, QStringLiteral("您尚未登录，无法查看收藏"));
    addText(1, QStringLiteral("请"));
    connect(addLink(1, QStringLiteral("登录")), &BtLabel::clicked, this, &WarnLog::loginClicked);
}
