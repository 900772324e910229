#pragma once

#include "widgets/framelessdlg.h"

// The user agreement. The opener reads isAccepted() after exec().
class AgreeDlg : public FramelessDlg
{
    Q_OBJECT

public:
    explicit AgreeDlg(QWidget *parent = nullptr);
    bool isAccepted() const { return m_accepted; }

public slots:
    void onCloseBt();
    void onMinBt();
    void onCheckAgree();
    void onBackBt();

private:
    bool m_accepted = false;
};
