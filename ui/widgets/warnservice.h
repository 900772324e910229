#pragma once

#include "widgets/warnpage.h"

// Cloud page while the catalogue cannot be fetched; "重试" asks for it again now.
class WarnService : public WarnPage
{
    Q_OBJECT

public:
    explicit WarnService(QWidget *parent = nullptr);

signals:
    void retryClicked();
};
