#include "platform/ownfolder.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

bool isOwnWritableFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    // Owned by someone else (root, for a package), the folder is not the user's even where
    // group or other write bits would let them in.
    return ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && ::access(native.constData(), W_OK) == 0;
}
