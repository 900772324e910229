#pragma once

#include "activation/activationview.h"
#include "finding/cloudlist.h"
#include "fonts/ftmanager.h"
#include "finding/previewsetting.h"
#include "activation/problemreporter.h"

#include "widgets/windowdrag.h"
#include "window/guideform.h"
#include "window/windowgeometry.h"

#include <QDateTime>
#include <QDialog>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class AccountSession;
class ActivationController;
class FavouritesController;
class HeadImageLoader;
class UserDlg;

class MyMsgBox;
class CardModel;
class CardMenu;
class CardView;
class CatalogueLoader;
class FilterDlg;
class MLineEdit;
class SearchBox;
class PreviewLoader;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QStackedWidget;
class QKeyEvent;
class QMouseEvent;
class ReportSender;
class ThreadForLocalFonts;
class UpdateOffer;

// The program's one window. Its constructor is the start-up sequence and its
// destructor the shutdown; the work itself lives in widget-free classes that the
// slots forward to.
class MainWindow : public QDialog, public ActivationView
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Pages of the font area.
    enum Page {
        PageCloud = 0,
        PageLocal = 1,
        PageFavourites = 2,
        PageNotLoggedIn = 3,
        PageNoFavourites = 4,
        PageNoSearchResult = 5,
    };

    FtManager &fontManager() { return ftManager; }
    // Writes the user data file as the end of a run does.
    void saveUserData();
    CardModel *cloudCards() const { return cloudModel; }
    CardModel *localCards() const { return localModel; }
    CardModel *favouriteCards() const { return loveModel; }
    CardView *cloudPage() const { return cloudView; }
    CardView *localPage() const { return localView; }
    PreviewLoader *previewLoader() const { return previews.get(); }
    QStackedWidget *pages() const { return fontArea; }
    // Finding fonts: the search field, tag panel, preview field and menu, and which list
    // the cloud page reads.
    SearchBox *searchInput() const { return searchBox; }
    FilterDlg *filterPanel() const { return filterDlg; }
    MLineEdit *previewInput() const { return ftTextEdt; }
    QMenu *previewMenu() const { return showMenu; }
    const CloudList &cloudList() const { return *cloudNames; }
    const PreviewSetting &previewSetting() const { return preview; }

    // Makes one of the lists current and shows it on the cloud page.
    void showList(CloudList::Which which);
    // Redraws the pages whose cards were drawn with another preview.
    void refreshPreviews();
    CardView *favouritesPage() const { return loveView; }
    CardMenu *cardMenus() const { return cardMenu; }
    CatalogueLoader *catalogueLoader() const { return catalogue.get(); }
    QFrame *frame() const { return mainFrame; }
    QSystemTrayIcon *trayIcon() const { return tray; }
    int rowHeight() const { return ftHeight; }
    int rowHeightMin() const { return ftHeightMin; }
    int rowHeightMax() const { return ftHeightMax; }
    // The notice over the cloud page while the catalogue cannot be loaded.
    QWidget *serviceNotice() const { return m_serviceNotice; }
    // The in-window notice that stands in for tray balloons.
    QWidget *messageBox() const;
    GuideForm *guideForm() const { return guide; }
    bool isGuideShowing() const { return bGuideShowing; }
    // What the version check found; the user centre's version dialog reads and renews it.
    UpdateOffer *updateOffer() const { return updates.get(); }
    // The start-up check asked for the update: the rest of the start-up waits for it.
    bool isUpdateRequested() const { return bUpdateRequested; }

    // The cloud page from the catalogue, in the service's order.
    void fillCloudPage();
    void fillFavouritesPage();

    // ActivationView
    void showTrayMessage(const QString &title, const QString &text) override;
    void openLogin() override;
    void setBusy(const QString &name, bool busy) override;
    void setCardActivated(QObject *card, bool on) override;
    void markActivated(const QString &name, bool on) override;
    void showProgress(const QString &name, int percent) override;
    void clearProgress(const QString &name) override;
    void fillLocalPage() override;
    void refreshActivated() override;
    int currentPageIndex() const override;
    OfficeConsent::Answer askOfficeConsent() override;

public slots:
    void onFtSelected(const QString &ftName);
    void onLocalThreadDone();
    void onLocalThreadDestroy();
    void onAutoStart(bool bAutoStart);
    // The signed-in state changed: login button, marks, local page, favourites.
    void onSignedIn();
    void onGotLoveList();
    // The heart of a card: add the font to or remove it from the favourites.
    void onFtCollect(const QString &ftName);
    // Sends the profile saved in the user centre.
    void onModifyUsr();
    // Signs the user out: marks off, favourites emptied, the catalogue shown.
    void logout();
    void oncloudBt();
    void onlocalBt();
    void oncollectBt();
    void onlogin();
    void onTableChanged(int indx);
    void onFtHeightChanged(int value);
    void onMainMinimize();
    void onMainClose();
    void onShowTypeWidget();
    void onCurrTagsChanged(QMap<QString, QPoint> *tags);
    void onSearchTextEdited();
    void onClearSearch();
    void onSearchLoseFocus();
    void onFtShowEdited();
    void onDropBt();
    void onShowTextChanged();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void onGuideDone();
    // Starts the updater and closes; when it cannot start, says so and goes on.
    void onStartUpdate();
    void onFeedback();

public:
    FavouritesController *favouritesController() const { return favourites.get(); }
    AccountSession &accountSession() const { return *account; }
    QPushButton *loginButton() const { return loginBt; }
    // Runs when the user centre has been built, before it is shown (tests look inside).
    std::function<void(UserDlg &)> userDlgOpened;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets();
    void connectFinder();
    void showCloudFace();
    void buildTopBar();
    void buildLowBar();
    void buildTray();
    void scaleWidgets();
    void placeWindow();
    void fadeThen(double from, double to, const std::function<void()> &then);
    void showCatalogueUnreachable();
    void showGuide();
    void onFirstPictureDrawn();
    void refreshSignedIn();
    void requestLoveList();
    void onLovedChanged(const QString &name, bool loved);
    void showNotice(const QString &text);
    bool isLoved(const QString &name) const;
    void logScreenMetrics();
    void startLocalFontScan();
    void connectAccount();
    void showLoginDialog();
    // The start-up steps after the window is up, each started when the one before ended:
    // version check (and update offer), cache clean-up, then scan, catalogue, automatic
    // login, and at last reports, guide and the start-time stamp.
    void checkVersionAtStart();
    void fetchUpdateLogAndAsk();
    void askForUpdate(const QString &log);
    void afterVersionCheck();
    void restorePreviewAndHeight();
    void continueStartUp();
    void finishStartUp(bool signedIn);

    QDateTime startTime;
    // Declared in dependency order: members are destroyed in reverse, so everything
    // that refers to the font manager or a network manager goes before them.
    FtManager ftManager;
    QNetworkAccessManager network;
    QNetworkAccessManager downloadNetwork; // font archives only
    std::unique_ptr<CatalogueLoader> catalogue;
    std::unique_ptr<ReportSender> reports;
    std::unique_ptr<ServiceProblemReporter> problemReporter;
    std::unique_ptr<ActivationController> activation;
    std::unique_ptr<PreviewLoader> previews;
    std::unique_ptr<FavouritesController> favourites;
    std::unique_ptr<HeadImageLoader> headLoader;
    std::unique_ptr<UpdateOffer> updates;
    std::unique_ptr<AccountSession> account;
    QSystemTrayIcon *tray = nullptr;
    QPointer<ThreadForLocalFonts> localThread;

    QFrame *mainFrame = nullptr;
    QWidget *widgtTop = nullptr;
    QWidget *widgtLow = nullptr;
    QFrame *lineLow = nullptr;
    QPushButton *setMenuBt = nullptr;
    QPushButton *minBt = nullptr;
    QPushButton *closeBt = nullptr;
    QPushButton *typeBt = nullptr;
    SearchBox *searchBox = nullptr;
    MLineEdit *ftTextEdt = nullptr;
    QLabel *aLBt = nullptr;
    QLabel *aHBt = nullptr;
    QMenu *trayMenu = nullptr;
    QWidget *m_serviceNotice = nullptr;
    MyMsgBox *m_msgBox = nullptr;
    QPointer<GuideForm> guide;
    QPushButton *loginBt = nullptr;
    QLabel *curNameLbl = nullptr;
    QPushButton *cloudBt = nullptr;
    QPushButton *localBt = nullptr;
    QPushButton *collectBt = nullptr;
    QSlider *sizeSlider = nullptr;
    QStackedWidget *fontArea = nullptr;
    CardModel *cloudModel = nullptr;
    CardModel *localModel = nullptr;
    CardModel *loveModel = nullptr;
    CardMenu *cardMenu = nullptr;
    CardView *cloudView = nullptr;
    CardView *localView = nullptr;
    CardView *loveView = nullptr;
    FilterDlg *filterDlg = nullptr;
    QMenu *showMenu = nullptr;
    std::unique_ptr<CloudList> cloudNames;
    PreviewSetting preview;
    PreviewPages previewPages;
    int ftHeightMin = 95;
    int ftHeightMax = 162;
    int ftHeight = 95;
    int visibleRows = 7;
    bool bUpdateRequested = false;
    bool bStartUpDone = false;  // continueStartUp ran
    bool bShownLogged = false;
    bool bWindowPlaced = false; // resizing follows the bars only once placed
    bool bWinTop = true;
    bool bGuideShowing = false;
    bool bLeftPressed = false;  // the left button is down for a move or an edge resize
    bool bTopStripPressed = false;
    WindowDrag m_drag; // a press inside (or anywhere while the guide shows) moves it
    WindowGeometry::EdgeRegion dragRegion = WindowGeometry::EdgeInside;
    QPointer<QDialog> currentDialog; // the login dialog or the user centre while open
    QPointer<QObject> startUpSteps; // context of the start-up steps waiting for the service
};
