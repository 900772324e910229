#pragma once

#include <QString>

// Unpacks every entry of the zip archive at archivePath (or, failing that, at
// archivePath + ".zip") into targetDir, keeping the stored folders and
// overwriting existing files. An empty password means none; otherwise its UTF-8
// bytes open entries protected with the traditional zip cipher.
//
// Each file is written under a temporary name beside its place and renamed
// over it only after its size and CRC checked out, so a failed entry leaves no
// partial or wrong file (and an existing file of that name as it was).
//
// Returns true when every entry was extracted whole (entries skipped for their
// names aside). The working directory stays at targetDir once it was entered.
// Entries whose names would land outside targetDir or hold control characters
// are skipped, with a line saying so.
//
// Returns false for an archive refused before anything is written (entries that
// overlap each other or the central directory, a damaged directory, more
// declared bytes than targetDir's free space, a targetDir that cannot be
// entered) and for every entry that cannot be extracted whole: a file or folder
// that cannot be created or written (disk full, no inodes left), data that
// fails to inflate, is cut short, runs past its declared size or does not match
// its CRC, an unsupported compression method, a missing or wrong password. Each
// such entry gets one line "cannot extract NAME: REASON" (or "stopping NAME: ..."
// for data running past its size). A data error ends the extraction there; a
// file that cannot be created does not stop the entries after it.
bool extractArchive(const QString &archivePath, const QString &targetDir, const QString &password);
