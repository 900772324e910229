#include "platform/singleinstance.h"

#include <QLockFile>
#include <QStandardPaths>

namespace {
// The runtime folder is per user and per login session.
QString runtimeDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}
} // namespace

QString instanceSocketName()
{
    return runtimeDir() + QStringLiteral("/fortest_abc123.sock");
}

bool isOnlyInstance()
{
    const QString dir = runtimeDir();
    static QLockFile *guard = nullptr;
    if (guard)
        return true;
    auto *lock = new QLockFile(dir + "/fortest_abc123.lock");
    lock->setStaleLockTime(0); // a crashed instance's lock is recognised by its process id
    if (lock->tryLock(0)) {
        guard = lock; // held, unreleased, for the life of the process
        return true;
    }
    const bool otherInstance = lock->error() == QLockFile::LockFailedError;
    delete lock;
    return !otherInstance;
}
