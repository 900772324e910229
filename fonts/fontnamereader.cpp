#include "fonts/fontnamereader.h"

#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#ifdef Q_OS_WIN
#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FontNameReader {

namespace {

enum : quint16 {
    PlatformMac = 1,
    PlatformWindows = 3,
    MacRoman = 0,
    MacEnglish = 0,
    WindowsUnicodeBmp = 1,
    LangEnglishUS = 0x0409,
    LangChinesePRC = 0x0804,
    LangChineseTaiwan = 0x0404,
    NameFamily = 1,
    NameSubfamily = 2,
    NamePostScript = 6,
    NameTypoFamily = 16,
    NameTypoSubfamily = 17,
};

// Nothing in a naming table can lie further out than its last record (the
// 16-bit count and offsets bound both), so a larger length only costs memory.
constexpr int kMaxUsefulTableBytes = 6 + 12 * 65535;

inline quint16 be16(const uchar *p)
{
    return quint16((p[0] << 8) | p[1]);
}
inline quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// readAt(offset, buffer, length) returns the number of bytes it could read.
template <typename ReadAt> NameTable loadWith(ReadAt &&readAt)
{
    NameTable table;
    uchar head[12] = {};
    const qint64 headRead = readAt(0, head, 12);
    if (headRead < 4 ||
        (std::memcmp(head, "\x00\x01\x00\x00", 4) != 0 && std::memcmp(head, "OTTO", 4) != 0)) {
        table.code = NotSfnt;
        return table;
    }
    const int numTables = be16(head + 4);
    bool found = false;
    quint32 offset = 0;
    quint32 length = 0;
    constexpr int kChunk = 64;
    uchar records[16 * kChunk];
    for (int first = 0; first < numTables && !found; first += kChunk) {
        const int want = std::min(kChunk, numTables - first);
        const qint64 got = readAt(12 + 16 * qint64(first), records, 16 * want);
        const int whole = int(std::max<qint64>(got, 0) / 16);
        for (int i = 0; i < whole; ++i) {
            const uchar *r = records + 16 * i;
            if (std::memcmp(r, "name", 4) == 0) {
                offset = be32(r + 8);
                length = be32(r + 12);
                found = true;
                break;
            }
        }
        if (whole < want)
            break;
    }
    if (!found) {
        table.code = NoNameTable;
        return table;
    }
    table.code = int(std::min<quint32>(length, INT_MAX));
    const int want = int(std::min<quint32>(length, kMaxUsefulTableBytes));
    if (want > 0) {
        table.bytes.resize(want);
        const qint64 got = readAt(offset, reinterpret_cast<uchar *>(table.bytes.data()), want);
        table.bytes.resize(int(std::max<qint64>(got, 0)));
    }
    return table;
}

// The view of a loaded table that the rules walk: records whose 12 bytes and
// whose string lie wholly inside the bytes read, in file order.
struct Record
{
    quint16 platform;
    quint16 encoding;
    quint16 language;
    quint16 nameId;
    const uchar *data;
    int length;
};

class Records
{
public:
    explicit Records(const QByteArray &bytes)
        : m_base(reinterpret_cast<const uchar *>(bytes.constData())), m_size(bytes.size())
    {
        if (m_size >= 6) {
            m_count = be16(m_base + 2);
            m_stringOffset = be16(m_base + 4);
        }
    }

    int count() const { return m_count; }

    // f(record) returns false to stop the walk.
    template <typename F> void forEach(F &&f) const
    {
        for (int i = 0; i < m_count; ++i) {
            const int at = 6 + 12 * i;
            if (at + 12 > m_size)
                return; // every later record lies further out
            const uchar *p = m_base + at;
            const int length = be16(p + 8);
            const int start = m_stringOffset + be16(p + 10);
            if (start + length > m_size)
                continue;
            const Record r{be16(p), be16(p + 2), be16(p + 4), be16(p + 6), m_base + start, length};
            if (!f(r))
                return;
        }
    }

private:
    const uchar *m_base;
    int m_size;
    int m_count = 0;
    int m_stringOffset = 0;
};

// One name gathered from UTF-16BE records; repeated records append. A table may
// point thousands of records at one long string, so what one name takes in is
// bounded; nothing past the bounds could reach a name buffer anyway.
struct Utf16Name
{
    bool found = false;
    int records = 0;
    std::u16string units;

    void append(const Record &r)
    {
        found = true;
        if (++records > kMaxAppendedRecords)
            return;
        for (int i = 0; i + 1 < r.length && int(units.size()) < kMaxNameUnits; i += 2) {
            const char16_t u = char16_t((r.data[i] << 8) | r.data[i + 1]);
            if (u != 0)
                units.push_back(u);
        }
    }
};

// One name copied raw from Macintosh records; a later record replaces it.
struct RawName
{
    bool found = false;
    const uchar *data = nullptr;
    int length = 0;

    void set(const Record &r)
    {
        found = true;
        data = r.data;
        length = r.length;
    }
};

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Surrogate pairs become one character; a lone surrogate cannot be encoded and
// becomes U+FFFD so that the output stays valid UTF-8.
std::string toUtf8(const std::u16string &units)
{
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

void clearOut(char *out, int capacity)
{
    if (out && capacity > 0)
        std::memset(out, 0, size_t(capacity));
}

void writeDecoded(char *out, int capacity, const Utf16Name &name)
{
    clearOut(out, capacity);
    if (!out || capacity < 1)
        return;
    const std::string utf8 = toUtf8(name.units);
    size_t n = std::min(utf8.size(), size_t(capacity - 1));
    while (n > 0 && n < utf8.size() && (uchar(utf8[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(out, utf8.data(), n);
}

void writeRaw(char *out, int capacity, const RawName &name)
{
    clearOut(out, capacity);
    if (!out || capacity < 1 || !name.found)
        return;
    std::memcpy(out, name.data, size_t(std::min(name.length, capacity - 1)));
}

bool isWindowsUnicode(const Record &r)
{
    return r.platform == PlatformWindows && r.encoding == WindowsUnicodeBmp;
}

bool isMacRoman(const Record &r)
{
    return r.platform == PlatformMac && r.encoding == MacRoman;
}

// Index of a family-related name id in the four-name slots, or -1.
int familySlot(quint16 nameId)
{
    switch (nameId) {
    case NameFamily:
        return 0;
    case NameSubfamily:
        return 1;
    case NameTypoFamily:
        return 2;
    case NameTypoSubfamily:
        return 3;
    default:
        return -1;
    }
}

int enFamilyOf(const Records &records, char *outFamily, char *outStyle, int capacity)
{
    Utf16Name en[4];
    records.forEach([&](const Record &r) {
        if (isWindowsUnicode(r) && r.language == LangEnglishUS) {
            const int slot = familySlot(r.nameId);
            if (slot >= 0)
                en[slot].append(r);
        }
        return true;
    });
    if (en[3].found) {
        writeDecoded(outFamily, capacity, en[2]);
        writeDecoded(outStyle, capacity, en[3]);
        return 0;
    }

    // Macintosh typographic names go straight to the outputs as they are met.
    RawName macFamily, macSubfamily, macTypoFamily, macTypoSubfamily;
    const bool windowsHasBoth = en[0].found && en[1].found;
    records.forEach([&](const Record &r) {
        if (isMacRoman(r) && r.language == MacEnglish) {
            switch (r.nameId) {
            case NameFamily:
                macFamily.set(r);
                break;
            case NameSubfamily:
                macSubfamily.set(r);
                break;
            case NameTypoFamily:
                macTypoFamily.set(r);
                break;
            case NameTypoSubfamily:
                macTypoSubfamily.set(r);
                break;
            default:
                break;
            }
        }
        return !(macFamily.found && macSubfamily.found && windowsHasBoth);
    });

    if (macTypoFamily.found) {
        writeRaw(outFamily, capacity, macTypoFamily);
        writeRaw(outStyle, capacity, macTypoSubfamily);
    } else if (en[0].found) {
        writeDecoded(outFamily, capacity, en[0]);
        writeDecoded(outStyle, capacity, en[1]);
    } else if (macFamily.found) {
        writeRaw(outFamily, capacity, macFamily);
        writeRaw(outStyle, capacity, macSubfamily);
    } else {
        clearOut(outFamily, capacity);
        clearOut(outStyle, capacity);
    }
    return 1;
}

int cnFamilyOf(const Records &records, char *outFamily, char *outStyle, int capacity)
{
    if (records.count() == 0) {
        enFamilyOf(records, outFamily, outStyle, capacity);
        return kCnNoRecords;
    }
    Utf16Name prc[4], taiwan[4];
    records.forEach([&](const Record &r) {
        if (isWindowsUnicode(r)) {
            const int slot = familySlot(r.nameId);
            if (slot >= 0) {
                if (r.language == LangChinesePRC)
                    prc[slot].append(r);
                else if (r.language == LangChineseTaiwan)
                    taiwan[slot].append(r);
            }
        }
        return true;
    });
    const Utf16Name *family = nullptr;
    const Utf16Name *style = nullptr;
    if (prc[2].found) {
        family = &prc[2];
        style = &prc[3];
    } else if (taiwan[2].found) {
        family = &taiwan[2];
        style = &taiwan[3];
    } else if (prc[0].found) {
        family = &prc[0];
        style = &prc[1];
    } else if (taiwan[0].found) {
        family = &taiwan[0];
        style = &taiwan[1];
    } else {
        return enFamilyOf(records, outFamily, outStyle, capacity);
    }
    writeDecoded(outFamily, capacity, *family);
    if (style->found || capacity < 1) {
        writeDecoded(outStyle, capacity, *style);
        return 0;
    }
    // Chinese records that name only the family: the style is the English records' one.
    std::vector<char> enFamily(size_t(capacity), 0);
    enFamilyOf(records, enFamily.data(), outStyle, capacity);
    return 0;
}

int psNameOf(const Records &records, char *out, int capacity)
{
    RawName mac;
    records.forEach([&](const Record &r) {
        if (isMacRoman(r) && r.nameId == NamePostScript)
            mac.set(r);
        return true;
    });
    if (mac.found) {
        writeRaw(out, capacity, mac);
        return 0;
    }
    Utf16Name english, prc, taiwan;
    records.forEach([&](const Record &r) {
        if (isWindowsUnicode(r) && r.nameId == NamePostScript) {
            if (r.language == LangEnglishUS)
                english.append(r);
            else if (r.language == LangChinesePRC)
                prc.append(r);
            else if (r.language == LangChineseTaiwan)
                taiwan.append(r);
        }
        return true;
    });
    if (english.found)
        writeDecoded(out, capacity, english);
    else if (prc.found)
        writeDecoded(out, capacity, prc);
    else if (taiwan.found)
        writeDecoded(out, capacity, taiwan);
    else
        clearOut(out, capacity);
    return 0;
}

#ifdef Q_OS_WIN
// Wide-character open, so that paths outside the ANSI code page still open.
class FileReader
{
public:
    explicit FileReader(const QString &path)
        : m_file(_wfopen(reinterpret_cast<const wchar_t *>(path.utf16()), L"rb"))
    {
    }
    ~FileReader()
    {
        if (m_file)
            fclose(m_file);
    }
    bool isOpen() const { return m_file != nullptr; }
    qint64 operator()(qint64 offset, uchar *buffer, qint64 length)
    {
        if (_fseeki64(m_file, offset, SEEK_SET) != 0)
            return 0;
        return qint64(fread(buffer, 1, size_t(length), m_file));
    }

private:
    FILE *m_file;
};
#else
// pread with the first page kept: header and table directory usually come from a
// single read. O_NONBLOCK keeps a FIFO named like a font from blocking the scan.
class FileReader
{
public:
    explicit FileReader(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        // A folder opens here but is no file to read, as on other systems.
        struct stat st;
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    qint64 operator()(qint64 offset, uchar *buffer, qint64 length)
    {
        if (m_headSize < 0)
            m_headSize = readFully(0, m_head, sizeof m_head);
        if (offset + length <= m_headSize) {
            std::memcpy(buffer, m_head + offset, size_t(length));
            return length;
        }
        if (offset < m_headSize && m_headSize < qint64(sizeof m_head)) {
            // The file ends inside the first page.
            const qint64 n = m_headSize - offset;
            std::memcpy(buffer, m_head + offset, size_t(n));
            return n;
        }
        return readFully(offset, buffer, length);
    }

private:
    qint64 readFully(qint64 offset, uchar *buffer, qint64 length)
    {
        qint64 done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(m_fd, buffer + done, size_t(length - done), off_t(offset + done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        return done;
    }

    int m_fd;
    qint64 m_headSize = -1;
    uchar m_head[4096];
};
#endif

} // namespace

NameTable loadNameTable(const QString &path)
{
    FileReader reader(path);
    if (!reader.isOpen())
        return NameTable{};
    return loadWith(reader);
}

NameTable loadNameTableFromMemory(const QByteArray &file)
{
    return loadWith([&file](qint64 offset, uchar *buffer, qint64 length) -> qint64 {
        if (offset < 0 || offset >= file.size())
            return 0;
        const qint64 n = std::min<qint64>(length, file.size() - offset);
        std::memcpy(buffer, file.constData() + offset, size_t(n));
        return n;
    });
}

int tableLength(const QString &path)
{
    return loadNameTable(path).code;
}

int readNameTable(const QString &path, char *buffer, int length)
{
    const NameTable table = loadNameTable(path);
    if (table.code < 0)
        return table.code;
    const int n = std::max(0, std::min(length, table.bytes.size()));
    if (n > 0)
        std::memcpy(buffer, table.bytes.constData(), size_t(n));
    return n;
}

int readPsName(const NameTable &table, char *out, int capacity)
{
    if (table.code < 1)
        return table.code;
    return psNameOf(Records(table.bytes), out, capacity);
}

int readEnFamily(const NameTable &table, char *outFamily, char *outStyle, int capacity)
{
    if (table.code < 1)
        return table.code;
    return enFamilyOf(Records(table.bytes), outFamily, outStyle, capacity);
}

int readCnFamily(const NameTable &table, char *outFamily, char *outStyle, int capacity)
{
    if (table.code < 1)
        return table.code;
    return cnFamilyOf(Records(table.bytes), outFamily, outStyle, capacity);
}

int readPsName(const QString &path, char *out, int capacity)
{
    return readPsName(loadNameTable(path), out, capacity);
}

int readEnFamily(const QString &path, char *outFamily, char *outStyle, int capacity)
{
    return readEnFamily(loadNameTable(path), outFamily, outStyle, capacity);
}

int readCnFamily(const QString &path, char *outFamily, char *outStyle, int capacity)
{
    return readCnFamily(loadNameTable(path), outFamily, outStyle, capacity);
}

QString bufferText(const char *buffer, int capacity)
{
    const void *zero = std::memchr(buffer, 0, size_t(std::max(capacity, 0)));
    const int n = zero ? int(static_cast<const char *>(zero) - buffer) : capacity;
    return QString::fromUtf8(buffer, n);
}

bool FileNames::complete() const
{
    return cnResult >= 0 && psResult >= 0 && !familyName.isEmpty() && !styleName.isEmpty() &&
           !psName.isEmpty();
}

FileNames readFileNames(const NameTable &table)
{
    FileNames names;
    char family[kNameBufferSize] = {};
    char style[kNameBufferSize] = {};
    char enFamily[kNameBufferSize] = {};
    char enStyle[kNameBufferSize] = {};
    char ps[kNameBufferSize] = {};
    names.cnResult = readCnFamily(table, family, style, kNameBufferSize);
    names.enResult = readEnFamily(table, enFamily, enStyle, kNameBufferSize);
    names.psResult = readPsName(table, ps, kNameBufferSize);
    names.familyName = bufferText(family);
    names.styleName = bufferText(style);
    names.enFamilyName = bufferText(enFamily);
    names.psName = bufferText(ps);
    return names;
}

FileNames readFileNames(const QString &path)
{
    return readFileNames(loadNameTable(path));
}

} // namespace FontNameReader

int fillLocalFont(const FontNameReader::FileNames &names, LocalFont &record)
{
    if (names.cnResult < 0 || names.psResult < 0)
        return -2;
    if (names.familyName.isEmpty() || names.styleName.isEmpty() || names.psName.isEmpty())
        return -1;
    record.familyName = names.familyName;
    record.enFamilyName = names.enFamilyName;
    record.styleName = names.styleName;
    record.psName = names.psName;
    return 1;
}

int fillLocalFont(const QString &path, LocalFont &record)
{
    return fillLocalFont(FontNameReader::readFileNames(path), record);
}

std::unique_ptr<LocalFont> readLocalFont(const QString &path)
{
    auto record = std::make_unique<LocalFont>();
    if (fillLocalFont(path, *record) != 1)
        return nullptr;
    return record;
}
