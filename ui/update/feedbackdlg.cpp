#include "update/feedbackdlg.h"

#include <QLabel>
#include <QPixmap>

using DlgLook::px;

// The QR pictures are made at build time into a resource of their own.
static void initFeedbackResources()
{
    Q_INIT_RESOURCE(feedbackqr);
}

namespace {
QLabel *qrCode(QWidget *body, const QString &name, const QRect &designed)
{
    auto *label = new QLabel(body);
    label->setObjectName(name);
    label->setGeometry(designed);
    label->setScaledContents(true);
    label->setPixmap(QPixmap(QStringLiteral(":/images/images/%1.png").arg(name)));
    return label;
}

QLabel *caption(QWidget *body, const QString &text, const QRect &designed)
{
    auto *label = new QLabel(text, body);
    label->setGeometry(designed);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color:#555555;"));
    return label;
}
} // namespace

FeedbackDlg::FeedbackDlg(QWidget *parent) : FramelessDlg(parent, Fade | StayOnTop, QSize(380, 290))
{
    initFeedbackResources();
    setObjectName(QStringLiteral("FeedbackDlg"));
    setWindowTitle(QStringLiteral("意见反馈"));
    auto *title = new QLabel(QStringLiteral("意见反馈"), body());
    title->setGeometry(px(20), px(12), px(200), px(20));
    title->setStyleSheet(QStringLiteral("color:#333333;font-weight:bold;"));

    qrCode(body(), QStringLiteral("qrwechat"), QRect(px(40), px(50), px(130), px(130)));
    qrCode(body(), QStringLiteral("qrqq"), QRect(px(210), px(50), px(130), px(130)));
    caption(body(), QStringLiteral("欢迎扫描二维码加入微信群"),
            QRect(px(15), px(186), px(180), px(36)));
    caption(body(), QStringLiteral("欢迎扫描二维码加入QQ群"),
            QRect(px(185), px(186), px(180), px(36)));
    QLabel *line = caption(body(), QStringLiteral("更多更好的字体都在这里，赶快扫码进群吧!"),
                           QRect(px(20), px(238), px(340), px(30)));
    line->setStyleSheet(QStringLiteral("color:#4EC4B8;"));
}
