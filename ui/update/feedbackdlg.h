#pragma once

#include "widgets/framelessdlg.h"

// "意见反馈": where to join the user groups, as two QR codes.
class FeedbackDlg : public FramelessDlg
{
    Q_OBJECT

public:
    explicit FeedbackDlg(QWidget *parent = nullptr);
};
