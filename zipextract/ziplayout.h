#pragma once

#include "zipextract/zipfileio.h"

#include <QByteArray>

#include <vector>

// An archive file opened through minizip's file functions, for reading the
// directory and the entries' data at 64-bit offsets.
class ArchiveStream
{
public:
    explicit ArchiveStream(const QByteArray &path);
    ~ArchiveStream();
    ArchiveStream(const ArchiveStream &) = delete;
    ArchiveStream &operator=(const ArchiveStream &) = delete;

    bool isOpen() const { return m_stream != nullptr; }
    quint64 size() const { return m_size; }
    bool seek(quint64 offset);
    // Bytes read; fewer than asked only at the end of the file or on an error.
    unsigned long read(void *buffer, unsigned long size);
    bool readAt(quint64 offset, void *buffer, unsigned long size);

private:
    zlib_filefunc64_def m_io;
    voidpf m_stream = nullptr;
    quint64 m_size = 0;
};

// One entry as the central directory and its local header place it, with the
// zip64 sizes and offsets applied.
struct ZipEntryLayout
{
    QByteArray name;
    quint16 flags = 0;
    quint16 method = 0;
    quint32 dosDate = 0; // time in the low half, date in the high half
    quint32 crc = 0;
    quint64 compressedSize = 0;
    quint64 uncompressedSize = 0;
    quint64 headerOffset = 0; // of the local header, from the start of the file
    quint64 dataOffset = 0;   // of the first stored byte
};

struct ZipLayout
{
    enum class Verdict { Sound, Damaged, Overlapping };
    Verdict verdict = Verdict::Damaged;
    std::vector<ZipEntryLayout> entries;
    quint64 declaredSize = 0; // all entries' uncompressed sizes, saturating
};

// Reads the central directory and every local header. An archive whose entries
// share bytes with each other or with the central directory is Overlapping:
// such an archive makes the same bytes count many times over (a zip bomb).
ZipLayout readZipLayout(ArchiveStream &in);
