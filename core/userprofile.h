#pragma once

#include <QJsonObject>
#include <QString>

// The account fields of a user record: what the login and profile replies fill and
// what the user data file keeps of the signed-in user.
struct UserProfile
{
    bool bHeadPending = false; // a new head image was chosen and is not uploaded yet
    QString user;              // login name as typed
    QString type;
    QString token;
    QString uname;
    QString pass; // password as typed
    QString nick_name;
    QString telephone;
    QString email;
    QString head; // head image address on the service
    int uid = 0;
    int dowload_num = 0; // spelled as the service spells it
    int collection_num = 0;
    int group_num = 0;
    int is_agree = 0;
    QString introduce;
    int sex = 2;
    QString birthday;
    QString province;
    QString city;
    QString headFile; // local copy of the head image
};

// Reads a full user-information reply (login) into `profile`; absent keys reset their field.
void readUserInfoReply(const QJsonObject &reply, UserProfile &profile);

// Reads a registration reply: id, token and phone; the phone doubles as nick and user name.
void readRegistrationReply(const QJsonObject &reply, UserProfile &profile);
