#include "core/userprofile.h"

#include <QVariant>

namespace {

// Both take numbers and strings alike: the service is not consistent about types.
int intOf(const QJsonObject &reply, const char *key)
{
    return reply.value(QLatin1String(key)).toVariant().toInt();
}

QString textOf(const QJsonObject &reply, const char *key)
{
    return reply.value(QLatin1String(key)).toVariant().toString();
}

} // namespace

void readUserInfoReply(const QJsonObject &reply, UserProfile &profile)
{
    profile.uid = intOf(reply, "uid");
    profile.uname = textOf(reply, "uname");
    profile.nick_name = textOf(reply, "nick_name");
    profile.telephone = textOf(reply, "telephone");
    profile.email = textOf(reply, "email");
    profile.head = textOf(reply, "head");
    profile.dowload_num = intOf(reply, "dowload_num");
    profile.collection_num = intOf(reply, "collection_num");
    profile.group_num = intOf(reply, "group_num");
    profile.token = textOf(reply, "token");
    profile.is_agree = intOf(reply, "is_agree");
    profile.sex = intOf(reply, "sex");
    profile.introduce = textOf(reply, "introduce");
    profile.birthday = textOf(reply, "birthday");
    profile.province = textOf(reply, "province");
    profile.city = textOf(reply, "city");
    profile.type = textOf(reply, "type");
}

void readRegistrationReply(const QJsonObject &reply, UserProfile &profile)
{
    profile.uid = intOf(reply, "uid");
    profile.token = textOf(reply, "token");
    profile.telephone = textOf(reply, "telephone");
    profile.nick_name = profile.telephone;
    profile.uname = profile.telephone;
}
