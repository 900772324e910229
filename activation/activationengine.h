#pragma once

#include "fonts/fontrecords.h"

#include <QString>

class FontSystem;
class FtManager;

// The font manager's activation operations: registering a font file under a name with
// its bookkeeping, and handing a font to the foreground application through the
// Sorvane library. Bound to one FtManager; GUI thread only.
class ActivationEngine
{
public:
    explicit ActivationEngine(FtManager &ftManager, FontSystem *system = nullptr);

    // Registers one file under one name and announces the change when broadcast is
    // set. Returns the number of fonts the system added (> 0), 0 when it refused the
    // file, -1 when a check failed before the system was asked (no usable family,
    // style or PostScript name, no such file, empty name). On success the name joins
    // the activated fonts (a name already there keeps its first record), `downlist`
    // and the logged-in user's local group.
    int activateFont(const QString &path, const QString &name, bool broadcast);
    // Takes a font activated in this run out of the session: unregistered, running
    // applications told, and gone from the activated fonts, `downlist` and the
    // logged-in user's local group. Its file stays on disk. False, with nothing
    // changed, for a name this program did not activate (installed fonts among them)
    // or when the system still lists the file.
    bool deactivateFont(const QString &name);

    // Sets the record's font in the foreground application; the library's result
    // code, -1 when the library or its function is missing.
    int applyToApp(const LocalFont &record);
    // The logged library call: host, sub and ps are UTF-8 family, style and
    // PostScript names; eng (the English family) is only logged.
    int callInteraction(const char *host, const char *sub, const char *ps, int flag,
                        const char *eng);

    // Folder searched for the library before the system's normal search; empty means
    // the program's own folder.
    void setLibraryDir(const QString &dir) { m_libraryDir = dir; }
    QString libraryDir() const;

    FontSystem &fontSystem() { return *m_system; }
    FtManager &ftManager() { return m_ft; }

    // The text appended to the apply failure message for a result code.
    static QString interactionDetail(int code);

private:
    FtManager &m_ft;
    FontSystem *m_system;
    QString m_libraryDir;
};

// Makes a registered file usable by this process's own font list. Does nothing off
// the GUI thread or without a GUI application.
void addToProcessFontDatabase(const QString &path);
// Takes back what addToProcessFontDatabase added for the file.
void removeFromProcessFontDatabase(const QString &path);
