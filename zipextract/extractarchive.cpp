#include "extractarchive.h"

#include "zipcrypto.h"
#include "zipfileio.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Fixed-size buffers of the extractor: paths and entry names longer than
// kMaxPathBytes are refused rather than cut.
constexpr int kMaxPathBytes = 255;
constexpr unsigned kCopyBufferSize = 8192;
constexpr int kAllocationError = UNZ_INTERNALERROR; // -104
// A protected entry opened without its password: the code minizip itself gives
// when it is handed a password it cannot use.
constexpr int kPasswordError = UNZ_PARAMERROR;
constexpr int kWriteError = -1;

constexpr uLong kFlagEncrypted = 1u << 0;
constexpr uLong kFlagDataDescriptor = 1u << 3;
constexpr uLong kFlagStrongEncryption = 1u << 6;

bool isDirectory(const char *path)
{
#ifdef _WIN32
    struct _stat st;
    return _stat(path, &st) == 0 && (st.st_mode & _S_IFDIR);
#else
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Creates one directory level; an existing directory counts as failure.
int makeOneDirectory(const char *path)
{
#ifdef _WIN32
    return QDir().mkdir(QString::fromLocal8Bit(path)) ? 0 : -1;
#else
    // The entry name's bytes go to the file system unchanged, as they do for
    // the files themselves, so a folder and the files in it always agree.
    return ::mkdir(path, 0777) == 0 ? 0 : -1;
#endif
}

// Creates every missing level of a directory path. 1 on success, 0 on failure.
int makeDirectoryPath(const char *path)
{
    const std::size_t length = std::strlen(path);
    if (length == 0)
        return 1;
    char *copy = static_cast<char *>(std::malloc(length + 1));
    if (!copy) {
        std::printf("Error allocating memory\n");
        return kAllocationError;
    }
    std::memcpy(copy, path, length + 1);
    if (copy[length - 1] == '/')
        copy[length - 1] = '\0';

    if (makeOneDirectory(copy) == 0) {
        std::free(copy);
        return 1;
    }
    const std::size_t end = std::strlen(copy);
    for (std::size_t i = 1; i <= end; ++i) {
        const char c = copy[i];
        if (!isSeparator(c) && c != '\0')
            continue;
        copy[i] = '\0';
        if (!isDirectory(copy) && makeOneDirectory(copy) != 0) {
            std::printf("couldn't create directory %s\n", copy);
            std::free(copy);
            return 0;
        }
        copy[i] = c;
    }
    std::free(copy);
    return 1;
}

// An absolute name, a drive letter or a ".." component would put the entry
// outside the target directory. Both separators count on every system, so an
// archive is judged the same wherever it is unpacked.
bool leavesTarget(const char *name)
{
    if (isSeparator(name[0]))
        return true;
    const unsigned char first = static_cast<unsigned char>(name[0]);
    if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && name[1] == ':')
        return true;
    const char *component = name;
    for (const char *p = name;; ++p) {
        if (*p == '\0' || isSeparator(*p)) {
            if (p - component == 2 && component[0] == '.' && component[1] == '.')
                return true;
            if (*p == '\0')
                return false;
            component = p + 1;
        }
    }
}

// A symbolic link already in the target directory must not carry an entry out
// of it. Checks every existing folder level on the way to `name`.
bool passesThroughLink(const char *name)
{
#ifdef _WIN32
    Q_UNUSED(name);
    return false;
#else
    const std::size_t length = std::strlen(name);
    char prefix[kMaxPathBytes + 1];
    for (std::size_t i = 1; i < length; ++i) {
        if (name[i] != '/')
            continue;
        std::memcpy(prefix, name, i);
        prefix[i] = '\0';
        struct stat st;
        if (::lstat(prefix, &st) != 0)
            return false; // nothing below a missing level exists either
        if (S_ISLNK(st.st_mode))
            return true;
    }
    return false;
#endif
}

// Opens the output file for writing, truncating an existing one. On POSIX an
// existing symbolic link or a file with other hard links is replaced, never
// written through, so the bytes stay inside the target directory.
FILE *openOutputFile(const char *name)
{
#ifdef _WIN32
    return std::fopen(name, "wb");
#else
    struct stat st;
    if (::lstat(name, &st) == 0 &&
        (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1)))
        ::unlink(name);
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    FILE *file = ::fdopen(fd, "wb");
    if (!file)
        ::close(fd);
    return file;
#endif
}

// The data of the current entry. Plain entries go through minizip; protected
// ones are read raw, deciphered here and inflated with zlib, since the
// distribution's minizip is built without its cipher.
class EntryReader
{
public:
    explicit EntryReader(unzFile zip) : m_zip(zip) {}
    ~EntryReader()
    {
        if (m_inflating)
            inflateEnd(&m_stream);
    }
    EntryReader(const EntryReader &) = delete;
    EntryReader &operator=(const EntryReader &) = delete;

    int open(const unz_file_info64 &info, const QByteArray &password);
    // Bytes read (> 0), 0 at the end, or a negative minizip or zlib code.
    int read(char *buffer, unsigned size);
    // Closes the entry's data; reports a CRC or size mismatch once all was read.
    int close();

private:
    int openProtected(const unz_file_info64 &info, const QByteArray &password);
    int readProtected(char *buffer, unsigned size);

    unzFile m_zip;
    bool m_protected = false;
    int m_method = 0;
    ZPOS64_T m_expectedSize = 0;
    uLong m_expectedCrc = 0;
    ZPOS64_T m_produced = 0;
    uLong m_crc = 0;
    bool m_atEnd = false;

    ZipCrypto m_cipher{QByteArray()};
    z_stream m_stream = {};
    bool m_inflating = false;
    bool m_streamEnd = false;
    unsigned char m_input[kCopyBufferSize];
};

int EntryReader::open(const unz_file_info64 &info, const QByteArray &password)
{
    m_expectedSize = info.uncompressed_size;
    m_expectedCrc = info.crc;
    m_crc = crc32(0, nullptr, 0);
    if (info.flag & kFlagEncrypted)
        return openProtected(info, password);
    return unzOpenCurrentFilePassword(m_zip, nullptr);
}

int EntryReader::openProtected(const unz_file_info64 &info, const QByteArray &password)
{
    if (password.isEmpty() || (info.flag & kFlagStrongEncryption))
        return kPasswordError;
    int level = 0;
    int err = unzOpenCurrentFile2(m_zip, &m_method, &level, 1);
    if (err != UNZ_OK)
        return err;
    if (m_method != 0 && m_method != Z_DEFLATED) {
        unzCloseCurrentFile(m_zip);
        return UNZ_BADZIPFILE;
    }
    unsigned char header[ZipCrypto::kHeaderSize];
    const int got = unzReadCurrentFile(m_zip, header, sizeof header);
    if (got != ZipCrypto::kHeaderSize) {
        unzCloseCurrentFile(m_zip);
        return got < 0 ? got : UNZ_BADZIPFILE;
    }
    m_cipher = ZipCrypto(password);
    const unsigned char check = (info.flag & kFlagDataDescriptor)
                                    ? ZipCrypto::checkByteFromDosTime(info.dosDate)
                                    : ZipCrypto::checkByteFromCrc(info.crc);
    if (!m_cipher.decryptHeader(header, check)) {
        unzCloseCurrentFile(m_zip);
        return kPasswordError;
    }
    if (m_method == Z_DEFLATED) {
        if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) {
            unzCloseCurrentFile(m_zip);
            return UNZ_INTERNALERROR;
        }
        m_inflating = true;
    }
    m_protected = true;
    return UNZ_OK;
}

int EntryReader::read(char *buffer, unsigned size)
{
    // Never more than the entry declares: a stored entry whose sizes minizip
    // misread would otherwise run on into the rest of the archive.
    const ZPOS64_T left = m_expectedSize - std::min(m_expectedSize, m_produced);
    if (left < size)
        size = static_cast<unsigned>(left);
    if (size == 0) {
        m_atEnd = true;
        return 0;
    }
    const int got =
        m_protected ? readProtected(buffer, size) : unzReadCurrentFile(m_zip, buffer, size);
    if (got > 0) {
        m_produced += static_cast<ZPOS64_T>(got);
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef *>(buffer), static_cast<uInt>(got));
    } else if (got == 0) {
        m_atEnd = true;
    }
    return got;
}

int EntryReader::readProtected(char *buffer, unsigned size)
{
    if (m_method == 0) {
        const int got = unzReadCurrentFile(m_zip, buffer, size);
        if (got > 0)
            m_cipher.decrypt(reinterpret_cast<unsigned char *>(buffer),
                             static_cast<std::size_t>(got));
        return got;
    }

    if (m_streamEnd)
        return 0;
    m_stream.next_out = reinterpret_cast<Bytef *>(buffer);
    m_stream.avail_out = size;
    while (m_stream.avail_out > 0) {
        if (m_stream.avail_in == 0) {
            const int got = unzReadCurrentFile(m_zip, m_input, sizeof m_input);
            if (got < 0)
                return got;
            if (got == 0)
                break; // a stream cut short shows as a mismatch when closing
            m_cipher.decrypt(m_input, static_cast<std::size_t>(got));
            m_stream.next_in = m_input;
            m_stream.avail_in = static_cast<uInt>(got);
        }
        const int rc = inflate(&m_stream, Z_SYNC_FLUSH);
        if (rc == Z_STREAM_END) {
            m_streamEnd = true;
            break;
        }
        if (rc == Z_BUF_ERROR && m_stream.avail_in == 0)
            continue;
        if (rc != Z_OK)
            return rc == Z_NEED_DICT ? Z_DATA_ERROR : rc;
    }
    return static_cast<int>(size - m_stream.avail_out);
}

int EntryReader::close()
{
    const int err = unzCloseCurrentFile(m_zip);
    if (err != UNZ_OK)
        return err;
    // minizip checks the CRC of plain entries only when they end exactly at
    // their declared size; a short stream would otherwise pass unnoticed.
    if (m_atEnd && (m_produced != m_expectedSize || m_crc != m_expectedCrc))
        return UNZ_CRCERROR;
    return UNZ_OK;
}

// minizip 1.1 compares the 32-bit size fields with (unsigned long)-1, which
// never matches where long has 64 bits, so it leaves the 0xffffffff markers of
// zip64 entries in place. Take the real sizes from the zip64 extra field.
void applyZip64Sizes(unzFile zip, unz_file_info64 *info)
{
    constexpr ZPOS64_T kMarker = 0xffffffffu;
    if ((info->uncompressed_size != kMarker && info->compressed_size != kMarker) ||
        info->size_file_extra == 0)
        return;
    std::vector<unsigned char> extra(info->size_file_extra);
    if (unzGetCurrentFileInfo64(zip, nullptr, nullptr, 0, extra.data(), extra.size(), nullptr, 0) !=
        UNZ_OK)
        return;
    auto read64 = [](const unsigned char *p) {
        ZPOS64_T v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    };
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const unsigned id = extra[pos] | (extra[pos + 1] << 8);
        const std::size_t length = extra[pos + 2] | (extra[pos + 3] << 8);
        pos += 4;
        if (length > extra.size() - pos)
            return;
        if (id == 0x0001) {
            std::size_t field = pos;
            const std::size_t end = pos + length;
            if (info->uncompressed_size == kMarker && field + 8 <= end) {
                info->uncompressed_size = read64(&extra[field]);
                field += 8;
            }
            if (info->compressed_size == kMarker && field + 8 <= end)
                info->compressed_size = read64(&extra[field]);
            return;
        }
        pos += length;
    }
}

int extractCurrentEntry(unzFile zip, const QByteArray &password)
{
    char name[kMaxPathBytes + 1];
    name[kMaxPathBytes] = '\0';
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(zip, &info, name, kMaxPathBytes, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        std::printf("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return err;
    }
    applyZip64Sizes(zip, &info);
    if (info.size_filename > kMaxPathBytes) {
        std::printf("skipping %s...: name longer than %d bytes\n", name, kMaxPathBytes);
        return UNZ_OK;
    }
    if (leavesTarget(name)) {
        std::printf("skipping %s: name leaves the target directory\n", name);
        return UNZ_OK;
    }
    if (passesThroughLink(name)) {
        std::printf("skipping %s: path goes through a symbolic link\n", name);
        return UNZ_OK;
    }

    char *buffer = static_cast<char *>(std::malloc(kCopyBufferSize));
    if (!buffer) {
        std::printf("Error allocating memory\n");
        return kAllocationError;
    }

    const char *filePart = name;
    for (const char *p = name; *p; ++p) {
        if (isSeparator(*p))
            filePart = p + 1;
    }

    if (*filePart == '\0') {
        std::printf("creating directory: %s\n", name);
        makeOneDirectory(name);
        std::free(buffer);
        return UNZ_OK;
    }

    EntryReader reader(zip);
    err = reader.open(info, password);
    if (err != UNZ_OK) {
        std::printf("error %d with zipfile in unzOpenCurrentFilePassword\n", err);
        std::free(buffer);
        return err;
    }

    FILE *out = openOutputFile(name);
    if (!out && filePart != name) {
        char directory[kMaxPathBytes + 1];
        const std::size_t length = static_cast<std::size_t>(filePart - name);
        std::memcpy(directory, name, length);
        directory[length] = '\0';
        makeDirectoryPath(directory);
        out = openOutputFile(name);
    }

    if (!out) {
        std::printf("error opening %s\n", name);
    } else {
        std::printf(" extracting: %s\n", name);
        for (;;) {
            const int got = reader.read(buffer, kCopyBufferSize);
            if (got < 0) {
                std::printf("error %d with zipfile in unzReadCurrentFile\n", got);
                err = got;
                break;
            }
            if (got == 0)
                break;
            if (std::fwrite(buffer, 1, static_cast<std::size_t>(got), out) !=
                static_cast<std::size_t>(got)) {
                std::printf("error in writing extracted file\n");
                err = kWriteError;
                break;
            }
        }
        // Buffered bytes reach the disk only here; losing them is a short write.
        if (std::fclose(out) != 0 && err == UNZ_OK) {
            std::printf("error in writing extracted file\n");
            err = kWriteError;
        }
    }

    if (err == UNZ_OK) {
        err = reader.close();
        if (err != UNZ_OK)
            std::printf("error %d with zipfile in unzCloseCurrentFile\n", err);
    } else {
        reader.close();
    }
    std::free(buffer);
    return err;
}

void extractAllEntries(unzFile zip, const QByteArray &password)
{
    unz_global_info64 global;
    int err = unzGetGlobalInfo64(zip, &global);
    if (err != UNZ_OK) {
        std::printf("error %d with zipfile in unzGetGlobalInfo\n", err);
        return;
    }
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (extractCurrentEntry(zip, password) != UNZ_OK)
            break;
        if (i + 1 < global.number_entry) {
            err = unzGoToNextFile(zip);
            if (err != UNZ_OK) {
                std::printf("error %d with zipfile in unzGoToNextFile\n", err);
                break;
            }
        }
    }
}

unzFile openArchive(const QByteArray &path)
{
    zlib_filefunc64_def io;
    fillFileFunctions(&io);
    return unzOpen2_64(path.constData(), &io);
}

int changeDirectory(const char *path)
{
#ifdef _WIN32
    return _chdir(path);
#else
    return ::chdir(path);
#endif
}

} // namespace

bool extractArchive(const QString &archivePath, const QString &targetDir, const QString &password)
{
    const QByteArray path = QFile::encodeName(archivePath);
    const QByteArray directory = QFile::encodeName(targetDir);
    // Paths that do not fit the extractor's buffers are refused, never cut.
    for (const QByteArray *p : {&path, &directory}) {
        if (p->size() > kMaxPathBytes) {
            std::printf("path too long: %s\n", p->constData());
            std::fflush(stdout);
            return false;
        }
    }

    QByteArray tried = path;
    unzFile zip = openArchive(tried);
    if (!zip) {
        tried += ".zip";
        if (tried.size() <= kMaxPathBytes)
            zip = openArchive(tried);
    }
    if (!zip) {
        std::printf("Cannot open %s or %s.zip\n", path.constData(), path.constData());
        std::fflush(stdout);
        return false;
    }
    std::printf("%s opened\n", tried.constData());

    if (changeDirectory(directory.constData()) != 0) {
        std::printf("Error changing into %s, aborting\n", directory.constData());
        unzClose(zip);
        std::fflush(stdout);
        return false;
    }

    extractAllEntries(zip, password.isEmpty() ? QByteArray() : password.toUtf8());
    unzClose(zip);
    std::fflush(stdout);
    return true;
}
