#include "zipextract/zipwriter.h"

#include "zipextract/zipcrypto.h"
#include "zipextract/zipfileio.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <limits>

namespace {

constexpr uLong kMadeByUnix = (3u << 8) | 20u;
constexpr uLong kFlagEncrypted = 1u << 0;
constexpr uLong kFlagUtf8Name = 1u << 11;

bool hasNonAscii(const QByteArray &name)
{
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Raw deflate (no zlib header), as zip entries store it.
bool deflateRaw(const QByteArray &in, QByteArray *out)
{
    z_stream zs = {};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out->resize(static_cast<int>(deflateBound(&zs, static_cast<uLong>(in.size()))));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef *>(out->data());
    zs.avail_out = static_cast<uInt>(out->size());
    const int rc = deflate(&zs, Z_FINISH);
    out->resize(static_cast<int>(zs.total_out));
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

} // namespace

ZipWriter::ZipWriter(const QString &archivePath, const QString &password)
    : m_password(password.toUtf8())
{
    zlib_filefunc64_def io;
    fillFileFunctions(&io);
    const QByteArray path = QFile::encodeName(archivePath);
    m_zip = zipOpen2_64(path.constData(), APPEND_STATUS_CREATE, nullptr, &io);
    if (!m_zip)
        fail(QStringLiteral("cannot create %1").arg(archivePath));
}

ZipWriter::~ZipWriter()
{
    if (m_zip)
        zipClose(m_zip, nullptr);
}

bool ZipWriter::fail(const QString &message)
{
    if (!m_failed)
        m_error = message;
    m_failed = true;
    return false;
}

bool ZipWriter::addDirectory(const QByteArray &name)
{
    QByteArray dir = name;
    if (!dir.endsWith('/'))
        dir.append('/');
    return addEntry(dir, QByteArray(), 0, false, 0, 0, true);
}

bool ZipWriter::addFile(const QByteArray &name, const QByteArray &data, Method method)
{
    if (!m_zip)
        return fail(QStringLiteral("archive is not open"));
    const quint32 crc = static_cast<quint32>(crc32(
        0, reinterpret_cast<const Bytef *>(data.constData()), static_cast<uInt>(data.size())));
    QByteArray payload;
    int zipMethod = 0;
    if (method == Method::Deflate) {
        if (!deflateRaw(data, &payload))
            return fail(QStringLiteral("cannot compress %1").arg(QString::fromUtf8(name)));
        zipMethod = Z_DEFLATED;
    } else {
        payload = data;
    }

    const bool encrypted = !m_password.isEmpty();
    if (encrypted) {
        // minizip's own cipher is compiled out on Debian, so the entry goes in
        // raw and the cipher runs here: header first, then the stored bytes.
        unsigned char salt[ZipCrypto::kHeaderSize - 1];
        QRandomGenerator::system()->generate(std::begin(salt), std::end(salt));
        unsigned char header[ZipCrypto::kHeaderSize];
        ZipCrypto cipher(m_password);
        cipher.makeHeader(header, salt, ZipCrypto::checkByteFromCrc(crc));
        cipher.encrypt(reinterpret_cast<unsigned char *>(payload.data()),
                       static_cast<std::size_t>(payload.size()));
        payload.prepend(reinterpret_cast<const char *>(header), ZipCrypto::kHeaderSize);
    }
    return addEntry(name, payload, zipMethod, encrypted, static_cast<quint64>(data.size()), crc,
                    false);
}

bool ZipWriter::addEntry(const QByteArray &name, const QByteArray &stored, int method,
                         bool encrypted, quint64 size, quint32 crc, bool directory)
{
    if (!m_zip)
        return fail(QStringLiteral("archive is not open"));
    if (name.isEmpty() || name.size() > 0xffff)
        return fail(QStringLiteral("bad entry name"));

    zip_fileinfo info = {};
    const QDateTime now = QDateTime::currentDateTime();
    info.tmz_date.tm_sec = static_cast<uInt>(now.time().second());
    info.tmz_date.tm_min = static_cast<uInt>(now.time().minute());
    info.tmz_date.tm_hour = static_cast<uInt>(now.time().hour());
    info.tmz_date.tm_mday = static_cast<uInt>(now.date().day());
    info.tmz_date.tm_mon = static_cast<uInt>(now.date().month() - 1);
    info.tmz_date.tm_year = static_cast<uInt>(now.date().year());
    info.external_fa = (directory ? 040755u : 0100644u) << 16;

    uLong flags = 0;
    if (encrypted)
        flags |= kFlagEncrypted;
    if (hasNonAscii(name))
        flags |= kFlagUtf8Name;
    const int zip64 = size >= 0xffffffffu || quint64(stored.size()) >= 0xffffffffu ? 1 : 0;

    if (zipOpenNewFileInZip4_64(m_zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                method, Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByUnix, flags,
                                zip64) != ZIP_OK)
        return fail(QStringLiteral("cannot add %1").arg(QString::fromUtf8(name)));

    const char *p = stored.constData();
    qint64 left = stored.size();
    while (left > 0) {
        const unsigned chunk =
            static_cast<unsigned>(std::min<qint64>(left, std::numeric_limits<int>::max()));
        if (zipWriteInFileInZip(m_zip, p, chunk) != ZIP_OK) {
            zipCloseFileInZipRaw64(m_zip, size, crc);
            return fail(QStringLiteral("cannot write %1").arg(QString::fromUtf8(name)));
        }
        p += chunk;
        left -= chunk;
    }
    if (zipCloseFileInZipRaw64(m_zip, size, crc) != ZIP_OK)
        return fail(QStringLiteral("cannot finish %1").arg(QString::fromUtf8(name)));
    return true;
}

bool ZipWriter::close()
{
    if (!m_zip)
        return fail(QStringLiteral("archive is not open"));
    const int rc = zipClose(m_zip, nullptr);
    m_zip = nullptr;
    if (rc != ZIP_OK)
        fail(QStringLiteral("cannot finish the archive"));
    return !m_failed;
}
