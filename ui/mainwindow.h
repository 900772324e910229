#pragma once

#include "activationview.h"
#include "ftmanager.h"
#include "problemreporter.h"

#include "guideform.h"
#include "windowgeometry.h"

#include <QDateTime>
#include <QDialog>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class ActivationController;

class MyMsgBox;
class CardModel;
class CardView;
class CatalogueLoader;
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
    CardModel *cloudCards() const { return cloudModel; }
    CardModel *localCards() const { return localModel; }
    CardModel *favouriteCards() const { return loveModel; }
    CardView *cloudPage() const { return cloudView; }
    CardView *localPage() const { return localView; }
    PreviewLoader *previewLoader() const { return previews.get(); }
    QStackedWidget *pages() const { return fontArea; }
    CardView *favouritesPage() const { return loveView; }
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

public slots:
    void onFtSelected(const QString &ftName);
    void onLocalThreadDone();
    void onLocalThreadDestroy();
    void onAutoStart(bool bAutoStart);
    // After a login: login button, marks, local page and the favourites from the service.
    void onSignedIn();
    void onGotLoveList();
    // Signs the user out: marks off, favourites emptied, the catalogue shown.
    void logout();
    // Signs the current user out, then offers the login dialog.
    void switchAccount();
    void oncloudBt();
    void onlocalBt();
    void oncollectBt();
    void onlogin();
    void onTableChanged(int indx);
    void onFtHeightChanged(int value);
    void onMainMinimize();
    void onMainClose();
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
    void buildWidgets();
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
    bool isLoved(const QString &name) const;
    void logScreenMetrics();
    void startLocalFontScan();
    bool tryAutoLogin();
    int checkVersionAtStart();
    void fetchUpdateLogAndAsk();
    // Steps of the start-up after the version check: scan, catalogue, login, guide.
    void continueStartUp();

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
    std::unique_ptr<UpdateOffer> updates;
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
    QLineEdit *searchBox = nullptr;
    QLineEdit *ftTextEdt = nullptr;
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
    CardView *cloudView = nullptr;
    CardView *localView = nullptr;
    CardView *loveView = nullptr;
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
    bool bGuideDrag = false;    // a press while the guide shows: moves drag the window
    bool bLeftPressed = false;  // the left button is down for a move or an edge resize
    bool bTopStripPressed = false;
    QPoint pressPoint;
    QPoint dragOffset;
    WindowGeometry::EdgeRegion dragRegion = WindowGeometry::EdgeInside;
    QPointer<QDialog> currentDialog; // the login dialog while it is open
};
