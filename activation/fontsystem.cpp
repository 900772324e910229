#include "activation/fontsystem.h"

#include "platform/fontregistry.h"

int FontSystem::registerFontFile(const QString &path)
{
    return ::registerFontFile(path);
}

bool FontSystem::unregisterFontFile(const QString &path)
{
    return ::unregisterFontFile(path);
}

void FontSystem::announceFontChange()
{
    ::announceFontChange();
}

FontSystem &FontSystem::platform()
{
    static FontSystem system;
    return system;
}
