#pragma once

#include <QString>

// Unpacks every entry of the zip archive at archivePath (or, failing that, at
// archivePath + ".zip") into targetDir, keeping the stored folders and
// overwriting existing files. An empty password means none; otherwise its UTF-8
// bytes open entries protected with the traditional zip cipher.
//
// Returns true when the archive opened and the process's working directory was
// changed to targetDir; entry-level problems show only as lines on standard
// output and in the files left on disk. The working directory stays at
// targetDir after a successful call. Entries whose names would land outside
// targetDir or hold control characters are skipped.
//
// Returns false, with a line saying why, for an archive refused before anything
// is written (entries that overlap each other or the central directory, a
// damaged directory, more declared bytes than targetDir's free space) and for
// one whose entry inflates past its declared size; that entry is stopped there
// and nothing after it is extracted.
bool extractArchive(const QString &archivePath, const QString &targetDir, const QString &password);
