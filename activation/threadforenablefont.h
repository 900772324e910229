#pragma once

#include <QString>
#include <QThread>
#include <QVector>

class FontSystem;

// One entry of the "downlist" saved in the user data file.
struct DownlistEntry
{
    QString name;
    QString path;
};

// The "downlist" entries of a user data file in file order, names and paths as
// stored (either may be empty). Nothing when the file is missing, empty, not Base64
// JSON of an object, or has no "downlist".
QVector<DownlistEntry> readSavedDownlist(const QString &userDataFile);

// Registers one file of the saved "downlist" again: no naming-table read, no
// bookkeeping, no announcement. -1 for a missing file or an empty name.
int registerSavedFont(FontSystem &system, const QString &path, const QString &name);

// The start-up re-activation of the fonts the previous run activated. Reads the user
// data file itself and keeps its results in its own members; read them only after
// finished().
class ThreadForEnableFont : public QThread
{
    Q_OBJECT
public:
    explicit ThreadForEnableFont(QObject *parent = nullptr);

    // Both default to the program's own: the user data file in the application-data
    // location, and the platform's registration. Set before start().
    void setUserDataFile(const QString &path) { m_userDataFile = path; }
    void setFontSystem(FontSystem *system) { m_system = system; }

    // The entries the system registered, in file order, at matching positions.
    const QVector<QString> &registeredNames() const { return m_registeredNames; }
    const QVector<QString> &registeredPaths() const { return m_registeredPaths; }
    // Entries read but never tried because the thread was asked to stop.
    const QVector<DownlistEntry> &unreachedEntries() const { return m_unreached; }

protected:
    void run() override;

private:
    QString m_userDataFile;
    FontSystem *m_system = nullptr;
    QVector<QString> m_registeredNames;
    QVector<QString> m_registeredPaths;
    QVector<DownlistEntry> m_unreached;
};
