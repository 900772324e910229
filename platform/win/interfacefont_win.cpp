#include "platform/interfacefont.h"

QString simplifiedChineseFamily()
{
    // Present on every Windows release the program supports.
    return QStringLiteral("Microsoft YaHei");
}
