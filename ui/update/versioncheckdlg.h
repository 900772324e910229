#pragma once

#include "widgets/framelessdlg.h"

class QLabel;
class QTextBrowser;
class UpdateOffer;

// The start-up offer ("版本更新"): the latest version, its change log and "立即更新".
class VersionCheckDlg : public FramelessDlg
{
    Q_OBJECT

public:
    VersionCheckDlg(const UpdateOffer &offer, QWidget *parent = nullptr);

    void setLatestVersion(const QString &version);
    void setUpdateLog(const QString &text);
    bool updateRequested() const { return bUpdateRequested; }
    QPushButton *updateButton() const { return m_updateBt; }

signals:
    void msgUpdate();

public slots:
    void onUpdateVersion();

private:
    const UpdateOffer &m_offer;
    QLabel *m_versionLbl;
    QTextBrowser *m_log;
    QPushButton *m_updateBt;
    bool bUpdateRequested = false;
};
