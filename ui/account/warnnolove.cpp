#include "account/warnnolove.h"

#include "widgets/btlabel.h"

WarnNolove::WarnNolove(QWidget *parent)
    : WarnPage(QStringLiteral("border-image:url(:/images/images/msg_nolove.png);"), parent)
{
    addText(0, QStringLiteral("您暂无收藏，去"));
    connect(addLink(0, QStringLiteral("云字库")), &BtLabel::clicked, this,
            &WarnNolove::cloudClicked);
    addText(0, QStringLiteral("收藏"));
    addText(0, QStringLiteral("喜欢的字体"));
}
