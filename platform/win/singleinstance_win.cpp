#include "platform/singleinstance.h"

#include <windows.h>

bool isOnlyInstance()
{
    // Local namespace: one instance per logged-on user.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"fortest_abc123");
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    return true; // the handle stays open until the process ends
}

QString instanceSocketName()
{
    // Pipe names are global: the user's name keeps one user's instance from another's.
    return QStringLiteral("fortest_abc123-") + qEnvironmentVariable("USERNAME");
}
