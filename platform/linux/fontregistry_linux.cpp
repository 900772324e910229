#include "platform/fontregistry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

QMutex registryMutex;

int faceCount(const QString &path)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return 0;
    FT_Face face = nullptr;
    int faces = 0;
    // Face index -1 only asks how many faces the file holds.
    if (FT_New_Face(library, QFile::encodeName(path).constData(), -1, &face) == 0) {
        faces = int(face->num_faces);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return faces;
}

QString xmlEscaped(const QString &text) { return text.toHtmlEscaped(); }

bool ensureIncludeFile(const QString &dir)
{
    const QString confPath = sessionFontConfigFile();
    const QByteArray content =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
        "<!-- Fonts Quillora activated for this login session. -->\n"
        "<fontconfig>\n"
        "  <dir>" + xmlEscaped(dir).toUtf8() + "</dir>\n"
        "</fontconfig>\n";
    QFile current(confPath);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return true;
    current.close();
    if (!QDir().mkpath(QFileInfo(confPath).path()))
        return false;
    QSaveFile file(confPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The link's name in the session folder: the file's own name, or a numbered variant
// when another file of that name is already registered.
QString linkNameFor(const QString &dir, const QFileInfo &source)
{
    const QString target = source.absoluteFilePath();
    QString name = source.fileName();
    for (int n = 1;; ++n) {
        const QFileInfo existing(dir + '/' + name);
        if (!existing.isSymLink() && !existing.exists())
            return name;
        if (existing.isSymLink() && existing.symLinkTarget() == target)
            return name;
        name = source.completeBaseName() + QString("-%1.").arg(n) + source.suffix();
    }
}

// Drops the faces registerFontFile gave this process's fontconfig for these links.
// The process's other application fonts (the toolkit keeps its own there) stay.
void forgetApplicationFonts(const QSet<QByteArray> &files)
{
    FcFontSet *set = FcConfigGetFonts(FcConfigGetCurrent(), FcSetApplication);
    if (!set)
        return;
    int kept = 0;
    for (int i = 0; i < set->nfont; ++i) {
        FcChar8 *file = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
            files.contains(QByteArray(reinterpret_cast<const char *>(file)))) {
            FcPatternDestroy(set->fonts[i]);
            continue;
        }
        set->fonts[kept++] = set->fonts[i];
    }
    set->nfont = kept;
}

} // namespace

QString sessionFontDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/quillora-fonts");
}

QString sessionFontConfigFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/fontconfig/conf.d/90-quillora-session.conf");
}

int registerFontFile(const QString &path)
{
    const QFileInfo source(path);
    if (!source.isFile())
        return 0;
    const int faces = faceCount(source.absoluteFilePath());
    if (faces <= 0)
        return 0;

    QMutexLocker lock(&registryMutex);
    const QString dir = sessionFontDir();
    if (!QDir().mkpath(dir) || !ensureIncludeFile(dir))
        return 0;
    const QString link = dir + '/' + linkNameFor(dir, source);
    if (!QFileInfo(link).isSymLink() && !QFile::link(source.absoluteFilePath(), link))
        return 0;

    // This process's fontconfig learns of the file at once; other processes through
    // the include file.
    FcConfigAppFontAddFile(FcConfigGetCurrent(),
                           reinterpret_cast<const FcChar8 *>(QFile::encodeName(link).constData()));
    return faces;
}

bool unregisterFontFile(const QString &path)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    QMutexLocker lock(&registryMutex);
    const QDir dir(sessionFontDir());
    if (!dir.exists())
        return true;
    bool gone = true;
    QSet<QByteArray> removed;
    for (const QFileInfo &link : dir.entryInfoList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (!link.isSymLink() || link.symLinkTarget() != target)
            continue;
        if (QFile::remove(link.absoluteFilePath()))
            removed.insert(QFile::encodeName(link.absoluteFilePath()));
        else
            gone = false;
    }
    if (!removed.isEmpty())
        forgetApplicationFonts(removed);
    return gone;
}

void announceFontChange()
{
    QMutexLocker lock(&registryMutex);
    const QByteArray dir = QFile::encodeName(sessionFontDir());
    if (!QFileInfo::exists(sessionFontDir()))
        return;
    // Rewrites the folder's cache so new fontconfig clients need no rescan and running
    // ones see a changed folder at their next check.
    FcCache *cache =
        FcDirCacheRead(reinterpret_cast<const FcChar8 *>(dir.constData()), FcTrue, nullptr);
    if (cache)
        FcDirCacheUnload(cache);
}
