#pragma once

#include <QString>

// Starts the program at login (or stops doing so). The entry is named after the
// executable's base name; switching off keeps the entry but disables it.
bool setStartAtLogin(const QString &nativeExecutablePath, bool on);

#ifndef Q_OS_WIN
// Where the login entry for an executable lives (XDG autostart).
QString autostartEntryPath(const QString &executablePath);
// Quotes a path for a desktop entry's Exec key.
QString desktopExecQuote(const QString &path);
#endif
