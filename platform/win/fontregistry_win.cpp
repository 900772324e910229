#include "platform/fontregistry.h"

#include <QDir>

#include <windows.h>

int registerFontFile(const QString &path)
{
    return AddFontResourceA(QDir::toNativeSeparators(path).toLocal8Bit().constData());
}

bool unregisterFontFile(const QString &path)
{
    // One call removes one registration; activation added the file once. It fails for a
    // file that was not registered, which is as gone as a removed one.
    RemoveFontResourceA(QDir::toNativeSeparators(path).toLocal8Bit().constData());
    return true;
}

void announceFontChange()
{
    PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

QString sessionFontDir()
{
    return QString();
}
