#pragma once

#include "widgets/warnpage.h"

// Favourites page of a user without favourites; "云字库" leads to the cloud page.
class WarnNolove : public WarnPage
{
    Q_OBJECT

public:
    explicit WarnNolove(QWidget *parent = nullptr);

signals:
    void cloudClicked();
};
