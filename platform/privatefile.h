#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's contents with bytes only the current user may read: a file that
// holds a session token. The file is created that way, never widened afterwards,
// and an existing one is narrowed before anything is written. True when all bytes
// were written.
bool writePrivateFile(const QString &path, const QByteArray &bytes);
