#pragma once

#include "core/userprofile.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVector>

// A font of the service's catalogue. Field names are the keys of the service's font
// objects.
struct FontAV
{
    int fontid = 0;
    QString fontname; // key of every name-keyed collection and of the card grid
    QString font_en_name;
    int codeid = 0;
    int is_like = 0;
    QString image;
    QString tagid = QLatin1String(""); // comma-separated tag ids, empty but not null
    int language = 0;
    int provider = 0;
    QString ttf_name;
    QString download_url;
};

// Names read from a font file's naming table.
struct LocalFont
{
    QString showName; // family and style as the local page lists them
    QString familyName;
    QString enFamilyName;
    QString styleName;
    QString psName;
};

struct TagItem
{
    int tagid = 0;
    QString tagname;
};

struct TagGroup
{
    QString name;
    QString type;
    QList<TagItem> children;
};

// An ordered list of catalogue fonts with a name set for quick membership tests.
class FontGroup
{
public:
    explicit FontGroup(const QString &title = QString()) : m_title(title) {}

    // Appends a new name; a name already present has its record replaced in place.
    void add(const FontAV &font);
    // Puts a new name at position (clamped); a name already present stays where it is.
    void insert(int position, const FontAV &font);
    int indexOf(const QString &fontname) const;
    void remove(const QString &fontname);
    bool contains(const QString &fontname) const { return m_names.contains(fontname); }
    void clear();

    const QVector<FontAV> &fonts() const { return m_fonts; }
    int size() const { return m_fonts.size(); }
    bool isEmpty() const { return m_fonts.isEmpty(); }
    const QString &title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

private:
    QString m_title;
    QVector<FontAV> m_fonts;
    QSet<QString> m_names;
};

// A user record: the account fields plus the font groups that belong to the user.
struct UserRecord : UserProfile
{
    FontGroup favourites{QStringLiteral("收藏")};
    FontGroup local{QStringLiteral("本地")};
    QMap<int, FontGroup> groups; // the user's own font groups by id (none are made yet)
};
