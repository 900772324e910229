#include "window/mainwindow.h"

#include "account/logdlg.h"
#include "account/userdlg.h"
#include "account/warnlog.h"
#include "account/warnnolove.h"
#include "activation/activationcontroller.h"
#include "buildconfig.h"
#include "cards/cardmenu.h"
#include "cards/cardmodel.h"
#include "cards/cardview.h"
#include "cards/previewloader.h"
#include "core/screenmetrics.h"
#include "finding/filterdlg.h"
#include "account/accountsession.h"
#include "finding/mlineedit.h"
#include "finding/mtreewidget.h"
#include "finding/searchbox.h"
#include "finding/warnsearch.h"
#include "fonts/localfontscan.h"
#include "resources/quilloraresources.h"
#include "service/catalogueloader.h"
#include "service/favourites.h"
#include "service/profile.h"
#include "service/replyparser.h"
#include "service/reportsender.h"
#include "service/requestbuilder.h"
#include "service/transport.h"
#include "update/feedbackdlg.h"
#include "update/updateoffer.h"
#include "update/versioncheckdlg.h"
#include "update/versiondlg.h"
#include "widgets/framelessdlg.h"
#include "widgets/frameshadow.h"
#include "widgets/mymsgbox.h"
#include "widgets/warnservice.h"
#include "widgets/windowfade.h"
#include "window/guideform.h"
#include "window/officeconsentdlg.h"
#include "window/windowgeometry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopWidget>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString imageStyle(const QString &file);
} // namespace

MainWindow::MainWindow(QWidget *parent) : QDialog(parent)
{
    initQuilloraResources();
    ftManager.initialize();
    catalogue = std::make_unique<CatalogueLoader>(ftManager, network);
    reports = std::make_unique<ReportSender>(ftManager, network);
    problemReporter = std::make_unique<ServiceProblemReporter>(*reports);
    activation = std::make_unique<ActivationController>(ftManager, this, problemReporter.get(),
                                                        &downloadNetwork);
    previews = std::make_unique<PreviewLoader>(ftManager, network);
    cloudNames = std::make_unique<CloudList>(ftManager);
    favourites = std::make_unique<FavouritesController>(ftManager, network);
    headLoader = std::make_unique<HeadImageLoader>(network, ftManager.headImageFile());
    updates = std::make_unique<UpdateOffer>(ftManager, QCoreApplication::applicationFilePath());
    account = std::make_unique<AccountSession>(ftManager);
    startUpSteps = new QObject(this);
    setObjectName(QStringLiteral("MainWindow"));
    // The thin scroll bar's look, shared by every card page.
    QFile scrollStyle(QStringLiteral(":/qss/style/verscrollbar.qss"));
    CardView::setScrollBarStyle(scrollStyle.open(QIODevice::ReadOnly)
                                    ? QString::fromUtf8(scrollStyle.readAll())
                                    : QString());
    buildWidgets();
    connectFinder();
    for (CardView *view : {cloudView, localView, loveView})
        connect(view, &CardView::collected, this, &MainWindow::onFtCollect);
    cardMenu = new CardMenu(ftManager, *activation, this);
    for (CardView *view : {cloudView, localView, loveView})
        cardMenu->attach(view);
    connect(favourites.get(), &FavouritesController::lovedChanged, this,
            &MainWindow::onLovedChanged);
    connect(favourites.get(), &FavouritesController::loveListArrived, this,
            &MainWindow::onGotLoveList);
    connect(favourites.get(), &FavouritesController::message, this, &MainWindow::showNotice);
    connectAccount();
    ftManager.writeLog(QStringLiteral("初始化开始，ui设置完毕。"));

    // Unfilled positions of the catalogue and of the filtered list.
    ftManager.initCloudVec.resize(500);
    ftManager.filteredList.resize(1000);
    scaleWidgets();
    placeWindow();

    setWindowState(Qt::WindowActive);
    sizeSlider->setRange(0, ftHeightMax - ftHeightMin);
    sizeSlider->setValue(0);
    connect(sizeSlider, &QSlider::valueChanged, this, &MainWindow::onFtHeightChanged);

    buildTray();
    fontArea->setCurrentIndex(PageCloud);
    onTableChanged(PageCloud);
    for (CardView *view : {cloudView, localView, loveView})
        view->setRowHeight(ftHeight);
    fontArea->setFocus();

    connect(cloudView, &CardView::firstPictureDrawn, this, &MainWindow::onFirstPictureDrawn);
    connect(catalogue.get(), &CatalogueLoader::msgBalloon, this, &MainWindow::showTrayMessage);
    connect(catalogue.get(), &CatalogueLoader::msgCloudPageRefill, this,
            &MainWindow::fillCloudPage);
    connect(catalogue.get(), &CatalogueLoader::msgLocalPageRefill, this,
            &MainWindow::fillLocalPage);
    connect(catalogue.get(), &CatalogueLoader::msgCatalogueUnreachable, this,
            &MainWindow::showCatalogueUnreachable);
    connect(catalogue.get(), &CatalogueLoader::msgCatalogueReachable, this,
            [this] { m_serviceNotice->hide(); });
    catalogue->setLocalFirstCardName([this] { return localModel->nameAt(0); });

    logScreenMetrics();

    // The run-length report needs a start even when the window closes before the start-up
    // below has finished.
    startTime = QDateTime::currentDateTime();
    // The rest of the start-up goes on in the background, step by step in the same order,
    // so the window shows at once whatever the service does.
    checkVersionAtStart();
}

void MainWindow::afterVersionCheck()
{
    if (ftManager.imageCacheIsStale())
        ftManager.clearImageCache();
    if (bUpdateRequested) {
        startTime = QDateTime::currentDateTime(); // the run-length report still needs a start
        QTimer::singleShot(0, this, &MainWindow::onStartUpdate);
        return;
    }
    continueStartUp();
}

void MainWindow::continueStartUp()
{
    bStartUpDone = true;
    // Asked for first: the first cards wait for the reply.
    catalogue->requestFontTags();
    catalogue->requestAllFonts();
    restorePreviewAndHeight();
    startLocalFontScan();

    if (!account->startAutoLogin()) {
        finishStartUp(false);
        return;
    }
    auto *once = new QObject(startUpSteps);
    connect(account.get(), &AccountSession::autoLoginFinished, once, [this, once](bool signedIn) {
        delete once;
        finishStartUp(signedIn);
    });
}

void MainWindow::finishStartUp(bool signedIn)
{
    // Launch and install reports go out once the first cards are drawn or the catalogue
    // failed, a few seconds after the start at the latest: nobody waits for them, and
    // sent here and waited for they kept the window hidden for up to ten seconds each.
    reports->queueStartupReports(!signedIn, !ftManager.bGuideDone);
    connect(cloudView, &CardView::firstPictureDrawn, reports.get(),
            &ReportSender::sendStartupReports);
    connect(catalogue.get(), &CatalogueLoader::msgCatalogueUnreachable, reports.get(),
            &ReportSender::sendStartupReports);
    QTimer::singleShot(3000, reports.get(), &ReportSender::sendStartupReports);

    if (ftManager.bGuideDone) {
        cloudView->ownScrollBar()->setFocus();
    } else {
        ftManager.writeLog(QStringLiteral("guide create"));
        showGuide();
        ftManager.bGuideDone = true;
    }

    startTime = QDateTime::currentDateTime();
    ftManager.writeLog(QStringLiteral("构造函数完毕"));
}

MainWindow::~MainWindow()
{
    // The children outlive this body and still signal on their way out (the focus leaving
    // a field, the stacked pages changing): no slot of ours may run by then.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
    // Nor may start-up steps still waiting for the service, or the session: the run-end
    // report below waits in an event loop.
    delete startUpSteps;
    account->disconnect(this);
    activation->stopEnableThread();
    if (localThread) {
        localThread->requestInterruption();
        localThread->wait();
    }
    ftManager.deleteHeadImage();
    reports->reportRunEnd(startTime, QDateTime::currentDateTime());
    saveUserData();
    delete trayMenu;
}

void MainWindow::saveUserData()
{
    // Fonts saved last time that this run never got to re-activate stay saved.
    activation->keepUnrecordedDownlist();
    ftManager.saveUserData();
}

void MainWindow::logScreenMetrics()
{
    ftManager.writeLog(QStringLiteral("desk_width=%1; desk_height=%2")
                           .arg(deskRect.right() - deskRect.left() + 1)
                           .arg(deskRect.bottom() - deskRect.top() + 1));
    ftManager.writeLog(QStringLiteral("像素密度=") + QString::number(pixelRatio));
    ftManager.writeLog(QStringLiteral("缩放比=") +
                       QString::number(uiScaleY, 'g', QLocale::FloatingPointShortest));
    ftManager.writeLog(QStringLiteral("QSS设置图片?:%1").arg(QStringLiteral("NO")));
    ftManager.writeLog(QStringLiteral("url_serv=") + QStringLiteral(QUILLORA_SERVICE_URL));
}

void MainWindow::startLocalFontScan()
{
    ftManager.writeLog(QStringLiteral("启动加载本地字体线程"));
    auto *thread = new ThreadForLocalFonts();
    localThread = thread;
    connect(thread, &QThread::finished, this, &MainWindow::onLocalThreadDone);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QObject::destroyed, this, &MainWindow::onLocalThreadDestroy);
    thread->start(QThread::InheritPriority);
}

void MainWindow::onLocalThreadDone()
{
    if (auto *thread = qobject_cast<ThreadForLocalFonts *>(sender()))
        ftManager.setInstalledFonts(thread->localFonts());
    ftManager.writeLog(QStringLiteral("threadLocal finished."));
    ftManager.writeLog(QStringLiteral("已获取系统字体信息:n=") +
                       QString::number(ftManager.installedFonts().size()));
    catalogue->setLocalScanFinished(true);
    fillLocalPage();
    ftManager.writeLog(QStringLiteral("系统字体加载完毕"));
    activation->startEnableThread();
}

void MainWindow::onLocalThreadDestroy()
{
    localThread = nullptr;
    ftManager.writeLog(QStringLiteral("threadLocal destroyed."));
}

void MainWindow::checkVersionAtStart()
{
    updates->checkInBackground(startUpSteps, [this](UpdateOffer::State state) {
        if (state == UpdateOffer::Available)
            fetchUpdateLogAndAsk();
        else
            afterVersionCheck();
    });
}

void MainWindow::fetchUpdateLogAndAsk()
{
    updates->fetchUpdateLogInBackground(startUpSteps, [this](const QString &log) {
        if (!log.isEmpty())
            askForUpdate(log);
        afterVersionCheck();
    });
}

void MainWindow::askForUpdate(const QString &log)
{
    VersionCheckDlg dlg(*updates, this);
    if (!updates->latestVersion().isEmpty())
        dlg.setLatestVersion(updates->latestVersion());
    dlg.setUpdateLog(log);
    dlg.centreOver(this);
    dlg.exec();
    bUpdateRequested = dlg.updateRequested();
}

void MainWindow::onStartUpdate()
{
    const UpdateOffer::StartResult result = updates->startUpdater();
    if (result == UpdateOffer::Started) {
        close();
        return;
    }
    bUpdateRequested = false;
    showTrayMessage(QStringLiteral("Quillora"), UpdateOffer::failureText(result));
    if (!bStartUpDone)
        continueStartUp();
}

void MainWindow::onFeedback()
{
    FeedbackDlg dlg(this);
    dlg.centreOver(this);
    dlg.exec();
}

void MainWindow::onAutoStart(bool bAutoStart)
{
    ftManager.setAutoStart(bAutoStart);
    ftManager.autostart = bAutoStart;
}

void MainWindow::onFtSelected(const QString &ftName)
{
    activation->onFtSelected(ftName, sender());
}

void MainWindow::showTrayMessage(const QString &title, const QString &text)
{
    if (tray && QSystemTrayIcon::supportsMessages()) {
        tray->showMessage(title, text, QSystemTrayIcon::Information, 5000);
        return;
    }
    // No tray to speak through: say it in the window instead.
    m_msgBox->showMessage(text, 5000);
    m_msgBox->raise(); // above the guide too
}

void MainWindow::connectAccount()
{
    connect(account.get(), &AccountSession::stateChanged, this, &MainWindow::onSignedIn);
    connect(account.get(), &AccountSession::loginNeeded, this,
            [this](const QString &title, const QString &text) {
                showTrayMessage(title, text);
                showLoginDialog();
            });
    // The service is back: a user whose automatic login went unanswered is signed in now.
    connect(catalogue.get(), &CatalogueLoader::msgCatalogueReachable, account.get(),
            &AccountSession::retryAutoLogin);
}

void MainWindow::openLogin()
{
    account->requireSignIn();
}

void MainWindow::showLoginDialog()
{
    LogDlg dialog(*account, this, bWinTop);
    dialog.setAnchor(loginBt->mapToGlobal(QPoint(4, 4)));
    dialog.centreOver(frameGeometry());
    connect(&dialog, &FramelessDlg::minOrder, this, [this] { showMinimized(); });
    currentDialog = &dialog;
    dialog.exec();
    currentDialog = nullptr;
}

void MainWindow::onlogin()
{
    if (!account->isSignedIn()) {
        showLoginDialog();
        return;
    }
    const UserRecord &user = ftManager.loggedInUser();
    const UserDlg::Counts counts{int(ftManager.activatedFonts().size()), user.favourites.size(),
                                 int(user.groups.size())};
    UserDlg dialog(ftManager.loggedInUser(), ftManager.headImageFile(), counts, this, bWinTop);
    dialog.setAnchor(loginBt->mapToGlobal(QPoint(4, 4)));
    dialog.centreOver(frameGeometry());
    connect(&dialog, &FramelessDlg::minOrder, this, [this] { showMinimized(); });
    connect(&dialog, &UserDlg::setUserSign, this, &MainWindow::onModifyUsr);
    connect(&dialog, &UserDlg::versionWanted, this, [this, &dialog] {
        if (VersionDlg::ask(*updates, &dialog))
            dialog.requestUpdate();
    });
    currentDialog = &dialog;
    if (userDlgOpened)
        userDlgOpened(dialog);
    dialog.exec();
    currentDialog = nullptr;
    if (dialog.loggedOut())
        logout();
    else if (dialog.updateRequested())
        QTimer::singleShot(0, this, &MainWindow::onStartUpdate);
}

void MainWindow::logout()
{
    // The usage counts go out while the token still says whose they are.
    if (account->isSignedIn())
        reports->sendUsageReport();
    favourites->forget();
    headLoader->cancel();
    account->signOut();
    fontArea->setCurrentIndex(PageCloud);
}

void MainWindow::onSignedIn()
{
    refreshSignedIn();
}

void MainWindow::requestLoveList()
{
    favourites->requestLoveList();
}

void MainWindow::onGotLoveList()
{
    const auto loved = [this](const QString &name) { return isLoved(name); };
    cloudModel->refreshLoved(loved);
    localModel->refreshLoved(loved);
    fillFavouritesPage();
    if (fontArea->currentIndex() >= PageFavourites && fontArea->currentIndex() <= PageNoFavourites)
        oncollectBt();
}

void MainWindow::onFtCollect(const QString &ftName)
{
    if (ftName.isEmpty())
        return;
    // What the heart showed when it was clicked decides, even after a login detour.
    const bool add = !isLoved(ftName);
    if (!account->requireSignIn())
        return;
    favourites->toggle(ftName, add);
}

void MainWindow::onLovedChanged(const QString &name, bool loved)
{
    cloudModel->setLoved(name, loved);
    if (ftManager.loggedInUser().local.contains(name))
        localModel->setLoved(name, loved);
    fillFavouritesPage();
    if (fontArea->currentIndex() >= PageFavourites && fontArea->currentIndex() <= PageNoFavourites)
        oncollectBt();
}

void MainWindow::onModifyUsr()
{
    const Profile::UploadResult result = Profile::upload(ftManager);
    if (!result.succeeded())
        showNotice(result.message);
}

void MainWindow::showNotice(const QString &text)
{
    if (auto *user = qobject_cast<UserDlg *>(currentDialog.data())) {
        user->showMessage(text);
        return;
    }
    m_msgBox->showMessage(text, 3000);
    m_msgBox->raise();
}

void MainWindow::refreshSignedIn()
{
    if (ftManager.bLogin) {
        const UserRecord &user = ftManager.loggedInUser();
        loginBt->setStyleSheet(imageStyle(QStringLiteral("imgUsrOn.png")));
        loginBt->setToolTip(!user.nick_name.isEmpty() ? user.nick_name : user.user);
        headLoader->fetch(user.head);
    } else {
        loginBt->setStyleSheet(imageStyle(QStringLiteral("imgUsr.png")));
        loginBt->setToolTip(QStringLiteral("登录"));
    }
    refreshActivated();
    const auto loved = [this](const QString &name) { return isLoved(name); };
    cloudModel->refreshLoved(loved);
    localModel->refreshLoved(loved);
    fillLocalPage();
    fillFavouritesPage();
    if (fontArea->currentIndex() >= PageFavourites && fontArea->currentIndex() <= PageNoFavourites)
        oncollectBt();
    if (ftManager.bLogin)
        requestLoveList();
}

bool MainWindow::isLoved(const QString &name) const
{
    return ftManager.bLogin && ftManager.currentUser().favourites.contains(name);
}

void MainWindow::setBusy(const QString &name, bool busy)
{
    for (CardModel *model : {cloudModel, localModel, loveModel})
        model->setBusy(name, busy);
}

void MainWindow::setCardActivated(QObject *card, bool on)
{
    auto *view = qobject_cast<CardView *>(card);
    if (!view || !view->cardModel())
        return;
    CardModel *model = view->cardModel();
    // The page may have been refilled since the click: go by name then.
    if (model->nameAt(view->lastPickedRow()) == view->lastPickedName())
        model->setAvailableAt(view->lastPickedRow(), on);
    else
        model->setAvailable(view->lastPickedName(), on);
}

void MainWindow::markActivated(const QString &name, bool on)
{
    cloudModel->setAvailable(name, on);
    if (ftManager.currentUser().favourites.contains(name))
        loveModel->setAvailable(name, on);
}

void MainWindow::showProgress(const QString &name, int percent)
{
    switch (fontArea->currentIndex()) {
    case PageCloud:
        cloudModel->setProgress(name, percent);
        break;
    case PageFavourites:
        loveModel->setProgress(name, percent);
        break;
    default:
        break;
    }
}

void MainWindow::clearProgress(const QString &name)
{
    cloudModel->clearProgress(name);
    loveModel->clearProgress(name);
}

void MainWindow::fillCloudPage()
{
    const auto available = [this](const QString &name) { return ftManager.isAvailable(name); };
    const auto loved = [this](const QString &name) { return isLoved(name); };
    cloudModel->setEntries(CardModel::pictureCards(cloudNames->names(), available, loved));
}

void MainWindow::fillLocalPage()
{
    QVector<CardEntry> cards;
    // Fonts activated in this run come first, newest first, shown like cloud cards.
    if (ftManager.bLogin) {
        const QVector<FontAV> &group = ftManager.loggedInUser().local.fonts();
        const int n = qMin(group.size(), ftManager.activatedFonts().size());
        for (int i = 0; i < n; ++i) {
            CardEntry e;
            e.name = group.at(group.size() - 1 - i).fontname;
            e.available = ftManager.isAvailable(e.name);
            e.loved = isLoved(e.name);
            cards.append(e);
        }
    }
    for (const LocalFont *font : ftManager.installedFonts()) {
        CardEntry e;
        e.name = font->showName;
        e.textMode = true;
        e.family = font->familyName;
        e.style = font->styleName;
        cards.append(e);
    }
    localModel->setEntries(cards);
}

void MainWindow::fillFavouritesPage()
{
    QVector<QString> names;
    if (ftManager.bLogin)
        for (const FontAV &font : ftManager.loggedInUser().favourites.fonts())
            names.append(font.fontname);
    const auto available = [this](const QString &name) { return ftManager.isAvailable(name); };
    loveModel->setEntries(
        CardModel::pictureCards(names, available, [](const QString &) { return true; }));
}

void MainWindow::refreshActivated()
{
    const auto available = [this](const QString &name) { return ftManager.isAvailable(name); };
    cloudModel->refreshAvailable(available);
    localModel->refreshAvailable(available);
    loveModel->refreshAvailable(available);
}

OfficeConsent::Answer MainWindow::askOfficeConsent()
{
    return OfficeConsentDlg::ask(this);
}

int MainWindow::currentPageIndex() const
{
    return fontArea->currentIndex();
}

namespace {

QPushButton *flatButton(QWidget *parent, const char *objectName, const QRect &designed,
                        const QString &style, const QString &tip)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setGeometry(designed);
    button->setFlat(true);
    button->setAutoDefault(false); // Return must not press a bar button
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    if (!style.isEmpty())
        button->setStyleSheet(style);
    button->setToolTip(tip);
    return button;
}

QString imageStyle(const QString &file)
{
    return QStringLiteral("QPushButton{border-image: url(:/images/images/%1)}").arg(file);
}

QString roundedFieldStyle(const QString &base)
{
    return base + QStringLiteral("border-radius:") + QString::number(int(12 * uiScaleY)) +
           QStringLiteral("px;");
}

// The knob and the groove follow the scale, so the knob never outgrows its track; the knob
// stays round (a radius above half its size would be drawn square).
QString sliderStyle(double s)
{
    const auto px = [s](int designed) { return qMax(1, qRound(designed * s)); };
    const int groove = px(4), margin = px(6), border = px(2);
    const int knob = groove + 2 * margin;
    return QStringLiteral("QSlider::groove:horizontal{height:%1px;left:%2px;right:%2px;"
                          "background:#cccccc;border-radius:%3px;}"
                          "QSlider::handle:horizontal{width:%4px;background:#ffffff;"
                          "border:%3px solid #bbbbbb;margin:-%5px 0px -%5px 0px;"
                          "border-radius:%6px;}"
                          "QSlider::add-page:horizontal{background:#cccccc;border-radius:%3px;}"
                          "QSlider::sub-page:horizontal{background:#4ec4b8;border-radius:%3px;}")
        .arg(groove)
        .arg(px(5))
        .arg(border)
        .arg(knob - 2 * border)
        .arg(margin)
        .arg(knob / 2);
}

} // namespace

void MainWindow::buildWidgets()
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   (bWinTop ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
    setWindowIcon(QIcon(QStringLiteral(":/images/images/logo.png")));
    setWindowTitle(QStringLiteral("Quillora"));
    setWindowIconText(QStringLiteral("Quillora"));
    resize(308, 656);

    auto *outer = new QHBoxLayout(this);
    outer->setObjectName(QStringLiteral("horizontalLayout"));
    outer->setContentsMargins(4, 4, 4, 4);
    mainFrame = new QFrame(this);
    mainFrame->setObjectName(QStringLiteral("mainFrame"));
    mainFrame->setMouseTracking(true);
    mainFrame->setCursor(Qt::ArrowCursor);
    mainFrame->setStyleSheet(
        QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"));
    outer->addWidget(mainFrame);
    new FrameShadow(mainFrame, 10, Qt::gray, 4);
    auto *column = new QVBoxLayout(mainFrame);
    column->setObjectName(QStringLiteral("verticalLayout"));
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);

    buildTopBar();
    column->addWidget(widgtTop, 90);

    // The font area's six pages.
    fontArea = new QStackedWidget(mainFrame);
    fontArea->setObjectName(QStringLiteral("fontArea"));
    fontArea->setFrameShape(QFrame::NoFrame);
    QPalette white = fontArea->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    fontArea->setPalette(white);
    fontArea->setAutoFillBackground(true);
    const auto imagePath = [this](const QString &name) { return previews->picturePath(name); };
    cloudModel = new CardModel(imagePath, this);
    localModel = new CardModel(imagePath, this);
    loveModel = new CardModel(imagePath, this);
    cloudView = new CardView(fontArea);
    localView = new CardView(fontArea);
    loveView = new CardView(fontArea);
    cloudView->setObjectName(QStringLiteral("cloudPage"));
    localView->setObjectName(QStringLiteral("localPage"));
    loveView->setObjectName(QStringLiteral("lovePage"));
    const QPair<CardView *, CardModel *> grids[] = {
        {cloudView, cloudModel}, {localView, localModel}, {loveView, loveModel}};
    for (const auto &grid : grids) {
        grid.first->setCardModel(grid.second);
        connect(grid.second, &CardModel::previewNeeded, previews.get(), &PreviewLoader::request,
                Qt::QueuedConnection);
        connect(grid.first, &CardView::selectFont, this, &MainWindow::onFtSelected);
        fontArea->addWidget(grid.first);
    }
    connect(previews.get(), &PreviewLoader::pictureReady, this, [this](const QString &name) {
        for (CardModel *model : {cloudModel, localModel, loveModel})
            model->pictureChanged(name);
    });
    connect(previews.get(), &PreviewLoader::pictureFailed, this, [this](const QString &name) {
        for (CardModel *model : {cloudModel, localModel, loveModel})
            model->pictureFailed(name);
    });
    auto *notLoggedIn = new WarnLog(fontArea);
    connect(notLoggedIn, &WarnLog::loginClicked, this, &MainWindow::onlogin);
    fontArea->addWidget(notLoggedIn);
    auto *noFavourites = new WarnNolove(fontArea);
    connect(noFavourites, &WarnNolove::cloudClicked, this, &MainWindow::oncloudBt);
    fontArea->addWidget(noFavourites);
    fontArea->addWidget(new WarnSearch(fontArea));
    column->addWidget(fontArea, 516);

    // Over the cloud cards while the catalogue cannot be had.
    auto *unreachable = new WarnService(cloudView);
    connect(unreachable, &WarnService::retryClicked, catalogue.get(), &CatalogueLoader::retryNow);
    unreachable->hide();
    m_serviceNotice = unreachable;
    cloudView->installEventFilter(this);
    m_msgBox = new MyMsgBox(this);
    m_msgBox->hide();

    buildLowBar();
    column->addWidget(widgtLow, 42);

    connect(setMenuBt, &QPushButton::clicked, this, &MainWindow::onFeedback);
    connect(minBt, &QPushButton::clicked, this, &MainWindow::onMainMinimize);
    connect(closeBt, &QPushButton::clicked, this, &MainWindow::onMainClose);
    connect(cloudBt, &QPushButton::clicked, this, &MainWindow::oncloudBt);
    connect(localBt, &QPushButton::clicked, this, &MainWindow::onlocalBt);
    connect(collectBt, &QPushButton::clicked, this, &MainWindow::oncollectBt);
    connect(loginBt, &QPushButton::clicked, this, &MainWindow::onlogin);
    connect(fontArea, &QStackedWidget::currentChanged, this, &MainWindow::onTableChanged);
}

void MainWindow::buildTopBar()
{
    widgtTop = new QWidget(mainFrame);
    widgtTop->setObjectName(QStringLiteral("widgtTop"));
    widgtTop->setMouseTracking(true);
    widgtTop->setStyleSheet(
        QStringLiteral("QWidget#widgtTop{border-radius:4px;background:#f9f9f9;}"));
    widgtTop->setFixedHeight(int(uiScaleY * 90));

    // Not built yet: feedback, search and the tag filter come with their own dialogs.
    setMenuBt = flatButton(widgtTop, "setMenuBt", QRect(10, 9, 20, 20),
                           imageStyle(QStringLiteral("feedback.png")),
                           QStringLiteral("意见反馈"));
    loginBt = flatButton(widgtTop, "loginBt", QRect(35, 9, 20, 20),
                         imageStyle(QStringLiteral("imgUsr.png")), QStringLiteral("登录"));
    curNameLbl = new QLabel(QStringLiteral("云字库"), widgtTop);
    curNameLbl->setObjectName(QStringLiteral("curNameLbl"));
    curNameLbl->setGeometry(115, 6, 70, 14);
    curNameLbl->setAlignment(Qt::AlignCenter);
    curNameLbl->setStyleSheet(QStringLiteral("QLabel{color:#555555;}"));
    minBt = flatButton(widgtTop, "minBt", QRect(256, 7, 14, 14),
                       DlgLook::hoverPicture(QStringLiteral("Minimize.png"),
                                       QStringLiteral("MinimizeHover.png")),
                       QString());
    closeBt = flatButton(widgtTop, "closeBt", QRect(276, 9, 14, 14),
                         DlgLook::hoverPicture(QStringLiteral("CloseInit.png"),
                                         QStringLiteral("CloseHover.png")),
                         QString());
    cloudBt = flatButton(widgtTop, "cloudBt", QRect(80, 30, 20, 20), QString(),
                         QStringLiteral("云字库"));
    collectBt = flatButton(widgtTop, "collectBt", QRect(140, 30, 20, 20), QString(),
                           QStringLiteral("我的收藏"));
    localBt = flatButton(widgtTop, "localBt", QRect(200, 30, 20, 20), QString(),
                         QStringLiteral("本地字库"));
    searchBox = new SearchBox(widgtTop);
    searchBox->setObjectName(QStringLiteral("searchBox"));
    searchBox->setGeometry(30, 58, 240, 24);
    searchBox->setStyleSheet(
        roundedFieldStyle(QStringLiteral("border:1px solid #F0F0F0;background:#ffffff;")));
    typeBt = flatButton(widgtTop, "typeBt", QRect(278, 64, 12, 12),
                        QStringLiteral("QPushButton{border-image:url(:/images/images/screen.png);}"),
                        QStringLiteral("筛选"));
}

void MainWindow::buildLowBar()
{
    widgtLow = new QWidget(mainFrame);
    widgtLow->setObjectName(QStringLiteral("widgtLow"));
    widgtLow->setMouseTracking(true);
    widgtLow->setStyleSheet(QStringLiteral("QWidget#widgtLow{border-radius:4px;background:white;}"));
    widgtLow->setFixedHeight(int(uiScaleY * 42));

    lineLow = new QFrame(widgtLow);
    lineLow->setObjectName(QStringLiteral("lineLow"));
    lineLow->setGeometry(0, 0, 300, 1);
    lineLow->setFrameShape(QFrame::HLine);
    lineLow->setStyleSheet(QStringLiteral("border: 1px solid #D3D3D3;"));
    ftTextEdt = new MLineEdit(widgtLow);
    ftTextEdt->setObjectName(QStringLiteral("ftTextEdt"));
    ftTextEdt->setGeometry(6, 8, 166, 24);
    ftTextEdt->setStyleSheet(
        roundedFieldStyle(QStringLiteral("border:1px solid #ececec;background:#F5F5F5;")));
    aLBt = new QLabel(QStringLiteral("A"), widgtLow);
    aLBt->setObjectName(QStringLiteral("aLBt"));
    aLBt->setGeometry(196, 15, 14, 12);
    aLBt->setStyleSheet(QStringLiteral("color:#909090;"));
    sizeSlider = new QSlider(Qt::Horizontal, widgtLow);
    sizeSlider->setObjectName(QStringLiteral("sizeSlider"));
    sizeSlider->setGeometry(205, 10, 70, 20);
    sizeSlider->setStyleSheet(sliderStyle(uiScaleY));
    sizeSlider->setCursor(Qt::PointingHandCursor);
    aHBt = new QLabel(QStringLiteral("A"), widgtLow);
    aHBt->setObjectName(QStringLiteral("aHBt"));
    aHBt->setGeometry(276, 10, 14, 18);
    aHBt->setStyleSheet(QStringLiteral("color:#909090;"));
}

void MainWindow::scaleWidgets()
{
    const double sx = uiScaleX;
    const double sy = uiScaleY;
    const QSize size = WindowGeometry::scaledWindowSize(sx, sy);
    setMinimumSize(size);
    for (QWidget *bar : {widgtTop, widgtLow}) {
        const auto children = bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget *child : children) {
            QRect r = WindowGeometry::scaledChildRect(child->geometry(), sx, sy);
            if (child == lineLow)
                r.setHeight(child->height());
            child->setGeometry(r);
            if (qobject_cast<QLabel *>(child) && r.height() > 0) {
                QFont font = child->font();
                const double points = font.pointSizeF() * r.height() /
                                    (QFontMetricsF(font).height() + 0.1);
                if (points >= 1)
                    font.setPointSize(int(points));
                // Small screens: still readable.
                if (QFontInfo(font).pixelSize() < 9)
                    font.setPixelSize(9);
                child->setFont(font);
            }
        }
    }
    for (QPushButton *page : {cloudBt, collectBt, localBt})
        page->setIconSize(page->size());
    // Text fields and the "A" labels take pixel sizes of their own.
    for (QLineEdit *field : std::initializer_list<QLineEdit *>{searchBox, ftTextEdt}) {
        QFont font = field->font();
        font.setPixelSize(qMax(1, int(12 * sy)));
        field->setFont(font);
    }
    const QPair<QLabel *, int> letters[] = {{aLBt, 10}, {aHBt, 16}};
    for (const auto &letter : letters) {
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(qMax(1, int(letter.second * sy)));
        letter.first->setFont(arial);
    }
    // The font area gets what the bars leave of the window.
    fontArea->setMinimumSize(int(sx * 292),
                             qMin(int(sy * 514), size.height() - 8 - widgtTop->height() -
                                                     widgtLow->height()));
    ftHeightMin = int(sy * 95);
    ftHeightMax = int(sy * 162);
    ftHeight = ftHeightMin;
    resize(size);
}

void MainWindow::placeWindow()
{
    // The screen less its panels, when the screen is the one measured at start.
    QRect available = deskRect;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        if (screen->geometry() == deskRect)
            available = screen->availableGeometry();
    const QRect placed = WindowGeometry::placeWindow(deskRect, available, size(), uiScaleY);
    if (placed.size() != size()) {
        // A screen smaller than the window: the window shrinks into it.
        setMinimumSize(minimumSize().boundedTo(placed.size()));
        fontArea->setMinimumHeight(0);
        resize(placed.size());
    }
    move(placed.topLeft());
    // Lay the frame out now: notices shown before the window appears centre on it.
    layout()->activate();
    bWindowPlaced = true;
}

void MainWindow::buildTray()
{
    // The menu exists either way: without a tray it is simply never shown.
    trayMenu = new QMenu(QApplication::desktop());
    trayMenu->addAction(QStringLiteral("还原"), this, &QWidget::showNormal);
    trayMenu->addAction(QStringLiteral("退出"), qApp, &QApplication::quit);
    QAction *autoStart = trayMenu->addAction(QStringLiteral("开机启动"));
    autoStart->setCheckable(true);
    autoStart->setChecked(ftManager.autostart);
    connect(autoStart, &QAction::toggled, this, &MainWindow::onAutoStart);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray = new QSystemTrayIcon(this);
    tray->setIcon(QIcon(QStringLiteral(":/images/images/logo.png")));
    tray->setToolTip(QStringLiteral("Quillora"));
    tray->setContextMenu(trayMenu);
    connect(tray, &QSystemTrayIcon::activated, this, &MainWindow::iconActivated);
    tray->show();
}

void MainWindow::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger)
        return;
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::oncloudBt()
{
    catalogue->askAgainIfSparse();
    showCloudFace();
}

void MainWindow::onlocalBt()
{
    fontArea->setCurrentIndex(PageLocal);
}

void MainWindow::oncollectBt()
{
    if (!ftManager.bLogin)
        fontArea->setCurrentIndex(PageNotLoggedIn);
    else if (!ftManager.loggedInUser().favourites.isEmpty())
        fontArea->setCurrentIndex(PageFavourites);
    else
        fontArea->setCurrentIndex(PageNoFavourites);
}

void MainWindow::onTableChanged(int indx)
{
    const bool local = indx == PageLocal;
    const bool favourites = indx >= PageFavourites && indx <= PageNoFavourites;
    const bool cloud = !local && !favourites;
    const auto icon = [](const char *file) {
        return QIcon(QStringLiteral(":/images/images/") + QLatin1String(file));
    };
    cloudBt->setIcon(icon(cloud ? "cloudon.png" : "cloud.png"));
    localBt->setIcon(icon(local ? "Localon.png" : "Local.png"));
    collectBt->setIcon(icon(favourites ? "collecton.png" : "collect.png"));
    if (indx > PageNoSearchResult)
        return;
    curNameLbl->setText(cloud   ? QStringLiteral("云字库")
                        : local ? QStringLiteral("本地字库")
                                : QStringLiteral("我的收藏"));
    if (CardView *view = qobject_cast<CardView *>(fontArea->widget(indx)))
        view->setRowHeight(ftHeight);
}

void MainWindow::onFtHeightChanged(int value)
{
    ftHeight = ftHeightMin + value;
    ftManager.cardHeight = qRound(ftHeight / uiScaleY);
    if (CardView *view = qobject_cast<CardView *>(fontArea->currentWidget()))
        view->setRowHeight(ftHeight);
    visibleRows = fontArea->height() / ftHeight + 1;
}

void MainWindow::fadeThen(double from, double to, const std::function<void()> &then)
{
    fadeWindow(this, from, to, 1000, then);
}

void MainWindow::onMainMinimize()
{
    fadeThen(1.0, 0.0, [this] { showMinimized(); });
}

void MainWindow::onMainClose()
{
    fadeThen(1.0, 0.0, [this] { close(); });
}

void MainWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || windowState() != Qt::WindowNoState)
        return;
    // Back from the task bar: the login dialog comes back with the window, which fades in.
    if (currentDialog)
        currentDialog->showNormal();
    fadeThen(0.0, 1.0, {});
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape closes at once, without the fade of the close button.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->x() > 0 && event->x() < width() && event->y() >= 1 && event->y() <= 99)
        bTopStripPressed = true;
    if (bTopStripPressed)
        cloudBt->setFocus();
    if (bGuideShowing) {
        m_drag.press(this, event->globalPos());
        return;
    }
    // Presses among the cards belong to the cards.
    const QRect area(fontArea->mapTo(this, QPoint(0, 0)), fontArea->size());
    if (area.adjusted(1, 1, -1, -1).contains(event->pos())) {
        bLeftPressed = false;
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    bLeftPressed = true;
    dragRegion = WindowGeometry::edgeRegion(frameGeometry(), event->globalPos());
    if (dragRegion == WindowGeometry::EdgeInside)
        m_drag.press(this, event->globalPos());
    else
        grabMouse();
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (bGuideShowing && m_drag.follow(this, event->globalPos(), event->buttons()))
        return;
    if (!bLeftPressed || !(event->buttons() & Qt::LeftButton)) {
        // No button down: show which edge a press would resize.
        dragRegion = WindowGeometry::edgeRegion(frameGeometry(), event->globalPos());
        setCursor(WindowGeometry::edgeCursor(dragRegion));
        QDialog::mouseMoveEvent(event);
        return;
    }
    if (dragRegion == WindowGeometry::EdgeInside)
        m_drag.follow(this, event->globalPos(), event->buttons());
    else
        setGeometry(WindowGeometry::edgeResize(frameGeometry(), dragRegion, event->globalPos(),
                                               minimumSize()));
    event->accept();
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release();
    bLeftPressed = false;
    if (dragRegion != WindowGeometry::EdgeInside) {
        releaseMouse();
        setCursor(Qt::ArrowCursor);
    }
    QDialog::mouseReleaseEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!bWindowPlaced || !event->size().isValid() || !event->oldSize().isValid())
        return;
    // The right-hand buttons follow the right edge; the middle group stays centred.
    const int dx = event->size().width() - event->oldSize().width();
    for (QWidget *w : std::initializer_list<QWidget *>{closeBt, minBt, typeBt, aHBt, aLBt,
                                                       sizeSlider})
        w->move(w->x() + dx, w->y());
    const int centred = (event->size().width() - curNameLbl->width()) / 2 - 4;
    const int shift = centred - curNameLbl->x();
    curNameLbl->move(centred, curNameLbl->y());
    for (QWidget *w : std::initializer_list<QWidget *>{searchBox, cloudBt, localBt, collectBt})
        w->move(w->x() + shift, w->y());
    lineLow->resize(event->size().width(), lineLow->height());
    if (guide)
        guide->setGeometry(rect().adjusted(4, 4, -4, -4));
    visibleRows = fontArea->height() / qMax(1, ftHeight) + 1;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
}

// Finding fonts: search, tag filter and preview text.

void MainWindow::connectFinder()
{
    filterDlg = new FilterDlg(this);
    filterDlg->hide();
    showMenu = new QMenu(this);
    showMenu->setStyleSheet(
        QStringLiteral("QMenu::item{padding: 5px 20px 5px 20px;width:85px;font:12px;}"));
    for (int kind : {PreviewName, PreviewEnglish, PreviewDigits})
        showMenu->addAction(PreviewSetting::menuLabel(kind), this, &MainWindow::onShowTextChanged)
            ->setData(kind);
    showMenu->hide();

    connect(typeBt, &QPushButton::clicked, this, &MainWindow::onShowTypeWidget);
    connect(filterDlg, &FilterDlg::selectChanged, this, &MainWindow::onCurrTagsChanged);
    connect(catalogue.get(), &CatalogueLoader::msgTagTreeChanged, this,
            [this] { filterDlg->buildTree(ftManager.tagGroups); });
    connect(searchBox, &SearchBox::askSearch, this, &MainWindow::onSearchTextEdited);
    connect(searchBox, &SearchBox::loseFocus, this, &MainWindow::onSearchLoseFocus);
    connect(searchBox, &SearchBox::msgCloseSearch, this, &MainWindow::onClearSearch);
    connect(ftTextEdt, &MLineEdit::dropMenu, this, &MainWindow::onDropBt);
    connect(ftTextEdt, &MLineEdit::editDone, this, &MainWindow::onFtShowEdited);
}

void MainWindow::showCloudFace()
{
    // A filter or search that found nothing shows the notice instead of a blank page.
    fontArea->setCurrentIndex(cloudNames->isEmptyResult() ? PageNoSearchResult : PageCloud);
}

void MainWindow::showList(CloudList::Which which)
{
    if (which != CloudList::Filtered)
        filterDlg->tree()->resetTags(false);
    cloudNames->show(which);
    cloudView->scrollToTop();
    fillCloudPage();
    showCloudFace();
}

void MainWindow::onShowTypeWidget()
{
    catalogue->requestFontTagsIfMissing();
    filterDlg->popUp(QRect(fontArea->mapToGlobal(QPoint(0, 0)), fontArea->size()));
}

void MainWindow::onCurrTagsChanged(QMap<QString, QPoint> *tags)
{
    cloudView->scrollToTop();
    if (!tags)
        return;
    if (!tags->isEmpty())
        searchBox->clear();
    cloudNames->applyTags(tags->values());
    fillCloudPage();
    showCloudFace();
}

void MainWindow::onSearchTextEdited()
{
    cloudView->scrollToTop();
    const QString text = searchBox->text();
    if (text.isEmpty()) {
        showList(CloudList::Full);
        return;
    }
    // The list changes here; the panel only loses its ticks.
    filterDlg->tree()->resetTags(false);
    cloudNames->search(text);
    fillCloudPage();
    showCloudFace();
}

void MainWindow::onClearSearch()
{
    if (!searchBox->text().isEmpty())
        searchBox->clear();
    if (cloudNames->current() == CloudList::Search ||
        fontArea->currentIndex() == PageNoSearchResult)
        showList(CloudList::Full);
}

void MainWindow::onSearchLoseFocus()
{
    const int page = fontArea->currentIndex();
    if (searchBox->text().isEmpty() && cloudNames->current() == CloudList::Search &&
        (page == PageCloud || page == PageNoSearchResult))
        showList(CloudList::Full);
}

void MainWindow::onFtShowEdited()
{
    preview = PreviewSetting::fromTyped(ftTextEdt->text());
    refreshPreviews();
}

void MainWindow::onDropBt()
{
    const QList<QAction *> entries = showMenu->actions();
    const int entryHeight =
        entries.isEmpty() ? 0 : showMenu->actionGeometry(entries.first()).height();
    showMenu->setFixedSize(ftTextEdt->width(), 3 * (entryHeight - 1) + 10);
    const QPoint at = ftTextEdt->mapToGlobal(QPoint(0, 0));
    showMenu->popup(QPoint(at.x(), at.y() - showMenu->height()));
}

void MainWindow::onShowTextChanged()
{
    auto *entry = qobject_cast<QAction *>(sender());
    if (!entry)
        return;
    showMenu->hide();
    const int kind = entry->data().toInt();
    preview = PreviewSetting::fromMenu(kind);
    ftTextEdt->showLabel(PreviewSetting::menuLabel(kind));
    refreshPreviews();
}

void MainWindow::restorePreviewAndHeight()
{
    // Heights are kept at scale 1, so a remembered one fits another screen too.
    sizeSlider->setValue(
        ftManager.cardHeight > 0 ? qRound(ftManager.cardHeight * uiScaleY) - ftHeightMin : 6);
    const int kind = ftManager.previewKind;
    if (kind == PreviewText && !ftManager.previewText.trimmed().isEmpty()) {
        ftTextEdt->setText(ftManager.previewText);
        onFtShowEdited();
    } else if (kind > PreviewName && kind < PreviewText) {
        preview = PreviewSetting::fromMenu(kind);
        ftTextEdt->showLabel(PreviewSetting::menuLabel(kind));
        refreshPreviews();
    }
}

void MainWindow::refreshPreviews()
{
    ftManager.previewKind = preview.kind;
    ftManager.previewText = preview.text;
    ftManager.requestContext.previewText = preview.text;
    previews->setPreview(preview.kind, preview.text);
    CardModel *const models[] = {cloudModel, localModel, loveModel};
    CardView *const views[] = {cloudView, localView, loveView};
    for (int page : previewPages.takeStale(preview, fontArea->currentIndex())) {
        views[page]->setPreviewText(preview.text);
        models[page]->refreshPictures();
        if (page == PageCloud)
            cloudView->scrollToTop();
    }
}

void MainWindow::showCatalogueUnreachable()
{
    if (cloudModel->rowCount() > 0)
        return;
    m_serviceNotice->setGeometry(cloudView->rect());
    m_serviceNotice->show();
    m_serviceNotice->raise();
}

QWidget *MainWindow::messageBox() const
{
    return m_msgBox;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The notice covers the cloud page whatever its size.
    if (watched == cloudView && event->type() == QEvent::Resize)
        m_serviceNotice->setGeometry(cloudView->rect());
    return QDialog::eventFilter(watched, event);
}

void MainWindow::showGuide()
{
    guide = new GuideForm(this);
    guide->setObjectName(QStringLiteral("guideForm"));
    guide->setGeometry(rect().adjusted(4, 4, -4, -4));
    guide->setStyleSheet(
        QStringLiteral("#guideForm{background: rgba(0,0,0,0.50);border-radius: 4px;}"));
    guide->setFocus();
    connect(guide, &GuideForm::closeForm, this, &MainWindow::onGuideDone);
    bGuideShowing = true;
    guide->show();
}

void MainWindow::onGuideDone()
{
    bGuideShowing = false;
    bLeftPressed = false;
    m_drag.release();
    cloudView->ownScrollBar()->setFocus();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!bShownLogged) {
        bShownLogged = true;
        ftManager.writeLog(QStringLiteral("window shown"));
    }
}

void MainWindow::onFirstPictureDrawn()
{
    ftManager.writeLog(QStringLiteral("first cards drawn"));
#ifdef QUILLORA_BENCH_HOOKS
    // Benchmarks measure memory after jumping to the end of the catalogue.
    if (!qEnvironmentVariableIsSet("QUILLORA_BENCH_SCROLL"))
        return;
    QTimer::singleShot(1000, this, [this] {
        QScrollBar *bar = cloudView->ownScrollBar();
        bar->setValue(bar->maximum());
        QTimer::singleShot(3000, this, [this] {
            ftManager.writeLog(QStringLiteral("bench: scrolled to end, pictures pending=") +
                               QString::number(previews->pendingCount()));
        });
    });
#endif
}
