#pragma once

#include "widgets/framelessdlg.h"

class QLabel;
class UpdateOffer;

// "版本信息", opened from the user centre: the running version and what can be done
// about a newer one. The action never offers an update that the last check did not
// find; after a failed check it checks again.
class VersionDlg : public FramelessDlg
{
    Q_OBJECT

public:
    VersionDlg(UpdateOffer &offer, QWidget *parent = nullptr);

    // Runs the dialog modally over `window`; true when the user asked for the update
    // (the caller then schedules MainWindow::onStartUpdate).
    static bool ask(UpdateOffer &offer, QWidget *window);

    bool updateRequested() const { return bUpdateRequested; }
    QPushButton *actionButton() const { return m_actionBt; }

public slots:
    void onUpdateVersion();

private:
    void showState();

    UpdateOffer &m_offer;
    QPushButton *m_actionBt;
    bool bUpdateRequested = false;
};
