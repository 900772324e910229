#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

struct CatalogueTag
{
    int id = 0;
    QString name;
};

struct CatalogueGroup
{
    QString name;  // "language" and "provider" select the font field the client filters on
    QString type;
    QList<CatalogueTag> tags;
};

struct CatalogueFont
{
    int id = 0;
    QString name;
    QString enName;
    QString file;     // absolute path of the font file served
    QString ttfName;  // the file's name inside the archive
    int language = 0; // id of a "language" tag
    int provider = 0; // id of a "provider" tag
    int codeid = 0;
    QList<int> tags;  // ids of tags of the other groups
};

// The fonts the service offers and the tag tree that sorts them, read from a
// JSON manifest (see devserver/catalogue.json for the format).
class Catalogue
{
public:
    // The manifest compiled into the program.
    static QString builtinManifest();

    // Fonts whose file cannot be read are left out with a warning; a manifest that
    // breaks the id rules, or leaves no font at all, fails.
    bool load(const QString &manifestPath, QString *error, QStringList *warnings);

    // Replaces the fonts with `count` fonts that reuse the loaded ones' files under
    // names, ids and archive file names of their own.
    void makeSynthetic(int count);

    const QVector<CatalogueFont> &fonts() const { return m_fonts; }
    const QList<CatalogueGroup> &groups() const { return m_groups; }
    const CatalogueFont *font(int id) const;

    // Whether a tag id (of any group) covers the font.
    bool fontHasTag(const CatalogueFont &font, int tagId) const;

private:
    QVector<CatalogueFont> m_fonts;
    QList<CatalogueGroup> m_groups;
    QHash<int, int> m_indexById;
};
