#include "devserver/catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

static void initDevserverResources()
{
    Q_INIT_RESOURCE(devserver);
}

namespace {

constexpr qint64 kMaxManifestBytes = 4 * 1024 * 1024;

const QString kLanguageGroup = QStringLiteral("language");
const QString kProviderGroup = QStringLiteral("provider");

// Archive entry names are unpacked by clients into their own folders: keep them plain.
bool plainFontFileName(const QString &name)
{
    static const QRegularExpression re(
        QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,120}\\.(ttf|otf)$"),
        QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

int positiveInt(const QJsonValue &v)
{
    if (!v.isDouble())
        return 0;
    const double d = v.toDouble();
    if (d < 1 || d > 1e9 || d != double(int(d)))
        return 0;
    return int(d);
}

} // namespace

QString Catalogue::builtinManifest()
{
    initDevserverResources();
    return QStringLiteral(":/devserver/catalogue.json");
}

bool Catalogue::load(const QString &manifestPath, QString *error, QStringList *warnings)
{
    QFile file(manifestPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(manifestPath);
        return false;
    }
    if (file.size() > kMaxManifestBytes) {
        *error = QStringLiteral("%1 is too large").arg(manifestPath);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2")
                     .arg(manifestPath, parseError.errorString());
        return false;
    }
    // Relative font paths are read from the manifest's own folder.
    const QDir base = manifestPath.startsWith(QLatin1Char(':'))
                          ? QDir(QStringLiteral("/"))
                          : QFileInfo(manifestPath).absoluteDir();
    const QJsonObject root = doc.object();

    QList<CatalogueGroup> groups;
    QSet<int> languageIds, providerIds, otherIds, allIds;
    for (const QJsonValue &gv : root.value(QStringLiteral("groups")).toArray()) {
        const QJsonObject g = gv.toObject();
        CatalogueGroup group;
        group.name = g.value(QStringLiteral("name")).toString();
        group.type = g.value(QStringLiteral("type")).toString();
        if (group.name.isEmpty()) {
            *error = QStringLiteral("a tag group has no name");
            return false;
        }
        for (const QJsonValue &tv : g.value(QStringLiteral("tags")).toArray()) {
            const QJsonObject t = tv.toObject();
            CatalogueTag tag;
            tag.id = positiveInt(t.value(QStringLiteral("id")));
            tag.name = t.value(QStringLiteral("name")).toString();
            // Ids are unique across groups so that a tag id alone names one tag.
            if (tag.id == 0 || tag.name.isEmpty() || allIds.contains(tag.id)) {
                *error = QStringLiteral("group %1: every tag needs a unique positive id and a name")
                             .arg(group.name);
                return false;
            }
            allIds.insert(tag.id);
            if (group.name == kLanguageGroup)
                languageIds.insert(tag.id);
            else if (group.name == kProviderGroup)
                providerIds.insert(tag.id);
            else
                otherIds.insert(tag.id);
            group.tags.append(tag);
        }
        if (group.tags.isEmpty()) {
            *error = QStringLiteral("group %1 has no tags").arg(group.name);
            return false;
        }
        groups.append(group);
    }
    if (languageIds.isEmpty() || providerIds.isEmpty()) {
        *error = QStringLiteral("the manifest needs the tag groups \"language\" and \"provider\"");
        return false;
    }

    QVector<CatalogueFont> fonts;
    QSet<int> ids;
    QSet<QString> names, fileNames;
    for (const QJsonValue &fv : root.value(QStringLiteral("fonts")).toArray()) {
        const QJsonObject f = fv.toObject();
        CatalogueFont font;
        font.id = positiveInt(f.value(QStringLiteral("id")));
        font.name = f.value(QStringLiteral("name")).toString();
        font.enName = f.value(QStringLiteral("en_name")).toString();
        const QString path = f.value(QStringLiteral("file")).toString();
        font.file = path.isEmpty() ? QString() : QDir::cleanPath(base.absoluteFilePath(path));
        font.ttfName = f.value(QStringLiteral("ttf_name")).toString(QFileInfo(path).fileName());
        font.language = positiveInt(f.value(QStringLiteral("language")));
        font.provider = positiveInt(f.value(QStringLiteral("provider")));
        font.codeid = positiveInt(f.value(QStringLiteral("codeid")));
        const QString label = font.name.isEmpty() ? QStringLiteral("#%1").arg(font.id) : font.name;
        if (font.id == 0 || font.name.isEmpty() || path.isEmpty()) {
            *error = QStringLiteral("font %1: id, name and file are required").arg(label);
            return false;
        }
        if (ids.contains(font.id) || names.contains(font.name) ||
            fileNames.contains(font.ttfName)) {
            *error = QStringLiteral("font %1: id, name and file name must be unique").arg(label);
            return false;
        }
        if (!plainFontFileName(font.ttfName)) {
            *error = QStringLiteral("font %1: %2 is not a plain .ttf or .otf file name")
                         .arg(label, font.ttfName);
            return false;
        }
        if (!languageIds.contains(font.language) || !providerIds.contains(font.provider)) {
            *error =
                QStringLiteral("font %1: language and provider must be tag ids of their groups")
                    .arg(label);
            return false;
        }
        for (const QJsonValue &tv : f.value(QStringLiteral("tags")).toArray()) {
            const int tag = positiveInt(tv);
            if (!otherIds.contains(tag)) {
                *error =
                    QStringLiteral(
                        "font %1: tag %2 is not in a tag group other than language and provider")
                        .arg(label)
                        .arg(tv.toVariant().toString());
                return false;
            }
            font.tags.append(tag);
        }
        const QFileInfo info(font.file);
        if (!info.isFile() || !info.isReadable()) {
            warnings->append(
                QStringLiteral("font %1: %2 is missing, left out").arg(label, font.file));
            continue;
        }
        ids.insert(font.id);
        names.insert(font.name);
        fileNames.insert(font.ttfName);
        fonts.append(font);
    }
    if (fonts.isEmpty()) {
        *error = QStringLiteral("%1 lists no font that can be read").arg(manifestPath);
        return false;
    }

    m_groups = groups;
    m_fonts = fonts;
    m_indexById.clear();
    for (int i = 0; i < m_fonts.size(); ++i)
        m_indexById.insert(m_fonts.at(i).id, i);
    return true;
}

void Catalogue::makeSynthetic(int count)
{
    const QVector<CatalogueFont> real = m_fonts;
    if (real.isEmpty() || count < 1)
        return;
    const int width = QString::number(count).size();
    m_fonts.clear();
    m_fonts.reserve(count);
    m_indexById.clear();
    for (int i = 1; i <= count; ++i) {
        CatalogueFont f = real.at((i - 1) % real.size());
        const QString number = QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0'));
        f.id = i;
        f.name = f.name + QLatin1Char(' ') + number;
        f.enName = f.enName.isEmpty() ? QString() : f.enName + QLatin1Char(' ') + number;
        f.ttfName = QStringLiteral("s%1-%2").arg(number, f.ttfName);
        m_indexById.insert(f.id, m_fonts.size());
        m_fonts.append(f);
    }
}

const CatalogueFont *Catalogue::font(int id) const
{
    auto it = m_indexById.constFind(id);
    return it == m_indexById.constEnd() ? nullptr : &m_fonts.at(it.value());
}

bool Catalogue::fontHasTag(const CatalogueFont &font, int tagId) const
{
    return font.language == tagId || font.provider == tagId || font.tags.contains(tagId);
}
