#pragma once

#include "fonts/fontrecords.h"

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPoint>
#include <QString>
#include <QVector>

// Which font field a tag group is compared with: the language and provider groups
// name the font's own fields, every other group its tag list.
enum TagGroupType { OtherTagGroup = 0, LanguageTagGroup = 1, ProviderTagGroup = 2 };

int tagGroupType(const QString &groupName);

// The ticked tags of the filter panel: key group + "&" + tag id, value (group type,
// tag id). Keyed by id, not by name, so two tags of one name in a group stay apart.
class TagSelection
{
public:
    static QString key(const QString &group, int tagId);

    void set(const QString &group, int groupType, int tagId, bool on);
    bool contains(const QString &group, int tagId) const
    {
        return m_map.contains(key(group, tagId));
    }
    void clear() { m_map.clear(); }
    bool isEmpty() const { return m_map.isEmpty(); }
    int size() const { return m_map.size(); }
    QMap<QString, QPoint> *map() { return &m_map; }

private:
    QMap<QString, QPoint> m_map;
};

// The selection travels as a pointer in the panel's signals.
using TagMap = QMap<QString, QPoint>;
Q_DECLARE_METATYPE(TagMap *)

// Whether a comma-separated id list ("3,,12") holds the id. Empty and non-numeric parts
// never match.
bool tagListHas(const QString &tagIds, int tagId);

// Writes the names of the records that match any of the points (x group type, y tag id)
// into `out`, in name order, and returns their number; `out` is resized to it. -1, with
// `out` untouched, when no point is given.
int filterByTags(const QMap<QString, FontAV> &records, QVector<QString> &out,
                 const QList<QPoint> &points);
