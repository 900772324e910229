#include "update/versioncheckdlg.h"

#include "update/updateoffer.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

using DlgLook::px;

VersionCheckDlg::VersionCheckDlg(const UpdateOffer &offer, QWidget *parent)
    : FramelessDlg(parent, Fade | StayOnTop, QSize(360, 300)), m_offer(offer),
      m_versionLbl(new QLabel(body())), m_log(new QTextBrowser(body())),
      m_updateBt(new QPushButton(QStringLiteral("立即更新"), body()))
{
    setObjectName(QStringLiteral("VersionCheckDlg"));
    setWindowTitle(QStringLiteral("版本更新"));

    auto *title = new QLabel(QStringLiteral("版本更新"), body());
    title->setGeometry(px(20), px(12), px(200), px(20));
    title->setStyleSheet(QStringLiteral("color:#333333;font-weight:bold;"));
    m_versionLbl->setGeometry(px(20), px(44), px(320), px(20));
    m_versionLbl->setStyleSheet(QStringLiteral("color:#555555;"));
    auto *heading = new QLabel(QStringLiteral("更新内容："), body());
    heading->setGeometry(px(20), px(70), px(320), px(20));
    heading->setStyleSheet(QStringLiteral("color:#555555;"));

    m_log->setObjectName(QStringLiteral("logBrowser"));
    m_log->setGeometry(px(20), px(94), px(320), px(140));
    m_log->setFrameShape(QFrame::NoFrame);
    m_log->setOpenLinks(false);
    m_log->setOpenExternalLinks(false);
    m_log->setStyleSheet(QStringLiteral("color:#777777;background:transparent;"));

    m_updateBt->setObjectName(QStringLiteral("updateBt"));
    m_updateBt->setGeometry(px(120), px(248), px(120), px(34));
    m_updateBt->setCursor(Qt::PointingHandCursor);
    m_updateBt->setFlat(true);
    m_updateBt->setStyleSheet(
        QStringLiteral("border-radius:%1px;color:#FFFFFF;background-color:qlineargradient("
                       "spread:pad,x1:0,y1:0,x2:1,y2:0,stop:0 #3CACFE,stop:1 #4E6DF9);")
            .arg(px(17)));
    connect(m_updateBt, &QPushButton::clicked, this, &VersionCheckDlg::onUpdateVersion);
}

void VersionCheckDlg::setLatestVersion(const QString &version)
{
    m_versionLbl->setText(QStringLiteral("最新版本：V") + version);
}

void VersionCheckDlg::setUpdateLog(const QString &text)
{
    m_log->setPlainText(text);
}

void VersionCheckDlg::onUpdateVersion()
{
    if (m_offer.isLatest())
        return;
    bUpdateRequested = true;
    emit msgUpdate();
    accept();
}
