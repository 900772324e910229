// libFuzzer target for the naming-table reader. Each input is a whole font file.
// Besides the sanitizers it checks that the readers keep their buffer contract
// and that reading through a file gives exactly what reading from memory gives.
#include "fonts/fontnamereader.h"
#include "fonts/localfontscan.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

using namespace FontNameReader;

namespace {

int memoryFile()
{
    static const int fd = memfd_create("fuzz-font", 0);
    return fd;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Every output ends in a zero inside the capacity and nothing past it changes.
void checkSmallCapacity(const NameTable &table, int capacity)
{
    char a[16], b[16];
    std::memset(a, 0x5A, sizeof a);
    std::memset(b, 0x5A, sizeof b);
    std::memset(a, 0, size_t(capacity));
    std::memset(b, 0, size_t(capacity));
    readCnFamily(table, a, b, capacity);
    readEnFamily(table, a, b, capacity);
    readPsName(table, a, capacity);
    check(a[capacity - 1] == 0 && b[capacity - 1] == 0);
    for (int i = capacity; i < 16; ++i)
        check(a[i] == 0x5A && b[i] == 0x5A);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const NameTable table = loadNameTableFromMemory(file);
    check(table.bytes.size() <= qMax(table.code, 0));
    const FileNames names = readFileNames(table);

    LocalFont record;
    if (fillLocalFont(names, record) == 1)
        check(!displayName(record.familyName, record.styleName).isEmpty());
    checkSmallCapacity(table, 1);
    checkSmallCapacity(table, 7);

    const int fd = memoryFile();
    if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size)) {
        const NameTable fromFile = loadNameTable(QStringLiteral("/proc/self/fd/%1").arg(fd));
        check(fromFile.code == table.code && fromFile.bytes == table.bytes);
    }
    return 0;
}
