#pragma once

#include "activation/activationview.h"
#include "cards/cardmodel.h"
#include "finding/cloudlist.h"

#include <QObject>

class FtManager;
class PreviewLoader;

// The three card pages without their widgets: their models, which page the font area
// shows (with the three notice pages), the marks on the cards, the pictures handed to
// every page, and the list the cloud page reads. The window shows what this decides and
// forwards its buttons here. GUI thread only.
class CardPages : public QObject, public CardMarks
{
    Q_OBJECT

public:
    enum Page {
        Cloud = 0,
        Local = 1,
        Favourites = 2,
        NotLoggedIn = 3,
        NoFavourites = 4,
        NoSearchResult = 5,
    };

    CardPages(FtManager &manager, PreviewLoader &previews, QObject *parent = nullptr);

    CardModel *cloudCards() { return &m_cloud; }
    CardModel *localCards() { return &m_local; }
    CardModel *favouriteCards() { return &m_loved; }
    // The model of a card page, null for the notice pages.
    CardModel *model(int page);
    const CloudList &cloudList() const { return m_list; }

    // The page shown. show() says so through pageChosen when it changes.
    int current() const { return m_current; }
    void show(int page);
    static bool isFavouritesGroup(int page) { return page >= Favourites && page <= NoFavourites; }

    // The page buttons. The cloud button leaves a search for the whole catalogue.
    void showCloud();
    void showLocal() { show(Local); }
    void showFavourites();

    // Finding: the list the cloud page reads, then the page that stands for it.
    void showList(CloudList::Which which);
    void applyTags(const QList<QPoint> &points);
    void search(const QString &text);
    // A search typed over: the stale no-result page gives way to the list it replaced.
    void leaveStaleResult();

    void fillCloudPage();
    void fillFavouritesPage();
    // Signed in or out: every mark, the local and favourites pages, and the favourites
    // notice when one of those pages is shown.
    void refreshSignedIn();
    // The favourites of the account arrived, or one font was added or removed.
    void refreshLoved();
    void setLoved(const QString &name, bool loved);
    bool isLoved(const QString &name) const;

    // A catalogue reply arrived: the cloud page refills, and so does the local page once
    // the installed fonts are known when its first card still lacks a picture.
    void catalogueArrived();
    void localScanFinished();

    // The card a font was picked on; passed to the activation flow as the card.
    CardModel *notePick(CardModel *page, int row, const QString &name);

    // CardMarks
    void setBusy(const QString &name, bool busy) override;
    void setCardActivated(QObject *card, bool on) override;
    void markActivated(const QString &name, bool on) override;
    void showProgress(const QString &name, int percent) override;
    void clearProgress(const QString &name) override;
    void fillLocalPage() override;
    void refreshActivated() override;
    int currentPageIndex() const override { return m_current; }

signals:
    void pageChosen(int page);
    // The cloud list changed: its page goes back to the top.
    void listChanged();
    // A round of picture requests brought none: the service is not giving pictures.
    // picturesArrived ends it.
    void picturesUnavailable();
    void picturesArrived();

private:
    void pictureReady(const QString &name);
    void pictureFailed(const QString &name);
    void previewsIdle();
    void showCloudFace();
    bool hasNamePicture(const QString &name) const;

    struct Pick
    {
        int row = -1;
        QString name;
    };

    FtManager &m_ft;
    PreviewLoader &m_previews;
    CardModel m_cloud;
    CardModel m_local;
    CardModel m_loved;
    CloudList m_list;
    Pick m_picks[3];
    int m_current = Cloud;
    bool m_localScanFinished = false;
    int m_failedInRound = 0;
    int m_readyInRound = 0;
    bool m_picturesMissing = false;
};
