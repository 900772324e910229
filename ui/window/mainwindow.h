#pragma once

#include "activation/activationview.h"
#include "cards/cardpages.h"
#include "finding/cloudlist.h"
#include "fonts/ftmanager.h"
#include "window/appservices.h"
#include "finding/previewsetting.h"

#include "widgets/windowdrag.h"
#include "window/guideform.h"
#include "window/windowgeometry.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>

class AccountSession;
class ActivationController;
class AppServices;
class CardPages;
class FavouritesController;
class HeadImageLoader;
class UserDlg;

class MyMsgBox;
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
class UpdateOffer;

// The program's one window: a switchboard. Its constructor runs the start-up steps
// through the services it is given and its destructor their shutdown; the card pages,
// the activation flow and the service work live in widget-free owners that the slots
// forward to. It tells the user what the activation flow has to say.
class MainWindow : public QDialog, public ActivationNotifier
{
    Q_OBJECT

public:
    // The services must outlive the window.
    explicit MainWindow(AppServices &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Pages of the font area (the card pages' owner decides which one shows).
    enum Page {
        PageCloud = CardPages::Cloud,
        PageLocal = CardPages::Local,
        PageFavourites = CardPages::Favourites,
        PageNotLoggedIn = CardPages::NotLoggedIn,
        PageNoFavourites = CardPages::NoFavourites,
        PageNoSearchResult = CardPages::NoSearchResult,
    };

    // ActivationNotifier
    void showTrayMessage(const QString &title, const QString &text) override;
    void openLogin() override;
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
    // Makes one of the lists current and shows it on the cloud page.
    void showList(CloudList::Which which);
    // Redraws the pages whose cards were drawn with another preview.
    void refreshPreviews();

    static QString imageStyle(const QString &file);
    void buildWidgets();
    void connectFinder();
    void connectPages();
    void buildTopBar();
    void buildLowBar();
    void buildTray();
    void scaleWidgets();
    void placeWindow();
    void fadeThen(double from, double to, const std::function<void()> &then);
    void showCatalogueUnreachable();
    void showServiceNotice();
    void showGuide();
    void onFirstPictureDrawn();
    void refreshSignedIn();
    void requestLoveList();
    void onLovedChanged(const QString &name, bool loved);
    void showNotice(const QString &text);
    bool isLoved(const QString &name) const { return cards->isLoved(name); }
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
    AppServices &m_services;
    FtManager &ftManager;
    // The services' parts, as the start-up built them.
    CardPages *cards = nullptr;
    CatalogueLoader *catalogue = nullptr;
    ReportSender *reports = nullptr;
    ActivationController *activation = nullptr;
    PreviewLoader *previews = nullptr;
    FavouritesController *favourites = nullptr;
    HeadImageLoader *headLoader = nullptr;
    UpdateOffer *updates = nullptr;
    AccountSession *account = nullptr;
    QSystemTrayIcon *tray = nullptr;

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
    CardMenu *cardMenu = nullptr;
    CardView *cloudView = nullptr;
    CardView *localView = nullptr;
    CardView *loveView = nullptr;
    FilterDlg *filterDlg = nullptr;
    QMenu *showMenu = nullptr;
    PreviewSetting preview;
    PreviewPages previewPages;
    int ftHeightMin = 95;
    int ftHeightMax = 162;
    int ftHeight = 95;
    int visibleRows = 7;
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
