#include "platform/ownfolder.h"

#include <QFileInfo>

bool isOwnWritableFolder(const QString &path)
{
    // Folders a user may write into are theirs to update on this system; links and
    // junctions are judged as named, as elsewhere.
    const QFileInfo info(path);
    return !path.isEmpty() && !info.isSymLink() && !info.isJunction() && info.isDir() &&
           info.isWritable();
}
