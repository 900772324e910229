#include "ziptestutil.h"

#include "testfiles.h"
#include "zipextract/extractarchive.h"
#include "zipextract/zipcrypto.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>
#include <QTemporaryFile>

#include <zip.h>
#include <zlib.h>

#include <csignal>
#include <cstdio>
#include <ftw.h>
#include <unistd.h>

ExtractRun runExtract(const QString &archive, const QString &target, const QString &password)
{
    ExtractRun run;
    QTemporaryFile capture(QDir::tempPath() + "/stdout-XXXXXX");
    if (!capture.open())
        return run;
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(capture.handle(), STDOUT_FILENO);
    run.ok = extractArchive(archive, target, password);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);

    QFile in(capture.fileName());
    if (in.open(QIODevice::ReadOnly)) {
        run.lines = in.readAll().split('\n');
        if (!run.lines.isEmpty() && run.lines.last().isEmpty())
            run.lines.removeLast();
    }
    return run;
}

QByteArray sampleBytes(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray out;
    out.reserve(size);
    static const char words[] = "glyph kerning serif ascender baseline ";
    while (out.size() < size) {
        if (rng.bounded(2) == 0) {
            for (int i = 0; i < 64 && out.size() < size; ++i)
                out.append(char(rng.bounded(256)));
        } else {
            out.append(words, qMin(int(sizeof words) - 1, size - out.size()));
        }
    }
    return out;
}

static QByteArray deflateParts(const QByteArray &data, int split, bool breakSecond)
{
    z_stream zs = {};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&zs, uLong(data.size()))) + 64, '\0');
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    zs.avail_in = uInt(split);
    deflate(&zs, Z_FULL_FLUSH);
    const int firstEnd = int(zs.total_out);
    zs.avail_in = uInt(data.size() - split);
    deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    if (breakSecond)
        out[firstEnd] = char(0xff); // final block of reserved type 3
    return out;
}

QByteArray deflateRaw(const QByteArray &data)
{
    return deflateParts(data, 0, false);
}

QByteArray deflateBrokenAfter(const QByteArray &data, int goodBytes)
{
    return deflateParts(data, goodBytes, true);
}

RawEntry rawFile(const QByteArray &name, const QByteArray &data, int method)
{
    RawEntry e;
    e.name = name;
    e.method = method;
    e.payload = method == 8 ? deflateRaw(data) : data;
    e.crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    e.size = quint64(data.size());
    return e;
}

RawEntry zeroFile(const QByteArray &name, quint64 mebibytes)
{
    // A full flush ends each block on a byte boundary with nothing to refer back
    // to, so copies of it follow one another as a valid stream.
    const QByteArray zeros(1 << 20, '\0');
    z_stream zs = {};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray block(1 << 16, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
    zs.avail_in = uInt(zeros.size());
    zs.next_out = reinterpret_cast<Bytef *>(block.data());
    zs.avail_out = uInt(block.size());
    deflate(&zs, Z_FULL_FLUSH);
    block.resize(int(zs.total_out));
    deflateEnd(&zs);

    RawEntry e;
    e.name = name;
    e.payload = block.repeated(int(mebibytes)) + QByteArray("\x03\x00", 2); // empty final block
    e.size = mebibytes << 20;
    const uLong one = crc32(0, reinterpret_cast<const Bytef *>(zeros.constData()), uInt(zeros.size()));
    uLong crc = crc32(0, nullptr, 0);
    for (quint64 i = 0; i < mebibytes; ++i)
        crc = crc32_combine(crc, one, zeros.size());
    e.crc = quint32(crc);
    return e;
}

bool writeRawArchive(const QString &path, const QList<RawEntry> &entries,
                     const QByteArray &password)
{
    zipFile zf = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zf)
        return false;
    bool ok = true;
    for (const RawEntry &e : entries) {
        const bool directory = e.name.endsWith('/');
        const bool protect = !password.isEmpty() && !directory;
        QByteArray stored = e.payload;
        if (protect) {
            static const unsigned char salt[ZipCrypto::kHeaderSize - 1] = {
                0x51, 0x07, 0xa3, 0x3c, 0x90, 0x1e, 0x6d, 0xf2, 0x48, 0xb5, 0x0a};
            unsigned char header[ZipCrypto::kHeaderSize];
            ZipCrypto cipher(password);
            cipher.makeHeader(header, salt, ZipCrypto::checkByteFromCrc(e.crc));
            cipher.encrypt(reinterpret_cast<unsigned char *>(stored.data()), size_t(stored.size()));
            stored.prepend(reinterpret_cast<const char *>(header), ZipCrypto::kHeaderSize);
        }
        zip_fileinfo info = {};
        info.dosDate = 0x5a210000; // 2025-01-01 00:00
        ok = ok &&
             zipOpenNewFileInZip4_64(zf, e.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                     e.method, Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8,
                                     Z_DEFAULT_STRATEGY, nullptr, 0, 0, protect ? 1 : 0,
                                     e.size >= 0xffffffffu) == ZIP_OK &&
             (stored.isEmpty() ||
              zipWriteInFileInZip(zf, stored.constData(), unsigned(stored.size())) == ZIP_OK) &&
             zipCloseFileInZipRaw64(zf, e.size, e.crc) == ZIP_OK;
    }
    return zipClose(zf, nullptr) == ZIP_OK && ok;
}

int centralField(const QByteArray &zip, int index, int field)
{
    const auto u16 = [&zip](int pos) { return qFromLittleEndian<quint16>(zip.constData() + pos); };
    int pos = int(qFromLittleEndian<quint32>(zip.constData() + zip.size() - 22 + 16));
    for (int i = 0; i < index; ++i)
        pos += 46 + u16(pos + 28) + u16(pos + 30) + u16(pos + 32);
    return pos + field;
}

QMap<QString, QByteArray> readTree(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo fi = it.fileInfo();
        const QString rel = base.relativeFilePath(path);
        if (fi.isSymLink()) {
            tree.insert(rel + " -> " + fi.symLinkTarget(), QByteArray());
        } else if (fi.isDir()) {
            tree.insert(rel + '/', QByteArray());
        } else {
            tree.insert(rel, fi.isReadable() ? fileBytes(path) : QByteArray("<unreadable>"));
        }
    }
    return tree;
}

void removeTree(const QString &path)
{
    ::nftw(
        QFile::encodeName(path).constData(),
        [](const char *p, const struct stat *, int, struct FTW *) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN))
{
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = bytes > 0 ? bytes : saved.rlim_cur;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
}
