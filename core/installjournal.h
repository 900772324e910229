#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <QVector>

// Suffixes the updater gives a file's new contents while they are written and the
// old file while the whole install is not yet done.
extern const char *const kInstallPartSuffix;  // ".vantorel-part"
extern const char *const kInstallAsideSuffix; // ".vantorel-old"

// The record of one install into the program folder, written before the folder
// changes, so that an updater killed half way leaves enough behind for the next
// start of either program to put the folder back to one whole version: the old
// one while the copy was still going on, the new one once it was complete.
//
// Lives in the program folder as ".vantorel-journal"; ".vantorel-lock" there
// tells a running install from an abandoned one.
class InstallJournal
{
public:
    explicit InstallJournal(const QString &installDir);

    // Takes the install lock; false while another process holds it.
    bool lock();
    // Notes every file and folder that copying `sourceDir` over the program folder
    // adds or replaces, and removes what an earlier run left aside for them.
    // Nothing in the folder has changed yet when this returns true.
    bool begin(const QString &sourceDir);
    // Every new file is in place: from now on the install is finished, not undone.
    bool commit();
    // The folder is whole again; the journal goes and the lock is released.
    void finish();

    static QString journalPath(const QString &installDir);

private:
    struct Entry
    {
        QString path; // relative to the program folder
        bool replaced = false;
    };
    bool plan(const QString &source, const QString &relative);
    bool write(bool committed) const;

    QString m_installDir;
    QLockFile m_lock;
    QVector<Entry> m_files;
    QStringList m_folders; // made by the install, parents first
};

enum class InstallRepair {
    Clean,      // no install was interrupted
    RolledBack, // the old version is back
    Completed,  // the new version was complete; its leftovers are gone
    Busy,       // an install is running right now
    Failed,     // the folder could not be put right; the journal stays for the next try
};

// Puts right an install into `installDir` that was interrupted (the updater was
// killed, the machine went down). Cheap when there is nothing to do.
InstallRepair repairInterruptedInstall(const QString &installDir);
