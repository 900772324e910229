#include "finding/tagfilter.h"

#include <climits>

int tagGroupType(const QString &groupName)
{
    if (groupName == QLatin1String("language"))
        return LanguageTagGroup;
    if (groupName == QLatin1String("provider"))
        return ProviderTagGroup;
    return OtherTagGroup;
}

QString TagSelection::key(const QString &group, int tagId)
{
    // The id after the last "&" is all digits, so a group name holding "&" stays apart.
    return group + QLatin1Char('&') + QString::number(tagId);
}

void TagSelection::set(const QString &group, int groupType, int tagId, bool on)
{
    if (on)
        m_map.insert(key(group, tagId), QPoint(groupType, tagId));
    else
        m_map.remove(key(group, tagId));
}

namespace {

// Calls f(id) for each well-formed part of a comma-separated id list; stops when f
// returns true. Walks the characters in place: this runs once per catalogue font.
template <typename F> bool anyTagId(const QString &tagIds, F f)
{
    const QChar *c = tagIds.constData();
    const int n = tagIds.size();
    for (int i = 0; i <= n; ++i) { // i == n: the part after the last comma
        qint64 value = 0;
        int digits = 0;
        bool valid = true;
        for (; i < n && c[i] != QLatin1Char(','); ++i) {
            const ushort u = c[i].unicode();
            if (u >= '0' && u <= '9') {
                if (value <= INT_MAX)
                    value = value * 10 + (u - '0');
                ++digits;
            } else if (u != ' ') {
                valid = false;
            }
        }
        if (valid && digits > 0 && value <= INT_MAX && f(int(value)))
            return true;
    }
    return false;
}

} // namespace

bool tagListHas(const QString &tagIds, int tagId)
{
    return anyTagId(tagIds, [tagId](int id) { return id == tagId; });
}

int filterByTags(const QMap<QString, FontAV> &records, QVector<QString> &out,
                 const QList<QPoint> &points)
{
    if (points.isEmpty())
        return -1;
    QVector<int> languages, providers, tags;
    for (const QPoint &p : points)
        (p.x() == LanguageTagGroup   ? languages
         : p.x() == ProviderTagGroup ? providers
                                     : tags)
            .append(p.y());
    out.clear();
    for (auto it = records.constBegin(); it != records.constEnd(); ++it) {
        const FontAV &font = it.value();
        // Any ticked tag admits the font, whatever its group.
        if (languages.contains(font.language) || providers.contains(font.provider) ||
            (!tags.isEmpty() &&
             anyTagId(font.tagid, [&tags](int id) { return tags.contains(id); })))
            out.append(it.key());
    }
    return out.size();
}
