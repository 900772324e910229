#include "platform/privatefile.h"

#include <QFile>

// The messages folder lies in the user's own profile, whose access list already
// keeps other users out.
bool writePrivateFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}
