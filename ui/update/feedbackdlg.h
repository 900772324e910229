#pragma once

#include "widgets/fadedlg.h"

// "意见反馈": where to join the user groups, as two QR codes.
class FeedbackDlg : public FadeDlg
{
    Q_OBJECT

public:
    explicit FeedbackDlg(QWidget *parent = nullptr);
};
