#pragma once

#include "fonts/fontrecords.h"

#include <QByteArray>
#include <QString>

#include <memory>

// Reads family, style and PostScript names straight from the 'name' table of a
// TrueType or OpenType file. Stateless; every function may run on any thread.
//
// Name outputs are caller-owned, zero-filled byte buffers (normally
// kNameBufferSize bytes). A name is written as UTF-8 without a terminator and cut
// to capacity - 1 bytes, so a zero byte always follows it; decoded Windows names
// are cut at a character boundary, Macintosh names are copied as raw bytes.
namespace FontNameReader {

constexpr int kNameBufferSize = 100;
// Bounds on what one font contributes to a name, whatever its table holds: repeated
// records beyond the first kMaxAppendedRecords add nothing, and a decoded name
// stops at kMaxNameUnits UTF-16 units (at most three times as many UTF-8 bytes).
constexpr int kMaxAppendedRecords = 64;
constexpr int kMaxNameUnits = 1024;

// Results of tableLength, and of the readers when the table cannot be reached.
enum Result : int {
    CannotOpen = -1,  // the file cannot be opened
    NotSfnt = -2,     // neither 00 01 00 00 nor "OTTO" (collections, WOFF, "true")
    NoNameTable = -3, // numTables is 0 or no table is tagged "name"
};

// readCnFamily's result when the table holds no name records and the English
// rule filled the outputs instead.
constexpr int kCnNoRecords = 3;

// A file's naming table as read once: the tableLength result and the bytes that
// could actually be read (possibly fewer than the length when the file is cut).
struct NameTable
{
    int code = CannotOpen;
    QByteArray bytes;
};

NameTable loadNameTable(const QString &path);
// Reads at most the first 12 bytes, the table directory and the naming table.
NameTable loadNameTableFromMemory(const QByteArray &file);

// Length of the 'name' table (0 or more), or a Result.
int tableLength(const QString &path);
// Copies up to length bytes of the table into buffer; returns the number of
// bytes copied, or a Result when the table cannot be reached.
int readNameTable(const QString &path, char *buffer, int length);

// 0 on success, or the table's code when it is below 1.
int readPsName(const QString &path, char *out, int capacity);
// 0 when the English typographic names were taken, 1 otherwise; or the table's
// code when it is below 1.
int readEnFamily(const QString &path, char *outFamily, char *outStyle, int capacity);
// 0 when a Chinese name was taken, the English rule's result after falling back to it,
// kCnNoRecords when the table has no records; or the table's code when below 1.
int readCnFamily(const QString &path, char *outFamily, char *outStyle, int capacity);

// The same rules applied to a table already loaded.
int readPsName(const NameTable &table, char *out, int capacity);
int readEnFamily(const NameTable &table, char *outFamily, char *outStyle, int capacity);
int readCnFamily(const NameTable &table, char *outFamily, char *outStyle, int capacity);

// A buffer filled by the readers, as every caller reads it: UTF-8 up to the first
// zero byte.
QString bufferText(const char *buffer, int capacity = kNameBufferSize);

// The four names a font file record needs, read with one pass over the file.
struct FileNames
{
    int cnResult = CannotOpen;
    int enResult = CannotOpen;
    int psResult = CannotOpen;
    QString familyName;
    QString styleName;
    QString enFamilyName;
    QString psName;
    // Both readers succeeded and family, style and PostScript name are present.
    bool complete() const;
};

FileNames readFileNames(const NameTable &table);
FileNames readFileNames(const QString &path);

} // namespace FontNameReader

// A record for a font file, with showName left empty; null when the file is not a
// usable font or lacks a family, style or PostScript name.
std::unique_ptr<LocalFont> readLocalFont(const QString &path);

// Writes familyName, enFamilyName, styleName and psName of a usable file into
// record (showName untouched) and returns 1. Returns -2 when the file cannot be
// read as a font and -1 when a name is missing; record is then unchanged.
int fillLocalFont(const QString &path, LocalFont &record);
int fillLocalFont(const FontNameReader::FileNames &names, LocalFont &record);
