// Writes zip bombs for measuring the extractor against them:
//
//     make_bombs DIR
//
// overlap.zip: 1000 central directory entries that all name one 1 GiB stream;
// quoted.zip: 1000 entries, each one's data quoting the next local header and
// running on to the same 1 GiB stream; past-size.zip: one entry that declares
// 1 KiB and inflates to 1 GiB. picture.png: a PNG of about 2 MB that claims
// 23000 x 23000 RGBA pixels (2.1 GB decoded), for the client's preview pictures.
#include "ziptestutil.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <zlib.h>

#include <cstdio>

namespace {

QByteArray le(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
    return out;
}

struct Entry
{
    QByteArray name;
    quint32 crc;
    quint32 compressed;
    quint32 size;
    quint32 offset;
};

QByteArray localHeader(const Entry &e)
{
    return le(0x04034b50, 4) + le(20, 2) + le(0, 2) + le(8, 2) + le(0, 4) + le(e.crc, 4) +
           le(e.compressed, 4) + le(e.size, 4) + le(e.name.size(), 2) + le(0, 2) + e.name;
}

// Local area, then the central directory of `entries` and its end record.
bool writeArchive(const QString &path, const QByteArray &local, const QList<Entry> &entries)
{
    QByteArray cd;
    for (const Entry &e : entries)
        cd += le(0x02014b50, 4) + le(20, 2) + le(20, 2) + le(0, 2) + le(8, 2) + le(0, 4) +
              le(e.crc, 4) + le(e.compressed, 4) + le(e.size, 4) + le(e.name.size(), 2) +
              le(0, 12) + le(e.offset, 4) + e.name;
    const QByteArray end = le(0x06054b50, 4) + le(0, 4) + le(entries.size(), 2) +
                           le(entries.size(), 2) + le(cd.size(), 4) + le(local.size(), 4) +
                           le(0, 2);
    QFile f(path);
    const QByteArray all = local + cd + end;
    return f.open(QIODevice::WriteOnly) && f.write(all) == all.size();
}

quint32 crcOf(const QByteArray &bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

QByteArray be(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return be(quint32(data.size())) + type + data + be(crcOf(type + data));
}

// White rows of filter type 0, deflated one row at a time.
bool writePictureBomb(const QString &path, quint32 side)
{
    z_stream z = {};
    if (deflateInit(&z, 9) != Z_OK)
        return false;
    const QByteArray row = QByteArray(1, '\0') + QByteArray(int(side) * 4, char(0xff));
    QByteArray idat;
    QByteArray out(1 << 20, '\0');
    for (quint32 y = 0; y < side; ++y) {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(row.constData()));
        z.avail_in = uInt(row.size());
        const int flush = y + 1 == side ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            idat.append(out.constData(), out.size() - int(z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    const QByteArray header = be(side) + be(side) + char(8) + char(6) + QByteArray(3, '\0');
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
                           pngChunk("IDAT", idat) + pngChunk("IEND", QByteArray());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(png) == png.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bombs DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    const RawEntry kernel = zeroFile("kernel", 1024);
    const quint32 kernelSize = quint32(kernel.payload.size());
    const int count = 1000;
    bool ok = true;

    QList<Entry> same;
    for (int i = 0; i < count; ++i)
        same << Entry{QByteArray::number(i).rightJustified(4, '0'), kernel.crc, kernelSize,
                      quint32(kernel.size), 0};
    ok &= writeArchive(dir + "/overlap.zip", localHeader(same.first()) + kernel.payload, same);

    // Built from the last entry back: each one's data is a stored deflate block
    // holding the next local header, followed by the next entry's data.
    QList<Entry> quoted{Entry{QByteArray("0999"), kernel.crc, kernelSize, quint32(kernel.size), 0}};
    QByteArray tail = kernel.payload;
    for (int i = count - 2; i >= 0; --i) {
        const QByteArray next = localHeader(quoted.first());
        const Entry &n = quoted.first();
        tail = le(0, 1) + le(next.size(), 2) + le(~next.size() & 0xffff, 2) + next + tail;
        quoted.prepend(Entry{QByteArray::number(i).rightJustified(4, '0'),
                             quint32(crc32_combine(crcOf(next), n.crc, n.size)),
                             n.compressed + 5 + quint32(next.size()), n.size + quint32(next.size()),
                             0});
    }
    const QByteArray quotedLocal = localHeader(quoted.first()) + tail;
    quint32 offset = 0;
    for (Entry &e : quoted) {
        e.offset = offset;
        offset += quint32(localHeader(e).size()) + 5;
    }
    ok &= writeArchive(dir + "/quoted.zip", quotedLocal, quoted);

    const Entry past{"past-size.bin", crcOf(QByteArray(1024, '\0')), kernelSize, 1024, 0};
    ok &= writeArchive(dir + "/past-size.zip", localHeader(past) + kernel.payload, {past});
    ok &= writePictureBomb(dir + "/picture.png", 23000);
    return ok ? 0 : 1;
}
