#pragma once

#include "widgets/framelessdlg.h"

class MyBt;
class MyMsgBox;
class QLabel;
struct UserRecord;

// The user centre: head image, nick name, three counters and the menu (profile, version,
// password, logout). The opener sets the anchor and the place before exec(), and reads
// loggedOut() and updateRequested() afterwards.
class UserDlg : public FramelessDlg
{
    Q_OBJECT

public:
    struct Counts
    {
        int used = 0;       // fonts activated in this run
        int favourites = 0; // size of the favourites group
        int groups = 0;     // the user's own groups
    };

    UserDlg(UserRecord &user, const QString &headFile, const Counts &counts,
            QWidget *parent = nullptr, bool stayOnTop = true);

    bool loggedOut() const { return m_loggedOut; }
    bool updateRequested() const { return m_updateRequested; }
    void showMessage(const QString &text);
    QString nickText() const;
    QString counterText(int index) const;
    MyBt *menuButton(int index) const { return m_menu[index]; }
    void reloadHead();

signals:
    // The profile was edited and saved: the opener sends it.
    void setUserSign();
    // "版本信息" was chosen; the opener shows the version dialog and calls requestUpdate()
    // when the user wants the update.
    void versionWanted();

public slots:
    void onCloseBt();
    void onLogout();
    void onEditUsrMsg();
    void onModifyPass();
    void onVersionBt();
    void requestUpdate();

private:
    UserRecord &m_user;
    QString m_headFile;
    QLabel *m_head;
    QLabel *m_nick;
    QLabel *m_counters[3];
    MyBt *m_menu[4];
    MyMsgBox *m_msg;
    bool m_loggedOut = false;
    bool m_updateRequested = false;
};
