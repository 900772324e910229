#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtGlobal>

// Widget-free rules of the updater: progress arithmetic, names and paths.

// The download fills the bar up to 90: received × 0.9 × 100 / total, truncated.
// 0 when the total is unknown (0 or negative) or the counts are out of range.
int downloadPercent(qint64 received, qint64 total);

// The copy fills the last tenth: 90 at fraction 0, 100 at fraction 1 (truncated).
// Fractions outside [0, 1] and NaN are clamped, so the bar never leaves 90..100.
int copyProgressValue(double fraction);

// The main program is restarted through one command string: every blank is put
// inside double quotes so that the command splits back into the same path.
QString quoteBlanks(const QString &path);

// Where the downloaded package is saved inside the download folder: the last
// component of the address's decoded path, or a fixed name when that component
// is empty or could name something other than a plain file in that folder.
QString packageFileName(const QUrl &url);

// The program's arguments, each read as UTF-8 bytes.
QStringList argumentsFromUtf8(int argc, char **argv);

// Creates `path` (and missing parents) when it is absent. On Unix a new folder is
// private to the user, and an existing one is accepted only when it is a real
// folder (not a link) owned by the user and writable by nobody else: the
// temporary location is shared, and files placed there by others must never be
// installed.
bool ensurePrivateDirectory(const QString &path);

// Removes everything inside `path`, keeping the folder itself. True when the
// folder exists and is empty afterwards.
bool emptyDirectory(const QString &path);

// Moves `from` onto `to`, replacing an existing file in one step where the
// system allows it. On failure `to` is left as it was.
bool replaceFile(const QString &from, const QString &to);
