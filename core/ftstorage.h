#pragma once

#include "core/userprofile.h"

#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>

// What the program keeps on the local disk between runs, apart from the font files:
// the folder tree under the documents location, the event log, the stored settings
// and the user data file. Lives on the GUI thread.
class FtStorage
{
public:
    FtStorage() = default;
    virtual ~FtStorage() = default;

    // Defaults, folder tree, user data file, then the login defaults rule. Returns the
    // result of loading the file.
    bool initialize(UserProfile &loggedIn);

    // Creates whatever is missing of the folder tree; true when it is complete.
    bool createDirectories();

    // An empty path means the user data file. Load is true when the file could be
    // read and was not empty; unusable content leaves the defaults. A file whose
    // content could not be read whole is moved aside under a dated name beside it
    // (and logged) before the first save over it.
    // A file larger than kMaxUserDataBytes is not read and counts as unreadable. Keys
    // this version does not know (another version wrote them) are written back as read.
    bool loadUserData(UserProfile &loggedIn, const QString &path = QString());
    static constexpr qint64 kMaxUserDataBytes = 64 * 1024 * 1024;
    bool saveUserData(const UserProfile &loggedIn, const QString &path = QString());
    // Takes what it can from the file's bytes; false when they are not Base64 of a
    // JSON object or a known key holds a value of another type.
    bool readUserData(const QByteArray &content, UserProfile &loggedIn);

    // Appends "text  timestamp" to a file in the messages folder, re-creating the
    // folder tree once if it has gone.
    void writeLog(const QString &text, const QString &fileName = QStringLiteral("FontMsg.log"));

    void deleteHeadImage();

    // Registers or disables starting the program at login; true when it was written.
    bool setAutoStart(bool on);

    // After an upgrade (or on a first start) cached preview images are stale.
    bool imageCacheIsStale() const;
    void clearImageCache();

    const QString &userDataFile() const { return m_userDataFile; }
    const QString &rootDir() const { return m_rootDir; }
    const QString &downloadsDir() const { return m_downloadsDir; }
    const QString &messagesDir() const { return m_messagesDir; }
    const QString &imagesDir() const { return m_imagesDir; }
    const QString &usedDir() const { return m_usedDir; }
    const QString &headImageFile() const { return m_headImageFile; }

    // Stored settings.
    QString m_preVersion;
    bool autostart = false;
    bool bGuideDone = false;
    bool bSavePass = false;
    bool bAutoLogin = false;
    bool bLoginRead = false;
    // The cards' preview (a PreviewKind and its own text) and their height in pixels at
    // scale 1; 0 when none is stored.
    int previewKind = 0;
    QString previewText;
    int cardHeight = 0;
    // Run state, never stored. Signed in: written by the account session alone.
    bool bLogin = false;
    // Font bookkeeping kept in the user data file.
    QMap<int, int> activation;         // font id -> times applied
    QSet<int> download_ids;            // catalogue ids downloaded
    QMap<QString, QString> downlist;   // font name -> activated file

private:
    void computePaths();
    bool keepUnreadableFile(const QString &path);

    QString m_userDataFile;
    QString m_rootDir;
    QString m_downloadsDir;
    QString m_messagesDir;
    QString m_imagesDir;
    QString m_usedDir;
    QString m_headImageFile;
    QSet<QString> m_unreadableFiles; // loaded this run, not readable, not yet moved aside
    QJsonObject m_otherKeys;         // read from the file, unknown to this version
};
