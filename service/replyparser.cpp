#include "service/replyparser.h"

#include "fonts/ftmanager.h"
#include "service/requestbuilder.h"
#include "service/versioninfo.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariant>

#include <cmath>
#include <limits>
#include <optional>

namespace {

bool readObject(const QByteArray &bytes, QJsonObject &object)
{
    if (bytes.isEmpty())
        return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    object = doc.object();
    return true;
}

// An integral JSON number in int range, or, when `orDigits`, a string holding one.
std::optional<int> integerOf(const QJsonValue &value, bool orDigits)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && d >= std::numeric_limits<int>::min() &&
            d <= std::numeric_limits<int>::max())
            return int(d);
        return std::nullopt;
    }
    if (orDigits && value.isString()) {
        bool ok = false;
        const int n = value.toString().toInt(&ok, 10);
        if (ok)
            return n;
    }
    return std::nullopt;
}

// Digits sent as a JSON string; anything else reads as 0.
int digitsOf(const QJsonValue &value)
{
    return value.toString().toInt(nullptr, 10);
}

ReplyEnvelope readStrictEnvelope(const QJsonObject &object)
{
    ReplyEnvelope envelope;
    // An errcode the client cannot read must never pass for success.
    if (object.contains(QLatin1String("errcode")))
        envelope.errcode = integerOf(object.value(QLatin1String("errcode")), true).value_or(-1);
    if (object.contains(QLatin1String("message")))
        envelope.message = object.value(QLatin1String("message")).toString();
    if (object.contains(QLatin1String("tag")))
        envelope.tag = digitsOf(object.value(QLatin1String("tag")));
    return envelope;
}

void appendSendErrLine(FtManager &manager, const QString &message)
{
    if (manager.messagesDir().isEmpty() || !QDir(manager.messagesDir()).exists())
        manager.createDirectories();
    QFile file(manager.messagesDir() + QStringLiteral("senderr.log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    file.write((singleLine(message) + QLatin1Char('\n')).toUtf8());
}

void storeFavourites(const QJsonArray &lists, FtManager &manager)
{
    FontGroup &favourites = manager.currentUser().favourites;
    favourites.clear();
    QVector<FontAV> fonts;
    parseFontArray(lists, fonts);
    for (const FontAV &font : qAsConst(fonts)) {
        // A name listed twice is kept once, with the later fields, so the group's
        // vector and name set stay in step.
        favourites.add(font);
        if (!manager.cloudFonts.contains(font.fontname))
            manager.cloudFonts.insert(font.fontname, font);
    }
}

void storePayload(int tag, const QJsonObject &object, FtManager &manager,
                  const ReplyEnvelope &envelope)
{
    switch (tag) {
    case OpTag::FontTags:
        if (object.contains(QLatin1String("tags"))) {
            // The answer is the whole tree: replace, so that a second reply in the same
            // run does not list every group twice.
            QList<TagGroup> groups;
            parseTagGroups(object.value(QLatin1String("tags")).toArray(), groups);
            manager.tagGroups = groups;
        }
        break;
    case OpTag::LoveList:
        if (object.contains(QLatin1String("lists")))
            storeFavourites(object.value(QLatin1String("lists")).toArray(), manager);
        break;
    case OpTag::Login:
        manager.switchToLoggedIn();
        // The token stays in the record until the account session signs the user in.
        readUserInfoReply(object, manager.loggedInUser());
        break;
    case OpTag::RegisterAccount:
        manager.switchToLoggedIn();
        readRegistrationReply(object, manager.loggedInUser());
        break;
    case OpTag::ModifyUser:
        manager.loggedInUser().bHeadPending = false;
        appendSendErrLine(manager, envelope.message);
        break;
    case OpTag::LastVersion: {
        LatestVersionInfo &info = latestVersionInfo();
        if (object.contains(QLatin1String("version")))
            info.version = object.value(QLatin1String("version")).toString();
        if (object.contains(QLatin1String("download")))
            info.download = object.value(QLatin1String("download")).toString();
        if (object.contains(QLatin1String("update_download")))
            info.updateDownload = object.value(QLatin1String("update_download")).toString();
        break;
    }
    case OpTag::ImageList:
        manager.imageList.clear();
        if (object.contains(QLatin1String("lists")))
            parseImageList(object.value(QLatin1String("lists")).toArray(), manager.imageList);
        break;
    default:
        break;
    }
}

} // namespace

QString singleLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

ReplyEnvelope parseEnvelope(const QByteArray &bytes)
{
    QJsonObject object;
    if (!readObject(bytes, object))
        return ReplyEnvelope();
    return readStrictEnvelope(object);
}

ReplyEnvelope dispatchReply(const QByteArray &bytes, FtManager &manager)
{
    ReplyEnvelope envelope;
    QJsonObject object;
    if (!readObject(bytes, object))
        return envelope;
    if (object.contains(QLatin1String("errcode")))
        envelope.errcode = integerOf(object.value(QLatin1String("errcode")), true).value_or(-1);
    if (object.contains(QLatin1String("message")))
        envelope.message = object.value(QLatin1String("message")).toVariant().toString();
    const bool hasTag = object.contains(QLatin1String("tag"));
    if (hasTag)
        envelope.tag = integerOf(object.value(QLatin1String("tag")), true).value_or(0);
    if (envelope.errcode != 0)
        return envelope;
    manager.bOnline = true;
    if (hasTag)
        storePayload(envelope.tag, object, manager, envelope);
    return envelope;
}

bool parseFontObject(const QJsonObject &object, FontAV &font)
{
    auto has = [&](const char *key) { return object.contains(QLatin1String(key)); };
    auto value = [&](const char *key) { return object.value(QLatin1String(key)); };

    if (has("fontid"))
        font.fontid = digitsOf(value("fontid"));
    if (has("fontname"))
        font.fontname = value("fontname").toString();
    if (has("codeid"))
        font.codeid = digitsOf(value("codeid"));
    if (has("is_like")) {
        const QString like = value("is_like").toString();
        font.is_like = like.isEmpty() ? 0 : like.toInt(nullptr, 10);
    }
    if (has("image"))
        font.image = value("image").toString();
    if (has("tagid")) {
        font.tagid = value("tagid").toString();
        if (font.tagid.isNull())
            font.tagid = QLatin1String("");
    }
    if (has("download_url"))
        font.download_url = value("download_url").toString();
    if (has("font_en_name"))
        font.font_en_name = value("font_en_name").toString();
    if (has("ttf_name"))
        font.ttf_name = value("ttf_name").toString();
    if (has("provider"))
        font.provider = digitsOf(value("provider"));
    if (has("language"))
        font.language = digitsOf(value("language"));
    return has("fontid") && has("fontname");
}

int parseFontArray(const QJsonArray &array, QVector<FontAV> &fonts, int maxFonts)
{
    if (array.isEmpty())
        return 0;
    for (const QJsonValue &element : array) {
        if (fonts.size() >= maxFonts)
            break;
        FontAV font;
        if (parseFontObject(element.toObject(), font))
            fonts.append(font);
    }
    return 1;
}

int parseTagGroups(const QJsonArray &array, QList<TagGroup> &groups)
{
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        if (!object.contains(QLatin1String("name")))
            continue;
        TagGroup group;
        const QJsonValue name = object.value(QLatin1String("name"));
        if (name.isString())
            group.name = name.toString();
        if (object.contains(QLatin1String("type")))
            group.type = object.value(QLatin1String("type")).toString();
        if (object.contains(QLatin1String("children")))
            parseTagChildren(object.value(QLatin1String("children")).toArray(), group.children);
        if (!group.children.isEmpty())
            groups.append(group);
    }
    return 1;
}

int parseTagChildren(const QJsonArray &array, QList<TagItem> &children)
{
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QJsonValue id = object.value(QLatin1String("tagid"));
        const QJsonValue name = object.value(QLatin1String("tagname"));
        const QString idText = id.isString() ? id.toString() : QString();
        const QString nameText = name.isString() ? name.toString() : QString();
        if (!idText.isEmpty() && !nameText.isEmpty())
            children.append(TagItem{idText.toInt(nullptr, 10), nameText});
    }
    return 1;
}

int parseImageList(const QJsonArray &array, QMap<int, QString> &images)
{
    if (array.isEmpty())
        return 0;
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const int fontid = digitsOf(object.value(QLatin1String("fontid")));
        const QString image = object.value(QLatin1String("image")).toString();
        if (fontid > 0 && !image.isEmpty())
            images.insert(fontid, image);
    }
    return 1;
}

int parseCatalogueReply(const QByteArray &bytes, QVector<FontAV> &fonts, ReplyEnvelope &envelope,
                        int maxFonts)
{
    envelope = ReplyEnvelope();
    if (bytes.isEmpty())
        return -1;
    QJsonObject object;
    if (!readObject(bytes, object))
        return 0;
    envelope = readStrictEnvelope(object);
    if (envelope.errcode != 0 || envelope.tag != OpTag::CloudList)
        return 0;
    if (object.contains(QLatin1String("lists")))
        parseFontArray(object.value(QLatin1String("lists")).toArray(), fonts, maxFonts);
    return integerOf(object.value(QLatin1String("count")), false).value_or(0);
}
