#include "platform/fontregistry.h"

#include <QDir>

#include <windows.h>

int registerFontFile(const QString &path)
{
    return AddFontResourceA(QDir::toNativeSeparators(path).toLocal8Bit().constData());
}

void announceFontChange()
{
    PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

QString sessionFontDir()
{
    return QString();
}
