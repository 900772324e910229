#pragma once

#include <QString>

// True when path names a folder that belongs to the current user and that the user may
// write into. A symbolic link is never such a folder, whatever it points to: the path is
// judged as named, so a link planted in a shared place cannot lend someone else's folder
// (or the user's own, behind another owner's back). Callers meaning a link's target
// resolve the path first.
bool isOwnWritableFolder(const QString &path);
