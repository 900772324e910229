#include "formbody.h"

#include "signing.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <tuple>

namespace {

constexpr int kMaxOpenChoices = 12;
// Every choice hashes the whole body once; this bounds the bytes hashed per body.
constexpr qint64 kHashBudget = 64 * 1024 * 1024;
constexpr int kPeekWindow = 64 * 1024;

const QString kSecret = QStringLiteral("secret");
const QString kTag = QStringLiteral("tag");
const QString kHead = QStringLiteral("head");

bool startsLikeKey(const QString &piece)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return re.match(piece).hasMatch();
}

QPair<QString, QString> splitEntry(const QString &entry)
{
    const int eq = entry.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {entry, QString()};
    return {entry.left(eq), entry.mid(eq + 1)};
}

int tagOf(const QString &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    return digits.match(value).hasMatch() ? value.toInt() : 0;
}

struct Candidate
{
    QList<QPair<QString, QString>> entries; // without secret, head decoded
    int duplicates = 0;
    int unknown = 0;
    int merges = 0;
};

// Builds the entries for one choice of which open pieces start an entry.
// Returns false when the choice does not hold exactly one secret.
bool buildCandidate(const QStringList &pieces, const QList<int> &open, quint32 mergeMask,
                    const QSet<QString> &known, Candidate *out, QString *secret, bool *sawSecret)
{
    QStringList raw;
    int openIndex = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        bool starts = i == 0;
        if (i > 0 && openIndex < open.size() && open.at(openIndex) == i) {
            // Only the first kMaxOpenChoices open pieces have a bit in the mask.
            starts = openIndex >= kMaxOpenChoices || !(mergeMask & (1u << openIndex));
            ++openIndex;
        }
        if (starts || raw.isEmpty())
            raw.append(pieces.at(i));
        else
            raw.last() += QLatin1Char('&') + pieces.at(i);
    }

    Candidate c;
    int secrets = 0;
    QSet<QString> seen;
    for (const QString &entry : qAsConst(raw)) {
        auto kv = splitEntry(entry);
        if (kv.first == kSecret) {
            ++secrets;
            *secret = kv.second;
            continue;
        }
        if (kv.first == kHead)
            kv.second = QString::fromUtf8(QByteArray::fromPercentEncoding(kv.second.toLatin1()));
        if (seen.contains(kv.first))
            ++c.duplicates;
        seen.insert(kv.first);
        if (!known.isEmpty() && !known.contains(kv.first))
            ++c.unknown;
        c.entries.append(kv);
    }
    c.merges = pieces.size() - raw.size();
    if (secrets > 0)
        *sawSecret = true;
    if (secrets != 1)
        return false;
    *out = c;
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

bool signs(const QList<QPair<QString, QString>> &entries, const QString &secret)
{
    QStringList signedList;
    signedList.reserve(entries.size());
    for (const auto &kv : entries)
        signedList.append(kv.first + QLatin1Char('=') + kv.second);
    return signatureOf(signedList) == secret;
}

// Some clients escape the form characters inside values and sign the values as they
// were; such a body is taken with its values unescaped. Such a client never leaves an
// "&" inside a value, so only the split at every "&" is read that way.
bool verifies(Candidate *c, const QString &secret)
{
    if (signs(c->entries, secret))
        return true;
    if (c->merges > 0)
        return false;
    auto unescaped = c->entries;
    bool changed = false;
    for (auto &kv : unescaped) {
        if (kv.first == kHead)
            continue;
        const QString plain = unescapeFormCharacters(kv.second);
        changed = changed || plain != kv.second;
        kv.second = plain;
    }
    if (!changed || !signs(unescaped, secret))
        return false;
    c->entries = unescaped;
    return true;
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

    const QStringList pieces = QString::fromUtf8(body).split(QLatin1Char('&'));
    QList<int> open;
    for (int i = 1; i < pieces.size(); ++i) {
        if (startsLikeKey(pieces.at(i)))
            open.append(i);
    }
    int choices = qMin<int>(open.size(), kMaxOpenChoices);
    while (choices > 0 && (qint64(1) << choices) * body.size() > kHashBudget)
        --choices;

    const QList<QString> &keyList = protocolKeys(form.m_tag);
    const QSet<QString> known(keyList.begin(), keyList.end());
    const auto rank = [](const Candidate &x) {
        return std::make_tuple(x.duplicates, x.unknown, x.merges);
    };

    // Fewer merges first: once a clean split verifies, no later one can rank higher.
    bool sawSecret = false;
    bool found = false;
    Candidate best;
    for (int merges = 0; merges <= choices; ++merges) {
        for (quint32 mask = 0; mask < (1u << choices); ++mask) {
            if (int(qPopulationCount(mask)) != merges)
                continue;
            Candidate c;
            QString secret;
            if (!buildCandidate(pieces, open, mask, known, &c, &secret, &sawSecret))
                continue;
            if (!verifies(&c, secret))
                continue;
            if (!found || rank(c) < rank(best)) {
                best = c;
                found = true;
            }
        }
        if (found && best.duplicates == 0 && best.unknown == 0)
            break;
    }
    if (!found) {
        form.m_status = sawSecret ? Status::BadSignature : Status::NoSecret;
        return form;
    }
    form.m_entries = best.entries;
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
