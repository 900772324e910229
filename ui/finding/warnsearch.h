#pragma once

#include "widgets/warnpage.h"

// Cloud page when a search found nothing.
class WarnSearch : public WarnPage
{
    Q_OBJECT

public:
    explicit WarnSearch(QWidget *parent = nullptr);
};
