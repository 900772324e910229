// libFuzzer target for the user data file. Each input is a whole file. Besides the
// sanitizers it checks that whatever a load takes in survives a save and a second
// load unchanged, and that a saved file always reads back as intact.
#include "core/ftstorage.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

// Qt 5.15's JSON parser leaks when an object repeats a key holding an array, with other
// keys between ({"a":[{}],"c":2,"a":[{}],"d":3}; reproduced with QJsonDocument::fromJson
// alone). Qt's frames carry no frame pointers, so the leak is matched by Qt's module.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n";
}

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("UsrMsg.json"));

    FtStorage first;
    UserProfile user;
    first.readUserData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)),
                       user);
    check(first.saveUserData(user, path));

    QFile saved(path);
    check(saved.open(QIODevice::ReadOnly));
    FtStorage second;
    UserProfile reread;
    check(second.readUserData(saved.readAll(), reread));
    check(reread.user == user.user && (!first.bSavePass || reread.pass == user.pass));
    check(second.activation == first.activation && second.download_ids == first.download_ids);
    check(second.autostart == first.autostart && second.bGuideDone == first.bGuideDone);
    return 0;
}
