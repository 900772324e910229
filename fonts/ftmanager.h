#pragma once

#include "fonts/fontrecords.h"
#include "core/ftstorage.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

// What service requests carry besides their own values: the session token (empty while
// nobody is signed in; written only by the account session) and the text the user
// previews fonts with.
struct RequestContext
{
    QString token;
    QString previewText;
};

// The one object behind the main window that holds paths, settings and user records
// (the storage side it inherits) and every font collection. GUI thread only: worker
// threads hand their results over after they finish.
class FtManager : public FtStorage
{
public:
    FtManager();
    ~FtManager() override;
    FtManager(const FtManager &) = delete;
    FtManager &operator=(const FtManager &) = delete;

    // Defaults, folder tree and user data file for the logged-in record.
    bool initialize();
    bool loadUserData(const QString &path = QString())
    {
        return FtStorage::loadUserData(m_loggedIn, path);
    }
    bool saveUserData(const QString &path = QString())
    {
        return FtStorage::saveUserData(m_loggedIn, path);
    }

    UserRecord &currentUser() { return *m_current; }
    const UserRecord &currentUser() const { return *m_current; }
    UserRecord &loggedInUser() { return m_loggedIn; }
    UserRecord &guestUser() { return m_guest; }
    bool isLoggedInCurrent() const { return m_current == &m_loggedIn; }
    void switchToLoggedIn() { m_current = &m_loggedIn; }
    void switchToGuest() { m_current = &m_guest; }

    // Logout: drops the session's favourites and head image but keeps the credentials.
    void resetLoggedInUser();

    bool isActivated(const QString &name) const { return m_activatedIndex.contains(name); }
    bool isAvailable(const QString &name) const;
    std::optional<FontAV> cloudFont(const QString &name) const;

    // Catalogue, in the service's order.
    QVector<QString> initCloudVec;
    QMap<QString, int> cloudIndex;
    // Names left by the tag filter and by the search, each with a position index.
    QVector<QString> filteredList;
    QMap<QString, int> filteredIndex;
    QVector<QString> searchList;
    QMap<QString, int> searchIndex;
    // Every catalogue font by name; a later record of a name replaces the earlier one.
    QMap<QString, FontAV> cloudFonts;
    QList<TagGroup> tagGroups;
    QMap<int, QString> imageList; // font id -> preview image address

    RequestContext requestContext;

    // Installed fonts in scan order, indexed by display name; the first file of a
    // display name wins.
    const QList<LocalFont *> &installedFonts() const { return m_installed; }
    const LocalFont *installedFont(const QString &showName) const
    {
        return m_installedIndex.value(showName);
    }
    void setInstalledFonts(const QList<LocalFont> &fonts);

    // Fonts registered in this run, by the name they were activated under. A name is
    // recorded once; later activations of the same name keep the first record.
    const QList<LocalFont *> &activatedFonts() const { return m_activated; }
    const LocalFont *activatedFont(const QString &name) const
    {
        return m_activatedIndex.value(name);
    }
    // Records an activated file; also notes it in `downlist`. False when already known.
    bool addActivated(const QString &name, const LocalFont &font, const QString &filePath);
    // Forgets an activated name and its `downlist` entry. False when it was not activated.
    bool removeActivated(const QString &name);

private:
    UserRecord m_guest;
    UserRecord m_loggedIn;
    UserRecord *m_current = &m_guest;

    QList<LocalFont *> m_installed;
    QMap<QString, LocalFont *> m_installedIndex;
    QList<LocalFont *> m_activated;
    QMap<QString, LocalFont *> m_activatedIndex;
};
