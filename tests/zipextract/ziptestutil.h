#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <sys/resource.h>

// Helpers shared by the extraction tests: fixture archives written below the
// ZipWriter level (raw payloads, chosen CRCs, fixed cipher salt) and a way to
// see what extractArchive prints.

struct ExtractRun
{
    bool ok = false;
    QList<QByteArray> lines;
};

// Runs extractArchive with standard output captured line by line.
ExtractRun runExtract(const QString &archive, const QString &target, const QString &password);

// Deterministic bytes: half text-like (compressible), half noise.
QByteArray sampleBytes(int size, quint32 seed);

QByteArray deflateRaw(const QByteArray &data);
// A deflate stream whose first `goodBytes` decode and whose next block header
// is invalid, so inflating fails part way through.
QByteArray deflateBrokenAfter(const QByteArray &data, int goodBytes);

struct RawEntry
{
    QByteArray name;
    QByteArray payload; // as stored, before the cipher; empty for directories
    int method = 8;     // 0 stored, 8 deflated
    quint32 crc = 0;
    quint64 size = 0;
};
RawEntry rawFile(const QByteArray &name, const QByteArray &data, int method = 8);
// A deflated entry of `mebibytes` MiB of zeros, built from one repeated block so
// that even entries beyond 4 GiB take a moment and a few MB.
RawEntry zeroFile(const QByteArray &name, quint64 mebibytes);

// Writes the entries as given (with zip64 fields for sizes from 4 GiB). With a password every non-directory entry is
// enciphered with a fixed header salt, so the outcome of a wrong password is
// the same on every run.
bool writeRawArchive(const QString &path, const QList<RawEntry> &entries,
                     const QByteArray &password = QByteArray());

// Byte position of a field of the index-th central directory record of `zip`.
int centralField(const QByteArray &zip, int index, int field);

// Every file below root (relative path -> bytes); directories as "path/" -> "".
QMap<QString, QByteArray> readTree(const QString &root);

// Removes a tree by its byte names (QDir cannot remove names that are not
// valid in the locale's encoding, which other tools may produce).
void removeTree(const QString &path);

// While it lives, files this process writes may not grow past `bytes` (0: no
// limit); writes beyond it fail as on a full disk instead of raising SIGXFSZ.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    rlimit saved{};
    void (*handler)(int);
};
