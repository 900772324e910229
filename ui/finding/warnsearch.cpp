#include "finding/warnsearch.h"

WarnSearch::WarnSearch(QWidget *parent)
    : WarnPage(QStringLiteral("border-image:url(:/images/images/msg_nolove.png);"), parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("background-color:white;"));
    addText(0, QStringLiteral("未找到相关字体"), "#898989");
}
