#include "devserver/formbody.h"

#include "service/signing.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace {

constexpr int kPeekWindow = 64 * 1024;
constexpr int kMaxKeyLength = 32;
// No operation has nearly this many entries; beyond it a body is not read loosely.
constexpr int kMaxLooseEntries = 64;

const QString kTag = QStringLiteral("tag");
const QString kHead = QStringLiteral("head");
const QByteArray kSecretKey = QByteArrayLiteral("secret");

using Entries = QList<QPair<QString, QString>>;

int tagOf(const QString &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    return digits.match(value).hasMatch() ? value.toInt() : 0;
}

bool isKeyStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isKeyChar(char c)
{
    return isKeyStart(c) || (c >= '0' && c <= '9');
}

// The key of an entry starting at `from` ("key=..."), or empty; looks at no more
// than kMaxKeyLength bytes, so scanning a body stays linear.
QByteArray keyAt(const QByteArray &body, int from, int end)
{
    if (from >= end || !isKeyStart(body.at(from)))
        return QByteArray();
    const int limit = qMin(end, from + kMaxKeyLength + 1);
    int i = from + 1;
    while (i < limit && isKeyChar(body.at(i)))
        ++i;
    return i < limit && body.at(i) == '=' ? body.mid(from, i - from) : QByteArray();
}

// Body order of an operation's keys, without the signature: "tag" first, except
// for the profile upload, whose optional "head" comes before it.
QHash<QByteArray, int> orderOf(int tag)
{
    QHash<QByteArray, int> rank;
    if (tag == 119)
        rank.insert(kHead.toLatin1(), 0);
    for (const QString &key : protocolKeys(tag)) {
        if (key != QLatin1String("secret") && !rank.contains(key.toLatin1()))
            rank.insert(key.toLatin1(), rank.size());
    }
    rank.insert(kTag.toLatin1(), tag == 119 ? 1 : 0);
    return rank;
}

void appendEntry(const QByteArray &body, int from, int end, Entries *out)
{
    const int eq = body.indexOf('=', from);
    const QString key = QString::fromLatin1(body.mid(from, eq - from));
    const QByteArray value = body.mid(eq + 1, end - eq - 1);
    out->append({key, key == kHead ? QString::fromUtf8(QByteArray::fromPercentEncoding(value))
                                   : QString::fromUtf8(value)});
}

// Splits with the operation's keys in their documented order, from the right: an
// entry starts at the last "&key=" whose key comes before the entry after it, so a
// value may hold "&" and even later keys of the operation.
bool splitInOrder(const QByteArray &body, const QHash<QByteArray, int> &rank, Entries *out)
{
    QList<QPair<int, int>> spans;
    int end = body.size();
    int limit = rank.size();
    for (int p = body.lastIndexOf('&'); p >= 0; p = p > 0 ? body.lastIndexOf('&', p - 1) : -1) {
        const auto it = rank.constFind(keyAt(body, p + 1, end));
        if (it == rank.constEnd() || it.value() >= limit)
            continue;
        limit = it.value();
        spans.prepend({p + 1, end});
        end = p;
    }
    const auto first = rank.constFind(keyAt(body, 0, end));
    if (first == rank.constEnd() || first.value() >= limit)
        return false;
    spans.prepend({0, end});
    out->clear();
    for (const auto &span : qAsConst(spans))
        appendEntry(body, span.first, span.second, out);
    return true;
}

// Every "&" followed by a key starts an entry, whatever the key; for clients that
// escape the form characters inside values and may send keys in another order.
bool splitLoosely(const QByteArray &body, Entries *out)
{
    QList<int> starts = {0};
    for (int p = body.indexOf('&'); p >= 0; p = body.indexOf('&', p + 1)) {
        if (!keyAt(body, p + 1, body.size()).isEmpty())
            starts.append(p + 1);
        if (starts.size() > kMaxLooseEntries)
            return false;
    }
    if (keyAt(body, 0, body.size()).isEmpty())
        return false;
    out->clear();
    for (int i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts.at(i + 1) - 1 : body.size();
        appendEntry(body, starts.at(i), end, out);
        if (out->last().first == QLatin1String(kSecretKey))
            return false;
    }
    return true;
}

// "%25", "%26", "%2B" and "%3D" back to "%", "&", "+" and "=", in one pass.
QString unescapeFormCharacters(const QString &value)
{
    if (!value.contains(QLatin1Char('%')))
        return value;
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('%') && i + 2 < value.size()) {
            const QString code = value.mid(i + 1, 2).toUpper();
            const char *plain = code == QLatin1String("25")   ? "%"
                                : code == QLatin1String("26") ? "&"
                                : code == QLatin1String("2B") ? "+"
                                : code == QLatin1String("3D") ? "="
                                                              : nullptr;
            if (plain) {
                out += QLatin1String(plain);
                i += 2;
                continue;
            }
        }
        out += value.at(i);
    }
    return out;
}

bool signs(const Entries &entries, const QString &secret)
{
    QStringList signedList;
    signedList.reserve(entries.size());
    for (const auto &kv : entries)
        signedList.append(kv.first + QLatin1Char('=') + kv.second);
    return signatureOf(signedList) == secret;
}

// Some clients escape the form characters inside values and sign the values as they
// were; such a body is taken with its values unescaped. Such a client never leaves an
// "&" inside a value.
bool verifies(Entries *entries, const QString &secret)
{
    if (signs(*entries, secret))
        return true;
    Entries unescaped = *entries;
    bool changed = false;
    for (auto &kv : unescaped) {
        if (kv.first == kHead)
            continue;
        if (kv.second.contains(QLatin1Char('&')))
            return false;
        const QString plain = unescapeFormCharacters(kv.second);
        changed = changed || plain != kv.second;
        kv.second = plain;
    }
    if (!changed || !signs(unescaped, secret))
        return false;
    *entries = unescaped;
    return true;
}

// Takes the signature entry out of the body: right after the tag, or last for the
// profile upload. False when there is none in either place.
bool takeSecret(const QByteArray &body, QByteArray *rest, QString *secret)
{
    const int afterTag = body.startsWith("tag=") ? body.indexOf('&') : -1;
    if (afterTag > 0 && body.mid(afterTag + 1, kSecretKey.size() + 1) == kSecretKey + '=') {
        const int from = afterTag + 1 + kSecretKey.size() + 1;
        const int next = body.indexOf('&', from);
        const int end = next < 0 ? body.size() : next;
        *secret = QString::fromLatin1(body.mid(from, end - from));
        *rest = body.left(afterTag) + body.mid(end);
        return true;
    }
    const int last = body.lastIndexOf("&" + kSecretKey + '=');
    if (last > 0 && body.indexOf('&', last + 1) < 0) {
        *secret = QString::fromLatin1(body.mid(last + kSecretKey.size() + 2));
        *rest = body.left(last);
        return true;
    }
    return false;
}

} // namespace

const QList<QString> &protocolKeys(int tag)
{
    static const QStringList setA = {"mac", "app_version", "app_platform"};
    static const QHash<int, QList<QString>> table = [] {
        QHash<int, QList<QString>> t;
        auto withA = [](QStringList own) { return QStringList{"tag", "secret"} + own + setA; };
        auto inlineSet = [](QStringList own) { return QStringList{"tag", "secret"} + own; };
        t.insert(100, inlineSet({"content", "sort", "tag_id", "page", "number", "name", "version",
                                 "mac", "app_platform", "token"}));
        t.insert(102, withA({}));
        t.insert(103, withA({"token", "download_ids", "activation"}));
        t.insert(105, withA({"token", "font_ids"}));
        t.insert(106, withA({"token", "font_ids"}));
        t.insert(107, withA({"content", "sort", "token"}));
        t.insert(114, inlineSet({"name", "password", "version", "platform", "mac"}));
        t.insert(115, withA({"phone"}));
        t.insert(117, withA({"phone", "code", "password"}));
        t.insert(118, withA({"token"}));
        t.insert(119, withA({"head", "token", "nick_name", "sex", "introduce", "birthday",
                             "province", "city"}));
        t.insert(120, inlineSet({"token", "error_info", "mac", "system", "system_version",
                                 "app_version", "platform", "client_name", "client_version"}));
        t.insert(121, inlineSet({"platform", "version"}));
        t.insert(124, inlineSet({"mac", "version", "platform"}));
        t.insert(125, inlineSet({"token", "mac", "version", "platform"}));
        t.insert(126, inlineSet({"token", "duration", "mac", "version", "platform"}));
        t.insert(127, withA({"str", "fids"}));
        t.insert(128, withA({"version"}));
        return t;
    }();
    static const QList<QString> none;
    auto it = table.constFind(tag);
    return it == table.constEnd() ? none : it.value();
}

int SignedForm::peekTag(const QByteArray &body)
{
    // "tag=" is the first entry, or the second after the profile upload's head.
    const QList<QByteArray> pieces = body.left(kPeekWindow).split('&');
    for (int i = 0; i < pieces.size() && i < 2; ++i) {
        if (pieces.at(i).startsWith("tag="))
            return tagOf(QString::fromLatin1(pieces.at(i).mid(4)));
    }
    // A very long head value pushes "tag=" past the window read above.
    const int at = body.indexOf("&tag=");
    if (body.startsWith("head=") && at > 0) {
        const int end = body.indexOf('&', at + 1);
        return tagOf(QString::fromLatin1(body.mid(at + 5, end < 0 ? -1 : end - at - 5)));
    }
    return 0;
}

SignedForm SignedForm::parse(const QByteArray &body)
{
    SignedForm form;
    if (body.isEmpty())
        return form;
    form.m_tag = peekTag(body);
    if (form.m_tag == 0) {
        form.m_status = Status::NoTag;
        return form;
    }
    QByteArray rest;
    QString secret;
    if (!takeSecret(body, &rest, &secret)) {
        form.m_status = Status::NoSecret;
        return form;
    }
    // Each way of reading costs one pass and one signature, so any body is read in
    // time linear in its size.
    Entries entries;
    const bool found =
        (splitInOrder(rest, orderOf(form.m_tag), &entries) && verifies(&entries, secret)) ||
        (splitLoosely(rest, &entries) && verifies(&entries, secret));
    if (!found) {
        form.m_status = Status::BadSignature;
        return form;
    }
    form.m_entries = entries;
    const int tagFromEntries = tagOf(form.value(kTag));
    if (tagFromEntries == 0) {
        form.m_entries.clear();
        form.m_status = Status::NoTag;
        return form;
    }
    form.m_tag = tagFromEntries;
    form.m_status = Status::Ok;
    return form;
}

bool SignedForm::has(const QString &key) const
{
    for (const auto &kv : m_entries) {
        if (kv.first == key)
            return true;
    }
    return false;
}

QString SignedForm::value(const QString &key) const
{
    for (const auto &kv : m_entries) {
        if (kv.first == key)
            return kv.second;
    }
    return QString();
}
