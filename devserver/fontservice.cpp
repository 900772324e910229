#include "devserver/fontservice.h"

#include "devserver/accountstore.h"
#include "devserver/assets.h"
#include "devserver/catalogue.h"
#include "devserver/formbody.h"
#include "devserver/throttle.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr int kMaxPageSize = 10000;
constexpr int kDefaultPageSize = 20;
constexpr int kMaxImageIds = 1000;
constexpr int kMaxHeadBytes = 2 * 1024 * 1024;
constexpr int kMaxHeadSide = 4096;
constexpr int kStoredHeadSide = 512;
constexpr int kMaxProfileText = 200;

QString digits(qint64 n)
{
    return QString::number(n);
}

bool isDigits(const QString &text, int minLength, int maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// "3,12" -> {3, 12}; false when a part is not a positive number.
bool readIdList(const QString &text, QList<int> *ids, int limit)
{
    ids->clear();
    if (text.isEmpty())
        return true;
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() > limit)
        return false;
    for (const QString &part : parts) {
        if (!isDigits(part, 1, 9))
            return false;
        const int id = part.toInt();
        if (id <= 0)
            return false;
        ids->append(id);
    }
    return true;
}

// Subsequence match, case ignored: "fz" finds "FangZheng".
bool containsInOrder(const QString &name, const QString &text)
{
    int from = 0;
    for (QChar c : text) {
        const int at = name.indexOf(c, from, Qt::CaseInsensitive);
        if (at < 0)
            return false;
        from = at + 1;
    }
    return true;
}

QJsonObject paramsObject(const SignedForm &form)
{
    QJsonObject o;
    for (const auto &kv : form.entries()) {
        if (!o.contains(kv.first))
            o.insert(kv.first, kv.second);
    }
    return o;
}

// Head images arrive as Base64 of any picture; they are kept as PNG of a bounded size.
bool headImageToPng(const QString &base64, QByteArray *png)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.size() > kMaxHeadBytes)
        return false;
    QByteArray data = decoded.decoded;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // Checked before decoding, so a small file cannot ask for a huge picture.
    if (!size.isValid() || size.width() > kMaxHeadSide || size.height() > kMaxHeadSide)
        return false;
    QImage image = reader.read();
    if (image.isNull())
        return false;
    if (image.width() > kStoredHeadSide || image.height() > kStoredHeadSide)
        image = image.scaled(kStoredHeadSide, kStoredHeadSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    QBuffer out(png);
    out.open(QIODevice::WriteOnly);
    return image.save(&out, "PNG");
}

bool isBirthday(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9]{1,4}-[0-9]{1,2}-[0-9]{1,2}$"));
    return text.isEmpty() || re.match(text).hasMatch();
}

} // namespace

bool isPhoneNumber(const QString &text)
{
    return isDigits(text, 11, 11);
}

FontService::FontService(AccountStore *accounts, const Catalogue *catalogue, AssetStore *assets,
                         const QString &latestVersion, LinePrinter print)
    : m_accounts(accounts), m_catalogue(catalogue), m_assets(assets),
      m_latestVersion(latestVersion), m_print(std::move(print))
{
}

QJsonObject FontService::envelope(int tag, int errcode, const QString &message)
{
    QJsonObject o;
    o.insert(QStringLiteral("errcode"), errcode);
    o.insert(QStringLiteral("message"), message);
    o.insert(QStringLiteral("tag"), digits(tag));
    return o;
}

QJsonObject FontService::handle(const SignedForm &form, const QString &base, const QString &client)
{
    m_client = client;
    switch (form.status()) {
    case SignedForm::Status::Ok:
        break;
    case SignedForm::Status::Empty:
    case SignedForm::Status::NoTag:
        return envelope(form.tag(), ServiceError::BadParameter, QStringLiteral("请求格式错误"));
    case SignedForm::Status::NoSecret:
        return envelope(form.tag(), ServiceError::BadSignature, QStringLiteral("缺少签名"));
    case SignedForm::Status::BadSignature:
        return envelope(form.tag(), ServiceError::BadSignature, QStringLiteral("签名验证失败"));
    }
    switch (form.tag()) {
    case 100:
        return catalogue(form, base);
    case 102:
        return tags(form);
    case 103:
        return usageReport(form);
    case 105:
        return collect(form, true);
    case 106:
        return collect(form, false);
    case 107:
        return loveList(form, base);
    case 114:
        return login(form, base);
    case 115:
        return sendCode(form);
    case 117:
        return registerAccount(form);
    case 118:
        return acceptAgreement(form);
    case 119:
        return modifyUser(form);
    case 120:
    case 124:
    case 125:
    case 126:
        return report(form);
    case 121:
        return lastVersion(form, base);
    case 127:
        return imageList(form, base);
    case 128:
        return updateLog(form);
    default:
        return envelope(form.tag(), ServiceError::UnknownOperation, QStringLiteral("未知的操作"));
    }
}

QJsonObject FontService::lockedReply(int tag, const QString &who)
{
    const int seconds = m_throttle ? m_throttle->lockedFor(who) : 0;
    return seconds > 0 ? envelope(tag, ServiceError::TooManyAttempts, lockedMessage(seconds))
                       : QJsonObject();
}

QJsonObject FontService::fontObject(const CatalogueFont &font, const QString &base,
                                    bool liked) const
{
    QStringList tagIds;
    for (int id : font.tags)
        tagIds.append(digits(id));
    QJsonObject o;
    o.insert(QStringLiteral("fontid"), digits(font.id));
    o.insert(QStringLiteral("fontname"), font.name);
    o.insert(QStringLiteral("codeid"), digits(font.codeid));
    o.insert(QStringLiteral("is_like"), liked ? QStringLiteral("1") : QStringLiteral("0"));
    o.insert(QStringLiteral("image"), AssetStore::previewUrl(base, font));
    o.insert(QStringLiteral("tagid"), tagIds.join(QLatin1Char(',')));
    o.insert(QStringLiteral("download_url"), AssetStore::archiveUrl(base, font));
    o.insert(QStringLiteral("font_en_name"), font.enName);
    o.insert(QStringLiteral("ttf_name"), font.ttfName);
    o.insert(QStringLiteral("provider"), digits(font.provider));
    o.insert(QStringLiteral("language"), digits(font.language));
    return o;
}

QJsonObject FontService::catalogue(const SignedForm &form, const QString &base)
{
    const int tag = form.tag();
    QList<int> tagIds;
    if (!readIdList(form.value(QStringLiteral("tag_id")), &tagIds, 100))
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("标签参数错误"));
    int page = 1;
    int number = kDefaultPageSize;
    if (form.has(QStringLiteral("page"))) {
        const QString p = form.value(QStringLiteral("page"));
        if (!isDigits(p, 1, 9) || p.toInt() < 1)
            return envelope(tag, ServiceError::BadParameter, QStringLiteral("页码错误"));
        page = p.toInt();
    }
    if (form.has(QStringLiteral("number"))) {
        const QString n = form.value(QStringLiteral("number"));
        if (!isDigits(n, 1, 9) || n.toInt() < 1)
            return envelope(tag, ServiceError::BadParameter, QStringLiteral("每页数量错误"));
        number = qMin(n.toInt(), kMaxPageSize);
    }
    const QString name = form.value(QStringLiteral("name"));
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    const QSet<int> liked = userId > 0 ? m_accounts->favouriteSet(userId) : QSet<int>();

    QJsonArray lists;
    int count = 0;
    const qint64 first = qint64(page - 1) * number;
    for (const CatalogueFont &font : m_catalogue->fonts()) {
        if (!tagIds.isEmpty()) {
            bool any = false;
            for (int id : qAsConst(tagIds))
                any = any || m_catalogue->fontHasTag(font, id);
            if (!any)
                continue;
        }
        if (!name.isEmpty() && !containsInOrder(font.name, name) &&
            !(font.enName.size() > 0 && containsInOrder(font.enName, name)))
            continue;
        if (count >= first && count < first + number)
            lists.append(fontObject(font, base, liked.contains(font.id)));
        ++count;
    }
    QJsonObject reply = envelope(tag, 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("count"), count);
    reply.insert(QStringLiteral("lists"), lists);
    return reply;
}

QJsonObject FontService::tags(const SignedForm &form)
{
    QJsonArray groups;
    for (const CatalogueGroup &group : m_catalogue->groups()) {
        QJsonArray children;
        for (const CatalogueTag &t : group.tags) {
            QJsonObject child;
            child.insert(QStringLiteral("tagid"), digits(t.id));
            child.insert(QStringLiteral("tagname"), t.name);
            children.append(child);
        }
        QJsonObject g;
        g.insert(QStringLiteral("name"), group.name);
        g.insert(QStringLiteral("type"), group.type);
        g.insert(QStringLiteral("children"), children);
        groups.append(g);
    }
    QJsonObject reply = envelope(form.tag(), 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("tags"), groups);
    return reply;
}

QJsonObject FontService::usageReport(const SignedForm &form)
{
    const int tag = form.tag();
    QList<int> downloaded;
    if (!readIdList(form.value(QStringLiteral("download_ids")), &downloaded, 100000))
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("下载记录格式错误"));
    if (form.has(QStringLiteral("activation"))) {
        const QJsonDocument doc =
            QJsonDocument::fromJson(form.value(QStringLiteral("activation")).toUtf8());
        if (!doc.isArray())
            return envelope(tag, ServiceError::BadParameter, QStringLiteral("使用记录格式错误"));
    }
    if (m_throttle && !m_throttle->allowReport(m_client))
        return envelope(tag, ServiceError::TooFrequent, QStringLiteral("请求过于频繁，请稍后再试"));
    // Reports at logout come after the token was dropped; they are kept all the same.
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (!m_accounts->storeReport(tag, userId, paramsObject(form)))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    if (userId > 0) {
        QList<int> known;
        for (int id : qAsConst(downloaded)) {
            if (m_catalogue->font(id))
                known.append(id);
        }
        m_accounts->recordDownloads(userId, known);
    }
    return envelope(tag, 0, QStringLiteral("上报成功"));
}

QJsonObject FontService::collect(const SignedForm &form, bool add)
{
    const int tag = form.tag();
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (userId <= 0)
        return envelope(tag, ServiceError::NotSignedIn, QStringLiteral("请先登录"));
    QList<int> ids;
    if (!readIdList(form.value(QStringLiteral("font_ids")), &ids, 1000) || ids.isEmpty())
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("字体编号错误"));
    for (int id : qAsConst(ids)) {
        if (!m_catalogue->font(id))
            return envelope(tag, ServiceError::UnknownFont, QStringLiteral("字体不存在"));
    }
    for (int id : qAsConst(ids)) {
        const bool done =
            add ? m_accounts->addFavourite(userId, id) : m_accounts->removeFavourite(userId, id);
        if (!done)
            return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    }
    return envelope(tag, 0, add ? QStringLiteral("收藏成功") : QStringLiteral("已取消收藏"));
}

QJsonObject FontService::loveList(const SignedForm &form, const QString &base)
{
    const int tag = form.tag();
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (userId <= 0)
        return envelope(tag, ServiceError::NotSignedIn, QStringLiteral("请先登录"));
    QJsonArray lists;
    for (int id : m_accounts->favourites(userId)) {
        if (const CatalogueFont *font = m_catalogue->font(id))
            lists.append(fontObject(*font, base, true));
    }
    QJsonObject reply = envelope(tag, 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("count"), lists.size());
    reply.insert(QStringLiteral("lists"), lists);
    return reply;
}

QJsonObject FontService::login(const SignedForm &form, const QString &base)
{
    const int tag = form.tag();
    const QString name = form.value(QStringLiteral("name"));
    const QString password = form.value(QStringLiteral("password"));
    if (name.isEmpty() || password.isEmpty())
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("用户名和密码不能为空"));
    // Wrong passwords count against the phone number, whichever name was used.
    const QString who = m_accounts->phoneForName(name);
    if (const QJsonObject locked = lockedReply(tag, who); !locked.isEmpty())
        return locked;
    const qint64 userId = m_accounts->authenticate(name, password);
    if (userId <= 0) {
        if (m_throttle)
            m_throttle->failed(who);
        return envelope(tag, ServiceError::WrongPassword, QStringLiteral("用户名或密码错误"));
    }
    if (m_throttle)
        m_throttle->succeeded(who);
    AccountStore::User u;
    const QString token = m_accounts->issueToken(userId);
    if (token.isEmpty() || !m_accounts->user(userId, &u))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));

    QJsonObject reply = envelope(tag, 0, QStringLiteral("登录成功"));
    reply.insert(QStringLiteral("uid"), u.id);
    reply.insert(QStringLiteral("uname"), u.uname);
    reply.insert(QStringLiteral("nick_name"), u.nickName);
    reply.insert(QStringLiteral("telephone"), u.phone);
    reply.insert(QStringLiteral("email"), u.email);
    reply.insert(QStringLiteral("head"), AssetStore::headUrl(base, u.headKey));
    reply.insert(QStringLiteral("dowload_num"), u.downloadCount);
    reply.insert(QStringLiteral("collection_num"), u.favouriteCount);
    reply.insert(QStringLiteral("group_num"), 0);
    reply.insert(QStringLiteral("token"), token);
    reply.insert(QStringLiteral("is_agree"), u.isAgree);
    reply.insert(QStringLiteral("sex"), u.sex);
    reply.insert(QStringLiteral("introduce"), u.introduce);
    reply.insert(QStringLiteral("birthday"), u.birthday);
    reply.insert(QStringLiteral("province"), u.province);
    reply.insert(QStringLiteral("city"), u.city);
    reply.insert(QStringLiteral("type"), u.type);
    return reply;
}

QJsonObject FontService::sendCode(const SignedForm &form)
{
    const int tag = form.tag();
    const QString phone = form.value(QStringLiteral("phone"));
    if (!isPhoneNumber(phone))
        return envelope(tag, ServiceError::BadPhone, QStringLiteral("手机号错误"));
    if (m_accounts->phoneRegistered(phone))
        return envelope(tag, ServiceError::PhoneTaken, QStringLiteral("该手机号已注册"));
    if (const QJsonObject locked = lockedReply(tag, phone); !locked.isEmpty())
        return locked;
    if (const int wait =
            m_throttle ? m_throttle->codeWait(QStringLiteral("register ") + phone, m_client) : 0)
        return envelope(tag, ServiceError::CodeTooSoon, codeWaitMessage(wait));
    const QString code = m_accounts->issueCode(phone, AccountStore::CodePurpose::Register);
    if (code.isEmpty())
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    // Printed instead of sent by SMS.
    m_print(QStringLiteral("verification code for %1: %2").arg(phone, code));
    return envelope(tag, 0, QStringLiteral("验证码已发送"));
}

QJsonObject FontService::registerAccount(const SignedForm &form)
{
    const int tag = form.tag();
    const QString phone = form.value(QStringLiteral("phone"));
    const QString code = form.value(QStringLiteral("code"));
    const QString password = form.value(QStringLiteral("password"));
    if (!isPhoneNumber(phone))
        return envelope(tag, ServiceError::BadPhone, QStringLiteral("手机号错误"));
    if (!isDigits(code, 4, 4))
        return envelope(tag, ServiceError::WrongCode, QStringLiteral("验证码错误"));
    if (password.size() < 6 || password.size() > 20)
        return envelope(tag, ServiceError::BadPasswordLength,
                        QStringLiteral("密码长度应为6到20位"));
    if (m_accounts->phoneRegistered(phone))
        return envelope(tag, ServiceError::PhoneTaken, QStringLiteral("该手机号已注册"));
    if (const QJsonObject locked = lockedReply(tag, phone); !locked.isEmpty())
        return locked;
    const AccountStore::CodeCheck check =
        m_accounts->consumeCode(phone, code, AccountStore::CodePurpose::Register);
    if (m_throttle && check != AccountStore::CodeCheck::Ok)
        m_throttle->failed(phone);
    switch (check) {
    case AccountStore::CodeCheck::Ok:
        break;
    case AccountStore::CodeCheck::Expired:
        return envelope(tag, ServiceError::CodeExpired, QStringLiteral("验证码已过期，请重新获取"));
    case AccountStore::CodeCheck::Wrong:
    case AccountStore::CodeCheck::Missing:
        return envelope(tag, ServiceError::WrongCode, QStringLiteral("验证码错误"));
    }
    const qint64 userId = m_accounts->createUser(phone, password);
    const QString token = userId > 0 ? m_accounts->issueToken(userId) : QString();
    if (token.isEmpty())
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    QJsonObject reply = envelope(tag, 0, QStringLiteral("注册成功"));
    reply.insert(QStringLiteral("uid"), userId);
    reply.insert(QStringLiteral("token"), token);
    reply.insert(QStringLiteral("telephone"), phone);
    return reply;
}

QJsonObject FontService::acceptAgreement(const SignedForm &form)
{
    const int tag = form.tag();
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (userId <= 0)
        return envelope(tag, ServiceError::NotSignedIn, QStringLiteral("请先登录"));
    if (!m_accounts->setAgreed(userId))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    return envelope(tag, 0, QStringLiteral("已同意用户协议"));
}

QJsonObject FontService::modifyUser(const SignedForm &form)
{
    const int tag = form.tag();
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (userId <= 0)
        return envelope(tag, ServiceError::NotSignedIn, QStringLiteral("请先登录"));
    AccountStore::User u;
    if (!m_accounts->user(userId, &u))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));

    // Fields left out keep their stored values.
    AccountStore::Profile p;
    auto field = [&form](const char *key, const QString &current) {
        const QString k = QString::fromLatin1(key);
        return form.has(k) ? form.value(k) : current;
    };
    p.nickName = field("nick_name", u.nickName);
    p.introduce = field("introduce", u.introduce);
    p.birthday = field("birthday", u.birthday);
    p.province = field("province", u.province);
    p.city = field("city", u.city);
    const QString sex = field("sex", QString::number(u.sex));
    if (!isDigits(sex, 1, 1) || sex.toInt() > 2 || !isBirthday(p.birthday) ||
        p.nickName.size() > kMaxProfileText || p.introduce.size() > kMaxProfileText ||
        p.province.size() > kMaxProfileText || p.city.size() > kMaxProfileText)
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("个人信息格式错误"));
    p.sex = sex.toInt();

    // The picture is checked before anything is stored, so a bad one changes nothing.
    QByteArray png;
    const bool newHead = form.has(QStringLiteral("head"));
    if (newHead && !headImageToPng(form.value(QStringLiteral("head")), &png))
        return envelope(tag, ServiceError::BadHeadImage, QStringLiteral("头像图片无效"));
    if (!m_accounts->updateProfile(userId, p) ||
        (newHead && m_accounts->setHeadImage(userId, png).isEmpty()))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    return envelope(tag, 0, QStringLiteral("修改成功"));
}

QJsonObject FontService::report(const SignedForm &form)
{
    const int tag = form.tag();
    if (tag == 126 && !isDigits(form.value(QStringLiteral("duration")), 1, 12))
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("时长格式错误"));
    if (m_throttle && !m_throttle->allowReport(m_client))
        return envelope(tag, ServiceError::TooFrequent, QStringLiteral("请求过于频繁，请稍后再试"));
    const qint64 userId = m_accounts->userForToken(form.value(QStringLiteral("token")));
    if (!m_accounts->storeReport(tag, userId, paramsObject(form)))
        return envelope(tag, ServiceError::Internal, QStringLiteral("服务器内部错误"));
    return envelope(tag, 0, QStringLiteral("上报成功"));
}

QJsonObject FontService::lastVersion(const SignedForm &form, const QString &base)
{
    QJsonObject reply = envelope(form.tag(), 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("version"), m_latestVersion);
    reply.insert(QStringLiteral("download"), m_assets->installerUrl(base));
    reply.insert(QStringLiteral("update_download"), m_assets->updatePackageUrl(base));
    return reply;
}

QJsonObject FontService::imageList(const SignedForm &form, const QString &base)
{
    const int tag = form.tag();
    QList<int> ids;
    if (!readIdList(form.value(QStringLiteral("fids")), &ids, kMaxImageIds) || ids.isEmpty())
        return envelope(tag, ServiceError::BadParameter, QStringLiteral("字体编号错误"));
    const QString text = form.value(QStringLiteral("str")).left(AssetStore::kMaxPreviewText);
    QJsonArray lists;
    QSet<int> seen;
    for (int id : qAsConst(ids)) {
        const CatalogueFont *font = m_catalogue->font(id);
        if (!font || seen.contains(id))
            continue;
        seen.insert(id);
        QJsonObject item;
        item.insert(QStringLiteral("fontid"), digits(id));
        item.insert(QStringLiteral("image"), AssetStore::previewUrl(base, *font, text));
        lists.append(item);
    }
    QJsonObject reply = envelope(tag, 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("lists"), lists);
    return reply;
}

QJsonObject FontService::updateLog(const SignedForm &form)
{
    const int tag = form.tag();
    if (form.value(QStringLiteral("version")) != m_latestVersion)
        return envelope(tag, ServiceError::NoChangeLog, QStringLiteral("没有该版本的更新日志"));
    QJsonObject reply = envelope(tag, 0, QStringLiteral("成功"));
    reply.insert(QStringLiteral("content"), QStringLiteral("V%1 更新内容：\n"
                                                           "1. 云字体列表加载更快。\n"
                                                           "2. 修复了收藏列表偶尔不刷新的问题。\n"
                                                           "3. 其他细节优化。")
                                                .arg(m_latestVersion));
    return reply;
}
