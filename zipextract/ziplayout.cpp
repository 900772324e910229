#include "zipextract/ziplayout.h"

#include <algorithm>
#include <cstring>

ArchiveStream::ArchiveStream(const QByteArray &path)
{
    fillFileFunctions(&m_io);
    m_stream = m_io.zopen64_file(m_io.opaque, path.constData(),
                                 ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    if (m_stream && m_io.zseek64_file(m_io.opaque, m_stream, 0, ZLIB_FILEFUNC_SEEK_END) == 0)
        m_size = m_io.ztell64_file(m_io.opaque, m_stream);
}

ArchiveStream::~ArchiveStream()
{
    if (m_stream)
        m_io.zclose_file(m_io.opaque, m_stream);
}

bool ArchiveStream::seek(quint64 offset)
{
    return offset <= m_size &&
           m_io.zseek64_file(m_io.opaque, m_stream, offset, ZLIB_FILEFUNC_SEEK_SET) == 0;
}

unsigned long ArchiveStream::read(void *buffer, unsigned long size)
{
    return m_io.zread_file(m_io.opaque, m_stream, buffer, size);
}

bool ArchiveStream::readAt(quint64 offset, void *buffer, unsigned long size)
{
    return size <= m_size && offset <= m_size - size && seek(offset) && read(buffer, size) == size;
}

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64EndSignature = 0x06064b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr unsigned kLocalHeaderSize = 30;
constexpr unsigned kCentralHeaderSize = 46;
constexpr unsigned kEndSize = 22;
constexpr unsigned kZip64EndSize = 56;
constexpr unsigned kLocatorSize = 20;
constexpr quint32 kMarker = 0xffffffffu;
// A directory this large is no font or update package; refusing it bounds memory.
constexpr quint64 kMaxCentralDirectory = 64u << 20;

quint64 le(const unsigned char *p, int bytes)
{
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Where the central directory lies, found the way minizip finds it: the last end
// record within the final 64 KiB, then its zip64 record when a locator precedes it.
struct Directory
{
    quint64 offset = 0; // from the start of the file
    quint64 size = 0;
    quint64 entries = 0;
    quint64 base = 0; // bytes before the archive proper (a self-extractor's stub)
};

bool findDirectory(ArchiveStream &in, Directory *dir)
{
    const quint64 tail = std::min<quint64>(in.size(), 0xffff + kEndSize);
    std::vector<unsigned char> buf(tail);
    if (tail < kEndSize || !in.readAt(in.size() - tail, buf.data(), tail))
        return false;
    quint64 end = 0;
    bool found = false;
    for (quint64 i = tail - kEndSize + 1; i-- > 0;) {
        if (le(&buf[i], 4) == kEndSignature) {
            end = in.size() - tail + i;
            found = true;
            break;
        }
    }
    if (!found)
        return false;
    const unsigned char *e = &buf[end - (in.size() - tail)];
    quint64 record = end;
    dir->entries = le(e + 10, 2);
    dir->size = le(e + 12, 4);
    dir->offset = le(e + 16, 4);

    unsigned char loc[kLocatorSize];
    unsigned char z[kZip64EndSize];
    if (end >= kLocatorSize && in.readAt(end - kLocatorSize, loc, kLocatorSize) &&
        le(loc, 4) == kZip64LocatorSignature && in.readAt(le(loc + 8, 8), z, kZip64EndSize) &&
        le(z, 4) == kZip64EndSignature) {
        record = le(loc + 8, 8);
        dir->entries = le(z + 32, 8);
        dir->size = le(z + 40, 8);
        dir->offset = le(z + 48, 8);
    }
    if (dir->size > record || dir->offset > record - dir->size)
        return false;
    dir->base = record - (dir->offset + dir->size);
    dir->offset += dir->base;
    return true;
}

// Applies the zip64 extra field: each 32-bit field set to the marker has its
// 64-bit value there, in the order uncompressed size, compressed size, offset.
void applyZip64(const unsigned char *extra, quint64 length, ZipEntryLayout *entry)
{
    quint64 pos = 0;
    while (pos + 4 <= length) {
        const quint64 id = le(extra + pos, 2);
        const quint64 size = le(extra + pos + 2, 2);
        pos += 4;
        if (size > length - pos)
            return;
        if (id == 0x0001) {
            const unsigned char *field = extra + pos;
            const unsigned char *fieldEnd = field + size;
            for (quint64 *value :
                 {&entry->uncompressedSize, &entry->compressedSize, &entry->headerOffset}) {
                if (*value != kMarker)
                    continue;
                if (fieldEnd - field < 8)
                    return;
                *value = le(field, 8);
                field += 8;
            }
            return;
        }
        pos += size;
    }
}

} // namespace

ZipLayout readZipLayout(ArchiveStream &in)
{
    ZipLayout layout;
    Directory dir;
    if (!in.isOpen() || !findDirectory(in, &dir) || dir.size > kMaxCentralDirectory ||
        dir.entries > dir.size / kCentralHeaderSize)
        return layout;
    std::vector<unsigned char> cd(dir.size);
    if (!in.readAt(dir.offset, cd.data(), cd.size()))
        return layout;

    layout.entries.reserve(dir.entries);
    quint64 pos = 0;
    bool methodsDiffer = false; // told only after the overlap, the graver fault
    for (quint64 i = 0; i < dir.entries; ++i) {
        if (cd.size() - pos < kCentralHeaderSize || le(&cd[pos], 4) != kCentralSignature)
            return layout;
        const unsigned char *h = &cd[pos];
        const quint64 nameLength = le(h + 28, 2);
        const quint64 extraLength = le(h + 30, 2);
        const quint64 variable = nameLength + extraLength + le(h + 32, 2);
        if (cd.size() - pos - kCentralHeaderSize < variable)
            return layout;
        ZipEntryLayout entry;
        entry.flags = quint16(le(h + 8, 2));
        entry.method = quint16(le(h + 10, 2));
        entry.dosDate = quint32(le(h + 12, 4));
        entry.crc = quint32(le(h + 16, 4));
        entry.compressedSize = le(h + 20, 4);
        entry.uncompressedSize = le(h + 24, 4);
        entry.headerOffset = le(h + 42, 4);
        entry.name = QByteArray(reinterpret_cast<const char *>(h + kCentralHeaderSize),
                                int(nameLength));
        applyZip64(h + kCentralHeaderSize + nameLength, extraLength, &entry);
        pos += kCentralHeaderSize + variable;

        unsigned char local[kLocalHeaderSize];
        if (entry.headerOffset > dir.offset - dir.base)
            return layout;
        entry.headerOffset += dir.base;
        if (!in.readAt(entry.headerOffset, local, kLocalHeaderSize) ||
            le(local, 4) != kLocalSignature)
            return layout;
        methodsDiffer |= le(local + 8, 2) != entry.method;
        entry.dataOffset =
            entry.headerOffset + kLocalHeaderSize + le(local + 26, 2) + le(local + 28, 2);
        layout.declaredSize += std::min(entry.uncompressedSize, ~layout.declaredSize);
        layout.entries.push_back(std::move(entry));
    }

    // Every entry's header and data must end before the central directory and
    // before the next entry's header begins.
    std::vector<std::pair<quint64, quint64>> spans; // [header, end of data)
    spans.reserve(layout.entries.size());
    for (const ZipEntryLayout &e : layout.entries) {
        if (e.dataOffset > dir.offset || e.compressedSize > dir.offset - e.dataOffset) {
            layout.verdict = ZipLayout::Verdict::Overlapping;
            return layout;
        }
        spans.emplace_back(e.headerOffset, e.dataOffset + e.compressedSize);
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second) {
            layout.verdict = ZipLayout::Verdict::Overlapping;
            return layout;
        }
    }
    layout.verdict = methodsDiffer ? ZipLayout::Verdict::Damaged : ZipLayout::Verdict::Sound;
    return layout;
}
