#pragma once

#include <QString>

// Registering font files with the system for the login session, without installing
// them. On Linux the files are linked into a per-session folder under the runtime
// directory (emptied at logout) that a fontconfig include file names; on Windows they
// go through AddFontResource.

// Registers one font file; returns the number of faces added, 0 when the file is
// refused. Safe to call from a worker thread. The toolkit's own font list is not
// touched: the caller adds the font there on the GUI thread if it needs it.
int registerFontFile(const QString &path);

// Takes a file registered by registerFontFile out of the session again; the file
// itself stays. Only what this program registered is touched: on Linux the links in
// the session folder, never an installed font. True when the system no longer
// lists the file (also when it was not registered). Safe from a worker thread.
bool unregisterFontFile(const QString &path);

// Tells running applications that the set of fonts changed.
void announceFontChange();

// The per-session folder that holds the registered fonts (empty on Windows). The
// installed-font scan leaves it out.
QString sessionFontDir();

#ifndef Q_OS_WIN
// The fontconfig include file that names the session folder.
QString sessionFontConfigFile();
#endif
