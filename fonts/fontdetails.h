#pragma once

#include "fonts/writingsystems.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <vector>

// Everything the details dialog shows of a font file, read through FreeType from a copy
// of the file in memory. Bounded whatever the file holds: files beyond kMaxFileBytes are
// refused, every name is cut at kMaxNameUnits, and the character map walk stops at the
// end of Unicode and at the first code that does not move forward. Stateless; any
// thread.
namespace FontDetails {

constexpr qint64 kMaxFileBytes = 128 * 1024 * 1024;
constexpr int kMaxNameUnits = 16 * 1024;

// A name in the font's Chinese and English records (either may be empty).
struct Name
{
    QString chinese;
    QString english;
    // The Chinese one where there is one.
    QString preferred() const { return chinese.isEmpty() ? english : chinese; }
    bool isEmpty() const { return chinese.isEmpty() && english.isEmpty(); }
};

struct Coverage
{
    WritingSystems::Id id;
    QString label;
    int covered = 0;
    int total = 0; // 0: the set is not available on this system
    double percent() const { return total > 0 ? 100.0 * covered / total : 0.0; }
};

struct Details
{
    bool ok = false;
    QString error; // why ok is false, for the user
    QString path;
    qint64 fileSize = 0;
    int faceCount = 0;
    QString format; // "TrueType", "OpenType (CFF)"...
    Name family, style, fullName, psName, version, designer, vendor, licence, licenceUrl,
        copyright;
    QString vendorId; // the four letters of OS/2's vendor id
    int glyphCount = 0;
    std::vector<uint> characters; // ascending
    QVector<Coverage> coverage;   // in WritingSystems order
};

// Face 0 of the file. With bytes, the file's contents are handed out too (empty when it
// was not read), so a caller that also draws the font reads it once.
Details read(const QString &path, QByteArray *bytes = nullptr);
Details readFromMemory(const QByteArray &file, const QString &path = QString());

// Counts of each set's codes among characters (ascending).
QVector<Coverage> coverageOf(const std::vector<uint> &characters);

// The file of an installed font, outside the session folder: the face with this
// PostScript name, which tells the faces of a family apart; without one, a face of the
// family with the style, else of the family. Empty when the system knows none.
QString installedFile(const QString &psName, const QString &family, const QString &style);

// "U+4E00" or "U+1F600".
QString codePointText(uint code);

} // namespace FontDetails
