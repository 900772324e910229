#include "zipextract/extractarchive.h"

#include "zipextract/zipcrypto.h"
#include "zipextract/ziplayout.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#include <process.h>
#include <windows.h>
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
// An entry whose data goes on past its declared size: the archive is refused.
constexpr int kPastDeclaredSize = -1000;
// Codes of the entry reader that minizip has no name for.
constexpr int kUnsupportedMethod = -1001;
constexpr int kShortData = -1002;

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

// A file is written under a temporary name beside its final place and renamed
// over it only once its data verified, so a failed entry never leaves a partial
// or wrong file, and an existing file of that name stays until then. Renaming
// replaces a symbolic link or hard link of that name instead of writing through it.
struct OutputFile
{
    FILE *file = nullptr;
    QByteArray tempName;
};

// Creates a fresh temporary file in the folder part of `name` (which ends in a
// separator or is empty). Never opens an existing file.
bool openTempFile(const char *folder, std::size_t folderLength, OutputFile *out)
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const long pid = _getpid();
#else
    const long pid = ::getpid();
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".unpacking-%ld-%u", pid, ++counter);
        QByteArray temp(folder, static_cast<int>(folderLength));
        temp += suffix;
#ifdef _WIN32
        FILE *file = std::fopen(temp.constData(), "wbx");
        if (!file && errno == EEXIST)
            continue;
#else
        const int fd = ::open(temp.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        FILE *file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
        if (fd >= 0 && !file) {
            ::close(fd);
            ::unlink(temp.constData());
        }
#endif
        if (!file)
            return false;
        out->file = file;
        out->tempName = temp;
        return true;
    }
    errno = EEXIST;
    return false;
}

bool putInPlace(const QByteArray &tempName, const char *name)
{
#ifdef _WIN32
    return MoveFileExA(tempName.constData(), name, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return ::rename(tempName.constData(), name) == 0;
#endif
}

// Names as printed: control characters (line breaks, terminal escapes) as \xHH.
QByteArray shown(const QByteArray &name)
{
    QByteArray out;
    out.reserve(name.size());
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

bool holdsControlCharacters(const QByteArray &name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

// The data of one entry, read straight from the archive where its directory
// places it, with 64-bit sizes (minizip 1.1 cuts zip64 entries at 4 GiB).
// Protected entries are deciphered here, since the distribution's minizip is
// built without its cipher; deflated ones are inflated with zlib.
class EntryReader
{
public:
    explicit EntryReader(ArchiveStream &in) : m_in(in) {}
    ~EntryReader()
    {
        if (m_inflating)
            inflateEnd(&m_stream);
    }
    EntryReader(const EntryReader &) = delete;
    EntryReader &operator=(const EntryReader &) = delete;

    int open(const ZipEntryLayout &entry, const QByteArray &password);
    // Bytes read (> 0), 0 at the end, a negative minizip or zlib code, or
    // kPastDeclaredSize when the data goes on after the declared size.
    int read(char *buffer, unsigned size);
    // Reports a size (kShortData) or CRC mismatch once all was read.
    int close() const;

private:
    int readData(char *buffer, unsigned size);
    int readStored(unsigned char *buffer, unsigned size);

    ArchiveStream &m_in;
    bool m_protected = false;
    int m_method = 0;
    quint64 m_storedLeft = 0;
    quint64 m_expectedSize = 0;
    uLong m_expectedCrc = 0;
    quint64 m_produced = 0;
    uLong m_crc = 0;
    bool m_atEnd = false;

    ZipCrypto m_cipher{QByteArray()};
    z_stream m_stream = {};
    bool m_inflating = false;
    bool m_streamEnd = false;
    unsigned char m_input[kCopyBufferSize];
};

int EntryReader::open(const ZipEntryLayout &entry, const QByteArray &password)
{
    m_expectedSize = entry.uncompressedSize;
    m_expectedCrc = entry.crc;
    m_storedLeft = entry.compressedSize;
    m_method = entry.method;
    m_crc = crc32(0, nullptr, 0);
    const bool encrypted = entry.flags & kFlagEncrypted;
    if (encrypted && (password.isEmpty() || (entry.flags & kFlagStrongEncryption)))
        return kPasswordError;
    if (m_method != 0 && m_method != Z_DEFLATED)
        return kUnsupportedMethod;
    if (!m_in.seek(entry.dataOffset))
        return UNZ_ERRNO;
    if (encrypted) {
        unsigned char header[ZipCrypto::kHeaderSize];
        if (readStored(header, sizeof header) != int(sizeof header))
            return UNZ_BADZIPFILE;
        m_cipher = ZipCrypto(password);
        const unsigned char check = (entry.flags & kFlagDataDescriptor)
                                        ? ZipCrypto::checkByteFromDosTime(entry.dosDate)
                                        : ZipCrypto::checkByteFromCrc(entry.crc);
        if (!m_cipher.decryptHeader(header, check))
            return kPasswordError;
        m_protected = true;
    }
    if (m_method == Z_DEFLATED) {
        if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK)
            return UNZ_INTERNALERROR;
        m_inflating = true;
    }
    return UNZ_OK;
}

// The next stored bytes, deciphered; 0 once the entry's stored size is used up.
int EntryReader::readStored(unsigned char *buffer, unsigned size)
{
    const unsigned want = static_cast<unsigned>(std::min<quint64>(size, m_storedLeft));
    if (want == 0)
        return 0;
    if (m_in.read(buffer, want) != want)
        return UNZ_ERRNO;
    m_storedLeft -= want;
    if (m_protected)
        m_cipher.decrypt(buffer, want);
    return static_cast<int>(want);
}

int EntryReader::read(char *buffer, unsigned size)
{
    if (m_produced == m_expectedSize) {
        // The declared size is reached; the data must end here as well.
        char probe;
        const int more = readData(&probe, 1);
        if (more > 0)
            return kPastDeclaredSize;
        if (more == 0)
            m_atEnd = true;
        return more;
    }
    const quint64 left = m_expectedSize - m_produced;
    if (left < size)
        size = static_cast<unsigned>(left);
    const int got = readData(buffer, size);
    if (got > 0) {
        m_produced += static_cast<quint64>(got);
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef *>(buffer), static_cast<uInt>(got));
    } else if (got == 0) {
        m_atEnd = true;
    }
    return got;
}

int EntryReader::readData(char *buffer, unsigned size)
{
    if (m_method == 0)
        return readStored(reinterpret_cast<unsigned char *>(buffer), size);

    if (m_streamEnd)
        return 0;
    m_stream.next_out = reinterpret_cast<Bytef *>(buffer);
    m_stream.avail_out = size;
    while (m_stream.avail_out > 0) {
        if (m_stream.avail_in == 0) {
            const int got = readStored(m_input, sizeof m_input);
            if (got < 0)
                return got;
            if (got == 0)
                break; // a stream cut short shows as a mismatch when closing
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

int EntryReader::close() const
{
    if (m_atEnd && m_produced != m_expectedSize)
        return kShortData;
    if (m_atEnd && m_crc != m_expectedCrc)
        return UNZ_CRCERROR;
    return UNZ_OK;
}

// Writes a block, leaving a hole for one that holds only zeros, so large empty
// stretches take no disk space. `pendingHole` tells the caller to set the
// file's size at the end, since a file cannot end in a skipped stretch.
bool writeBlock(FILE *out, const char *data, std::size_t size, bool *pendingHole)
{
#ifndef _WIN32
    if (data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0) {
        *pendingHole = true;
        return ::fseeko(out, static_cast<off_t>(size), SEEK_CUR) == 0;
    }
#endif
    *pendingHole = false;
    return std::fwrite(data, 1, size, out) == size;
}

bool closeOutput(FILE *out, bool pendingHole)
{
    bool ok = true;
#ifndef _WIN32
    if (pendingHole)
        ok = std::fflush(out) == 0 && ::ftruncate(::fileno(out), ::ftello(out)) == 0;
#else
    Q_UNUSED(pendingHole);
#endif
    return std::fclose(out) == 0 && ok;
}

// Why an entry's data could not be read, for the line that names it.
QByteArray readFailure(int code, const ZipEntryLayout &entry, const QByteArray &password)
{
    const bool encrypted = entry.flags & kFlagEncrypted;
    if (code == kPasswordError) {
        if (entry.flags & kFlagStrongEncryption)
            return "its encryption method is not supported";
        return password.isEmpty() ? "it needs a password" : "wrong password";
    }
    if (code == kUnsupportedMethod)
        return "unsupported compression method " + QByteArray::number(entry.method);
    if (code == UNZ_ERRNO)
        return "the archive cannot be read";
    QByteArray why = code == UNZ_CRCERROR ? QByteArray("its data does not match its CRC")
                     : code == kShortData ? QByteArray("its data is shorter than declared")
                                          : "its data is damaged (error " +
                                                QByteArray::number(code) + ")";
    // One check byte lets a wrong password through once in 256 tries.
    if (encrypted)
        why += ", or the password is wrong";
    return why;
}

QByteArray systemFailure(const char *what, int error)
{
    return QByteArray(what) + " (" + QByteArray(std::strerror(error)) + ")";
}

// Extracts one entry. Returns 0 when the extraction may go on, else the code
// that ends it. Sets `failed` for every entry that could not be extracted whole,
// after printing one line naming it and the reason.
int extractCurrentEntry(unzFile zip, ArchiveStream &in, const ZipEntryLayout &entry,
                        const QByteArray &password, bool *failed)
{
    char name[kMaxPathBytes + 1];
    name[kMaxPathBytes] = '\0';
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(zip, &info, name, kMaxPathBytes, nullptr, 0, nullptr, 0);
    // minizip and the layout read the same directory; a disagreement is damage.
    if (err == UNZ_OK && (info.size_filename != uLong(entry.name.size()) ||
                          std::strncmp(name, entry.name.constData(), kMaxPathBytes) != 0))
        err = UNZ_BADZIPFILE;
    if (err != UNZ_OK) {
        std::printf("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        *failed = true;
        return err;
    }
    const QByteArray printed = shown(entry.name.left(kMaxPathBytes));
    if (info.size_filename > kMaxPathBytes) {
        std::printf("skipping %s...: name longer than %d bytes\n", printed.constData(),
                    kMaxPathBytes);
        return UNZ_OK;
    }
    if (holdsControlCharacters(entry.name)) {
        std::printf("skipping %s: name holds control characters\n", printed.constData());
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
    const auto fail = [&](const QByteArray &why) {
        std::printf("cannot extract %s: %s\n", name, why.constData());
        *failed = true;
    };

    const char *filePart = name;
    for (const char *p = name; *p; ++p) {
        if (isSeparator(*p))
            filePart = p + 1;
    }
    const std::size_t folderLength = static_cast<std::size_t>(filePart - name);

    if (*filePart == '\0') {
        std::printf("creating directory: %s\n", name);
        // A folder entry may come before its parent's, or without one.
        if (makeOneDirectory(name) != 0) {
            const int error = errno;
            if (!isDirectory(name) && (makeDirectoryPath(name) != 1 || !isDirectory(name)))
                fail(systemFailure("cannot create the folder", error));
        }
        return UNZ_OK;
    }

    EntryReader reader(in);
    err = reader.open(entry, password);
    if (err != UNZ_OK) {
        std::printf("error %d with zipfile in unzOpenCurrentFilePassword\n",
                    err == kUnsupportedMethod ? UNZ_BADZIPFILE : err);
        fail(readFailure(err, entry, password));
        return err;
    }

    char *buffer = static_cast<char *>(std::malloc(kCopyBufferSize));
    if (!buffer) {
        std::printf("Error allocating memory\n");
        *failed = true;
        return kAllocationError;
    }

    OutputFile out;
    int error = 0;
    if (!openTempFile(name, folderLength, &out)) {
        error = errno;
        if (folderLength > 0) {
            char directory[kMaxPathBytes + 1];
            std::memcpy(directory, name, folderLength);
            directory[folderLength] = '\0';
            makeDirectoryPath(directory);
            if (!openTempFile(name, folderLength, &out))
                error = errno;
        }
    }

    if (!out.file) {
        std::printf("error opening %s\n", name);
        fail(systemFailure("cannot create the file", error));
        std::free(buffer);
        return UNZ_OK;
    }

    std::printf(" extracting: %s\n", name);
    bool pendingHole = false;
    QByteArray why;
    for (;;) {
        const int got = reader.read(buffer, kCopyBufferSize);
        if (got == kPastDeclaredSize) {
            std::printf("stopping %s: its data runs past the declared size of %llu bytes\n",
                        name, static_cast<unsigned long long>(entry.uncompressedSize));
            *failed = true;
            err = got;
            break;
        }
        if (got < 0) {
            std::printf("error %d with zipfile in unzReadCurrentFile\n", got);
            why = readFailure(got, entry, password);
            err = got;
            break;
        }
        if (got == 0)
            break;
        if (!writeBlock(out.file, buffer, static_cast<std::size_t>(got), &pendingHole)) {
            why = systemFailure("cannot write the file", errno);
            std::printf("error in writing extracted file\n");
            err = kWriteError;
            break;
        }
    }
    // Buffered bytes reach the disk only here; losing them is a short write.
    if (!closeOutput(out.file, pendingHole) && err == UNZ_OK) {
        why = systemFailure("cannot write the file", errno);
        std::printf("error in writing extracted file\n");
        err = kWriteError;
    }
    if (err == UNZ_OK) {
        err = reader.close();
        if (err != UNZ_OK) {
            std::printf("error %d with zipfile in unzCloseCurrentFile\n", UNZ_CRCERROR);
            why = readFailure(err, entry, password);
        }
    }
    if (err == UNZ_OK && !putInPlace(out.tempName, name)) {
        why = systemFailure("cannot put the file in place", errno);
        err = kWriteError;
    }
    if (err != UNZ_OK)
        std::remove(out.tempName.constData());
    if (!why.isEmpty())
        fail(why);
    std::free(buffer);
    return err;
}

// The code of the entry that ended the extraction, or UNZ_OK; `failed` tells
// whether any entry could not be extracted whole.
int extractAllEntries(unzFile zip, ArchiveStream &in, const ZipLayout &layout,
                      const QByteArray &password, bool *failed)
{
    const std::size_t count = layout.entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        const int err = extractCurrentEntry(zip, in, layout.entries[i], password, failed);
        if (err != UNZ_OK)
            return err;
        if (i + 1 < count) {
            const int moved = unzGoToNextFile(zip);
            if (moved != UNZ_OK) {
                std::printf("error %d with zipfile in unzGoToNextFile\n", moved);
                *failed = true;
                return moved;
            }
        }
    }
    return UNZ_OK;
}

// Why an archive must not be unpacked at all, or null. Checked before anything
// is written: overlapping entries and a total beyond the free space would fill
// the disk (zip bombs).
QByteArray refusal(unzFile zip, const ZipLayout &layout, const QString &targetDir)
{
    unz_global_info64 global;
    if (layout.verdict == ZipLayout::Verdict::Overlapping)
        return "entries overlap each other or the central directory";
    if (layout.verdict != ZipLayout::Verdict::Sound || unzGetGlobalInfo64(zip, &global) != UNZ_OK ||
        global.number_entry != layout.entries.size())
        return "its central directory is damaged";
    const QStorageInfo storage(targetDir);
    const qint64 available = storage.isValid() ? storage.bytesAvailable() : -1;
    if (available >= 0 && quint64(available) < layout.declaredSize)
        return QByteArray("it unpacks to ") + QByteArray::number(layout.declaredSize) +
               " bytes, only " + QByteArray::number(available) + " are free";
    return QByteArray();
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

    ArchiveStream in(tried);
    const ZipLayout layout = readZipLayout(in);
    const QByteArray refused = refusal(zip, layout, targetDir);
    if (!refused.isEmpty()) {
        std::printf("refusing %s: %s\n", tried.constData(), refused.constData());
        unzClose(zip);
        std::fflush(stdout);
        return false;
    }

    if (changeDirectory(directory.constData()) != 0) {
        std::printf("Error changing into %s, aborting\n", directory.constData());
        unzClose(zip);
        std::fflush(stdout);
        return false;
    }

    bool failed = false;
    extractAllEntries(zip, in, layout, password.isEmpty() ? QByteArray() : password.toUtf8(),
                      &failed);
    unzClose(zip);
    std::fflush(stdout);
    return !failed;
}
