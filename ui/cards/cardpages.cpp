#include "cards/cardpages.h"

#include "cards/previewloader.h"
#include "finding/previewsetting.h"
#include "fonts/ftmanager.h"
#include "service/previewimage.h"

#include <QFile>
#include <QTimer>

namespace {

// Fewer failures than this in a round are single pictures missing on the service.
constexpr int kFailedRoundMin = 3;
// While pictures are missing the failed names are asked again this often.
constexpr int kPictureRetryMs = 5000;

} // namespace

CardPages::CardPages(FtManager &manager, PreviewLoader &previews, QObject *parent)
    : QObject(parent), m_ft(manager), m_previews(previews),
      m_cloud([&previews](const QString &name) { return previews.picturePath(name); }),
      m_local([&previews](const QString &name) { return previews.picturePath(name); }),
      m_loved([&previews](const QString &name) { return previews.picturePath(name); }),
      m_list(manager)
{
    for (CardModel *page : {&m_cloud, &m_local, &m_loved})
        connect(page, &CardModel::previewNeeded, &previews, &PreviewLoader::request,
                Qt::QueuedConnection);
    connect(&previews, &PreviewLoader::pictureReady, this, &CardPages::pictureReady);
    connect(&previews, &PreviewLoader::pictureFailed, this, &CardPages::pictureFailed);
    connect(&previews, &PreviewLoader::idle, this, &CardPages::previewsIdle);
}

CardModel *CardPages::model(int page)
{
    switch (page) {
    case Cloud:
        return &m_cloud;
    case Local:
        return &m_local;
    case Favourites:
        return &m_loved;
    default:
        return nullptr;
    }
}

void CardPages::show(int page)
{
    if (page == m_current)
        return;
    m_current = page;
    emit pageChosen(page);
}

void CardPages::showCloud()
{
    // After a search the cloud button means the whole catalogue again.
    if (m_list.current() == CloudList::Search) {
        m_list.show(CloudList::Full);
        fillCloudPage();
        emit listChanged();
    }
    showCloudFace();
}

void CardPages::showFavourites()
{
    if (!m_ft.bLogin)
        show(NotLoggedIn);
    else if (!m_ft.loggedInUser().favourites.isEmpty())
        show(Favourites);
    else
        show(NoFavourites);
}

void CardPages::showCloudFace()
{
    // A filter or search that found nothing shows the notice instead of a blank page.
    show(m_list.isEmptyResult() ? NoSearchResult : Cloud);
}

void CardPages::showList(CloudList::Which which)
{
    m_list.show(which);
    fillCloudPage();
    emit listChanged();
    showCloudFace();
}

void CardPages::applyTags(const QList<QPoint> &points)
{
    m_list.applyTags(points);
    fillCloudPage();
    emit listChanged();
    showCloudFace();
}

void CardPages::search(const QString &text)
{
    m_list.search(text);
    fillCloudPage();
    emit listChanged();
    showCloudFace();
}

void CardPages::leaveStaleResult()
{
    if (m_current == NoSearchResult && m_list.current() == CloudList::Search)
        showList(CloudList::Full);
}

bool CardPages::isLoved(const QString &name) const
{
    return m_ft.bLogin && m_ft.currentUser().favourites.contains(name);
}

void CardPages::fillCloudPage()
{
    const auto available = [this](const QString &name) { return m_ft.isAvailable(name); };
    const auto loved = [this](const QString &name) { return isLoved(name); };
    m_cloud.setEntries(CardModel::pictureCards(m_list.names(), available, loved));
}

void CardPages::fillLocalPage()
{
    QVector<CardEntry> cards;
    // Fonts activated in this run come first, newest first, shown like cloud cards.
    if (m_ft.bLogin) {
        const QVector<FontAV> &group = m_ft.loggedInUser().local.fonts();
        const int n = qMin(group.size(), m_ft.activatedFonts().size());
        for (int i = 0; i < n; ++i) {
            CardEntry e;
            e.name = group.at(group.size() - 1 - i).fontname;
            e.available = m_ft.isAvailable(e.name);
            e.loved = isLoved(e.name);
            cards.append(e);
        }
    }
    for (const LocalFont *font : m_ft.installedFonts()) {
        CardEntry e;
        e.name = font->showName;
        e.textMode = true;
        e.family = font->familyName;
        e.style = font->styleName;
        cards.append(e);
    }
    m_local.setEntries(cards);
}

void CardPages::fillFavouritesPage()
{
    QVector<QString> names;
    if (m_ft.bLogin)
        for (const FontAV &font : m_ft.loggedInUser().favourites.fonts())
            names.append(font.fontname);
    const auto available = [this](const QString &name) { return m_ft.isAvailable(name); };
    m_loved.setEntries(
        CardModel::pictureCards(names, available, [](const QString &) { return true; }));
}

void CardPages::refreshSignedIn()
{
    refreshActivated();
    const auto loved = [this](const QString &name) { return isLoved(name); };
    m_cloud.refreshLoved(loved);
    m_local.refreshLoved(loved);
    fillLocalPage();
    fillFavouritesPage();
    if (isFavouritesGroup(m_current))
        showFavourites();
}

void CardPages::refreshLoved()
{
    const auto loved = [this](const QString &name) { return isLoved(name); };
    m_cloud.refreshLoved(loved);
    m_local.refreshLoved(loved);
    fillFavouritesPage();
    if (isFavouritesGroup(m_current))
        showFavourites();
}

void CardPages::setLoved(const QString &name, bool loved)
{
    m_cloud.setLoved(name, loved);
    if (m_ft.loggedInUser().local.contains(name))
        m_local.setLoved(name, loved);
    fillFavouritesPage();
    if (isFavouritesGroup(m_current))
        showFavourites();
}

bool CardPages::hasNamePicture(const QString &name) const
{
    const QString path = previewImagePath(m_ft.imagesDir(), name, PreviewName);
    return !path.isEmpty() && QFile::exists(path);
}

void CardPages::catalogueArrived()
{
    fillCloudPage();
    // Activated fonts lead the local page as picture cards: the catalogue may now
    // know the picture of the first.
    const QString localFirst = m_local.nameAt(0);
    if (m_localScanFinished && !localFirst.isEmpty() && !hasNamePicture(localFirst))
        fillLocalPage();
}

void CardPages::localScanFinished()
{
    m_localScanFinished = true;
    fillLocalPage();
}

CardModel *CardPages::notePick(CardModel *page, int row, const QString &name)
{
    for (int i = 0; i < 3; ++i) {
        if (model(i) == page) {
            m_picks[i] = {row, name};
            return page;
        }
    }
    return nullptr;
}

void CardPages::setBusy(const QString &name, bool busy)
{
    for (CardModel *page : {&m_cloud, &m_local, &m_loved})
        page->setBusy(name, busy);
}

void CardPages::setCardActivated(QObject *card, bool on)
{
    for (int i = 0; i < 3; ++i) {
        CardModel *page = model(i);
        if (page != card)
            continue;
        const Pick &pick = m_picks[i];
        // The page may have been refilled since the click: go by name then.
        if (page->nameAt(pick.row) == pick.name)
            page->setAvailableAt(pick.row, on);
        else
            page->setAvailable(pick.name, on);
    }
}

void CardPages::markActivated(const QString &name, bool on)
{
    m_cloud.setAvailable(name, on);
    if (m_ft.currentUser().favourites.contains(name))
        m_loved.setAvailable(name, on);
}

void CardPages::showProgress(const QString &name, int percent)
{
    if (m_current == Cloud)
        m_cloud.setProgress(name, percent);
    else if (m_current == Favourites)
        m_loved.setProgress(name, percent);
}

void CardPages::clearProgress(const QString &name)
{
    m_cloud.clearProgress(name);
    m_loved.clearProgress(name);
}

void CardPages::refreshActivated()
{
    const auto available = [this](const QString &name) { return m_ft.isAvailable(name); };
    for (CardModel *page : {&m_cloud, &m_local, &m_loved})
        page->refreshAvailable(available);
}

void CardPages::pictureReady(const QString &name)
{
    ++m_readyInRound;
    for (CardModel *page : {&m_cloud, &m_local, &m_loved})
        page->pictureChanged(name);
    if (m_picturesMissing) {
        m_picturesMissing = false;
        emit picturesArrived();
    }
}

void CardPages::pictureFailed(const QString &name)
{
    ++m_failedInRound;
    for (CardModel *page : {&m_cloud, &m_local, &m_loved})
        page->pictureFailed(name);
}

void CardPages::previewsIdle()
{
    // Once missing, the single probe below failing again keeps the notice up.
    const bool nothingCame = m_readyInRound == 0 &&
                             m_failedInRound >= (m_picturesMissing ? 1 : kFailedRoundMin);
    m_failedInRound = m_readyInRound = 0;
    if (!nothingCame)
        return;
    // Blank cards would look like fonts without pictures: say the service is not there.
    if (!m_picturesMissing) {
        m_picturesMissing = true;
        emit picturesUnavailable();
    }
    // The cards under the notice are not painted, so nothing else asks again.
    QTimer::singleShot(kPictureRetryMs, this, [this] {
        if (!m_picturesMissing)
            return;
        for (int row = 0; row < m_cloud.count(); ++row) {
            const QModelIndex index = m_cloud.index(row);
            if (m_cloud.data(index, CardModel::ImagePathRole).toString().isEmpty() &&
                !m_cloud.nameAt(row).isEmpty()) {
                m_previews.request(m_cloud.nameAt(row));
                break;
            }
        }
    });
}
