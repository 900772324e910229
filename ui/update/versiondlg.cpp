#include "update/versiondlg.h"

#include "update/updateoffer.h"
#include "core/version.h"

#include <QLabel>
#include <QPushButton>

using DlgLook::px;

namespace {
QString actionStyle(const char *colour)
{
    return QStringLiteral("border-radius:6px;background-color:%1;color:#FFFFFF;")
        .arg(QLatin1String(colour));
}
} // namespace

VersionDlg::VersionDlg(UpdateOffer &offer, QWidget *parent)
    : FramelessDlg(parent, Fade | StayOnTop, QSize(300, 180)), m_offer(offer),
      m_actionBt(new QPushButton(body()))
{
    setObjectName(QStringLiteral("VersionDlg"));
    setWindowTitle(QStringLiteral("版本信息"));
    auto *title = new QLabel(QStringLiteral("版本信息"), body());
    title->setGeometry(px(20), px(12), px(200), px(20));
    title->setStyleSheet(QStringLiteral("color:#333333;font-weight:bold;"));
    auto *current = new QLabel(QStringLiteral("当前版本 V") + kProgramVersion, body());
    current->setObjectName(QStringLiteral("currentLbl"));
    current->setGeometry(px(20), px(60), px(260), px(22));
    current->setAlignment(Qt::AlignCenter);
    current->setStyleSheet(QStringLiteral("color:#555555;"));

    m_actionBt->setObjectName(QStringLiteral("updateBt"));
    m_actionBt->setGeometry(px(30), px(110), px(240), px(32));
    m_actionBt->setFlat(true);
    m_actionBt->setAutoDefault(false);
    m_actionBt->setCursor(Qt::PointingHandCursor);
    connect(m_actionBt, &QPushButton::clicked, this, &VersionDlg::onUpdateVersion);
    showState();
}

bool VersionDlg::ask(UpdateOffer &offer, QWidget *window)
{
    VersionDlg dlg(offer, window);
    dlg.centreOver(window);
    dlg.exec();
    return dlg.updateRequested();
}

void VersionDlg::showState()
{
    switch (m_offer.state()) {
    case UpdateOffer::Available:
        m_actionBt->setText(QStringLiteral("立即更新至") + m_offer.latestVersion());
        m_actionBt->setStyleSheet(actionStyle("#4EC4B8"));
        break;
    case UpdateOffer::Latest:
        m_actionBt->setText(QStringLiteral("已是最新版本"));
        m_actionBt->setStyleSheet(actionStyle("#a9a9a9"));
        break;
    case UpdateOffer::PackageManager:
        m_actionBt->setText(QStringLiteral("请通过软件包管理器更新至%1")
                                .arg(m_offer.latestVersion()));
        m_actionBt->setStyleSheet(actionStyle("#a9a9a9"));
        break;
    case UpdateOffer::NotChecked:
    case UpdateOffer::CheckFailed:
        m_actionBt->setText(QStringLiteral("检查更新失败，点击重试"));
        m_actionBt->setStyleSheet(actionStyle("#4EC4B8"));
        break;
    }
}

void VersionDlg::onUpdateVersion()
{
    switch (m_offer.state()) {
    case UpdateOffer::Available:
        bUpdateRequested = true;
        accept();
        return;
    case UpdateOffer::NotChecked:
    case UpdateOffer::CheckFailed:
        m_actionBt->setText(QStringLiteral("正在检查更新…"));
        m_actionBt->setEnabled(false);
        m_offer.check();
        m_actionBt->setEnabled(true);
        showState();
        return;
    default:
        accept();
    }
}
