#pragma once

#include "fonts/fontrecords.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

class QFont;

// Family and style joined the way the local page lists a font: the family alone
// when it already holds the style or the style is a Regular one.
QString displayName(const QString &family, const QString &style);

// Weight and stretch on QFont's scales named by a style, or -1. Words are tried
// in a fixed order and the first one the style contains wins, so "ExtraBold"
// reads as Bold and "SemiCondensed" as Condensed.
int weightOf(const QString &style);
int stretchOf(const QString &style);
// Family, stretch, weight and slant of a local card's preview font.
void applyStyleName(const QString &family, const QString &style, QFont &font);

// True when the name holds a CJK ideograph (U+4E00 to U+9FA5); such fonts are
// listed after all others.
bool hasChineseName(const QString &name);

// The folders installed fonts live in. On Linux these are fontconfig's
// configured font directories (fonts sit in per-package subfolders there); on
// Windows the system font folder.
QStringList fontDirectories();

// Candidate font files below the given folders, in listing order: each folder's
// entries by name ignoring case, subfolders walked where they sort (Linux only;
// the Windows font folder is flat), regular files only, never through a symbolic
// link, suffix ttf or otf in any case. A folder at or below excludedDir is left
// out, as is a folder already walked.
QStringList fontFilesIn(const QStringList &folders, const QString &excludedDir = QString());
QStringList fontFiles(const QString &excludedDir = QString());

struct ScannedFont
{
    LocalFont font;
    QString path;
};

// Reads each file's names; files that are not usable fonts are skipped, and of
// files with the same display name only the first is kept. Fonts whose display
// name has no CJK ideograph come first, then the others, each in file order.
// stopRequested is polled before every file.
QList<ScannedFont> scanFontFiles(const QStringList &files,
                                 const std::function<bool()> &stopRequested = {});

// The start-up scan of installed fonts. The result stays in the thread object;
// read it after finished().
class ThreadForLocalFonts : public QThread
{
    Q_OBJECT
public:
    explicit ThreadForLocalFonts(QObject *parent = nullptr);

    // Left out of the scan: the per-session activation folder by default, since
    // fonts the program activated itself must not show up as installed. Set
    // before start().
    void setExcludedDir(const QString &dir) { m_excludedDir = dir; }
    // Scans these folders instead of fontDirectories(). Set before start().
    void setFolders(const QStringList &folders) { m_folders = folders; }

    // The records in list order, as FtManager takes them.
    QList<LocalFont> localFonts() const;
    // The same with the file each record was read from.
    const QList<ScannedFont> &scannedFonts() const { return m_scanned; }

protected:
    void run() override;

private:
    QList<ScannedFont> m_scanned;
    QString m_excludedDir;
    QStringList m_folders;
};

// The names of the built-in preview cards shown before the catalogue arrives,
// split at ";" with empty parts kept. The program ships no preview pictures, so
// the list holds one empty part.
QStringList builtinPreviewParts();
