#include "fonts/localfontscan.h"

#include "fonts/fontnamereader.h"
#include "platform/fontregistry.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QSet>
#include <QStandardPaths>

#include <optional>

#ifndef Q_OS_WIN
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#endif

namespace {

struct StyleWord
{
    const char *word;
    int value;
};

// Order matters: the first word the style contains wins.
const StyleWord kWeights[] = {
    {"Narrow", 0},  {"Thin", 0},      {"ExtraLight", 12}, {"Light", 25},     {"Normal", 50},
    {"Medium", 57}, {"DemiBold", 63}, {"Bold", 75},       {"ExtraBold", 81}, {"Black", 87},
};

const StyleWord kStretches[] = {
    {"UltraCondensed", 50}, {"ExtraCondensed", 62}, {"Condensed", 75},
    {"SemiCondensed", 87},  {"Unstretched", 100},   {"SemiExpanded", 112},
    {"Expanded", 125},      {"ExtraExpanded", 150}, {"UltraExpanded", 200},
};

template <size_t N> int firstWordValue(const QString &style, const StyleWord (&table)[N])
{
    for (const StyleWord &w : table) {
        if (style.contains(QLatin1String(w.word), Qt::CaseInsensitive))
            return w.value;
    }
    return -1;
}

bool isFontSuffix(const QFileInfo &info)
{
    const QString suffix = info.suffix();
    return suffix.compare(QLatin1String("ttf"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("otf"), Qt::CaseInsensitive) == 0;
}

bool isAtOrBelow(const QString &path, const QString &folder)
{
    return !folder.isEmpty() &&
           (path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/'));
}

// What identifies a folder already walked. Resolving a canonical path per folder
// costs a lookup per path component, which makes a deep tree quadratic; the device
// and inode numbers come from one stat. The Windows font folder is flat, so its
// canonical path is cheap there.
#ifdef Q_OS_WIN
using FolderKey = QString;
bool folderKey(const QString &folder, FolderKey &key)
{
    key = QFileInfo(folder).canonicalFilePath();
    return !key.isEmpty();
}
#else
using FolderKey = QPair<quint64, quint64>;
bool folderKey(const QString &folder, FolderKey &key)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    key = {quint64(st.st_dev), quint64(st.st_ino)};
    return true;
}
#endif

class FolderWalk
{
public:
    FolderWalk(const QString &excludedDir, bool recursive)
        : m_excluded(excludedDir.isEmpty() ? QString()
                                           : QFileInfo(excludedDir).canonicalFilePath()),
          m_recursive(recursive)
    {
        FolderKey key;
        if (!m_excluded.isEmpty() && folderKey(m_excluded, key))
            m_excludedKey = key;
    }

    // A starting folder may name the excluded one through links or lie below it, so
    // its real path is compared once; inside the walk, links are never followed and
    // meeting the excluded folder itself is the only way into it.
    void walkTop(const QString &folder)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (!canonical.isEmpty() && !isAtOrBelow(canonical, m_excluded))
            walk(folder);
    }

    QStringList files() const { return m_files; }

private:
    void walk(const QString &folder)
    {
        FolderKey key;
        if (!folderKey(folder, key) || (m_excludedKey && key == *m_excludedKey) ||
            m_visited.contains(key))
            return;
        m_visited.insert(key);
        QDir::Filters filters = QDir::Files | QDir::NoSymLinks;
        if (m_recursive)
            filters |= QDir::Dirs | QDir::NoDotAndDotDot;
        const QFileInfoList entries =
            QDir(folder).entryInfoList(filters, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir())
                walk(entry.absoluteFilePath());
            else if (isFontSuffix(entry))
                m_files.append(entry.absoluteFilePath());
        }
    }

    QString m_excluded;
    std::optional<FolderKey> m_excludedKey;
    bool m_recursive;
    QSet<FolderKey> m_visited;
    QStringList m_files;
};

} // namespace

QString displayName(const QString &family, const QString &style)
{
    if (family.contains(style))
        return family;
    if (style.contains(QLatin1String("Regular"), Qt::CaseInsensitive))
        return family;
    return family + QLatin1Char(' ') + style;
}

int weightOf(const QString &style)
{
    return firstWordValue(style, kWeights);
}

int stretchOf(const QString &style)
{
    return firstWordValue(style, kStretches);
}

void applyStyleName(const QString &family, const QString &style, QFont &font)
{
    font.setFamily(family);
    const int stretch = stretchOf(style);
    if (stretch >= 0)
        font.setStretch(stretch);
    const int weight = weightOf(style);
    if (weight >= 0)
        font.setWeight(weight);
    if (style.contains(QLatin1String("Italic"), Qt::CaseInsensitive))
        font.setStyle(QFont::StyleItalic);
    if (style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive))
        font.setStyle(QFont::StyleOblique);
    if (style.contains(QLatin1String("Slanted"), Qt::CaseInsensitive))
        font.setStyle(QFont::StyleOblique);
}

bool hasChineseName(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5)
            return true;
    }
    return false;
}

QStringList fontDirectories()
{
#ifdef Q_OS_WIN
    return QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
#else
    // Only the configuration is loaded: building the font set would scan every
    // font and write caches, which the scan does not need. Without that build the
    // font directories are exactly the configured ones, not their subfolders.
    QStringList dirs;
    FcConfig *config = FcInitLoadConfig();
    if (!config)
        return dirs;
    if (FcStrList *list = FcConfigGetFontDirs(config)) {
        while (FcChar8 *dir = FcStrListNext(list))
            dirs.append(QFile::decodeName(reinterpret_cast<const char *>(dir)));
        FcStrListDone(list);
    }
    FcConfigDestroy(config);
    return dirs;
#endif
}

QStringList fontFilesIn(const QStringList &folders, const QString &excludedDir)
{
#ifdef Q_OS_WIN
    FolderWalk walk(excludedDir, false);
#else
    FolderWalk walk(excludedDir, true);
#endif
    for (const QString &folder : folders)
        walk.walkTop(folder);
    return walk.files();
}

QStringList fontFiles(const QString &excludedDir)
{
    return fontFilesIn(fontDirectories(), excludedDir);
}

QList<ScannedFont> scanFontFiles(const QStringList &files,
                                 const std::function<bool()> &stopRequested)
{
    QList<ScannedFont> fonts;
    QList<ScannedFont> chinese;
    QSet<QString> seen;
    LocalFont working;
    for (const QString &path : files) {
        if (stopRequested && stopRequested())
            break;
        if (fillLocalFont(path, working) <= 0)
            continue;
        const QString name = displayName(working.familyName, working.styleName);
        working.showName = name;
        if (seen.contains(name))
            continue;
        (hasChineseName(name) ? chinese : fonts).append({working, path});
        seen.insert(name);
    }
    fonts.append(chinese);
    return fonts;
}

ThreadForLocalFonts::ThreadForLocalFonts(QObject *parent)
    : QThread(parent), m_excludedDir(sessionFontDir())
{
}

void ThreadForLocalFonts::run()
{
    const QStringList files =
        m_folders.isEmpty() ? fontFiles(m_excludedDir) : fontFilesIn(m_folders, m_excludedDir);
    m_scanned = scanFontFiles(files, [this] { return isInterruptionRequested(); });
}

QList<LocalFont> ThreadForLocalFonts::localFonts() const
{
    QList<LocalFont> fonts;
    fonts.reserve(m_scanned.size());
    for (const ScannedFont &s : m_scanned)
        fonts.append(s.font);
    return fonts;
}

QStringList builtinPreviewParts()
{
    // Product data: ten family names of the service's own library, each followed
    // by ';', with pictures under :/preimgs/preimgs/. None are shipped yet.
    static const QString kPreviewNames;
    return kPreviewNames.split(QLatin1Char(';'), Qt::KeepEmptyParts);
}
