#include "fonts/ftmanager.h"

FtManager::FtManager() = default;

FtManager::~FtManager()
{
    qDeleteAll(m_installed);
    qDeleteAll(m_activated);
}

bool FtManager::initialize()
{
    const bool loaded = FtStorage::initialize(m_loggedIn);
    m_loggedIn.headFile = headImageFile();
    return loaded;
}

void FtManager::resetLoggedInUser()
{
    m_loggedIn.bHeadPending = false;
    m_loggedIn.sex = 2;
    m_loggedIn.favourites.setTitle(QStringLiteral("收藏"));
    m_loggedIn.local.setTitle(QStringLiteral("本地"));
    deleteHeadImage();
    m_loggedIn.favourites.clear();
    m_loggedIn.groups.clear();
}

bool FtManager::isAvailable(const QString &name) const
{
    if (!bLogin)
        return false;
    return m_activatedIndex.contains(name) || m_installedIndex.contains(name);
}

std::optional<FontAV> FtManager::cloudFont(const QString &name) const
{
    const auto it = cloudFonts.constFind(name);
    if (it == cloudFonts.cend())
        return std::nullopt;
    return *it;
}

void FtManager::setInstalledFonts(const QList<LocalFont> &fonts)
{
    qDeleteAll(m_installed);
    m_installed.clear();
    m_installedIndex.clear();
    for (const LocalFont &font : fonts) {
        if (m_installedIndex.contains(font.showName))
            continue;
        auto *record = new LocalFont(font);
        m_installed.append(record);
        m_installedIndex.insert(font.showName, record);
    }
}

bool FtManager::addActivated(const QString &name, const LocalFont &font, const QString &filePath)
{
    if (m_activatedIndex.contains(name))
        return false;
    auto *record = new LocalFont(font);
    m_activated.append(record);
    m_activatedIndex.insert(name, record);
    downlist.insert(name, filePath);
    return true;
}

bool FtManager::removeActivated(const QString &name)
{
    LocalFont *record = m_activatedIndex.take(name);
    if (!record)
        return false;
    m_activated.removeOne(record);
    delete record;
    downlist.remove(name);
    return true;
}
