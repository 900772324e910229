#include "account/resetpage.h"

#include "account/loginlogic.h"

#include <QDesktopServices>
#include <QMessageBox>

QString resetPageMessage(const QUrl &page)
{
    return QStringLiteral("无法打开浏览器，请复制以下地址到浏览器中打开：\n") +
           page.toString(QUrl::FullyEncoded);
}

bool openPasswordResetPage(QWidget *parent, const std::function<bool(const QUrl &)> &opener)
{
    const QUrl page = LoginLogic::forgotPasswordUrl();
    if (!page.isValid())
        return false;
    if (opener ? opener(page) : QDesktopServices::openUrl(page))
        return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("修改密码"), resetPageMessage(page),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("resetPageMessage"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    return false;
}
