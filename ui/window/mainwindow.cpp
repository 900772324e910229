#include "window/mainwindow.h"

#include "activation/activationcontroller.h"
#include "cards/cardmenu.h"
#include "cards/cardmodel.h"
#include "cards/cardpages.h"
#include "cards/cardview.h"
#include "service/catalogueloader.h"
#include "service/favourites.h"
#include "finding/filterdlg.h"
#include "widgets/framelessdlg.h"
#include "update/feedbackdlg.h"
#include "widgets/windowfade.h"
#include "window/guideform.h"
#include "window/officeconsentdlg.h"
#include "account/accountsession.h"
#include "account/logdlg.h"
#include "finding/mlineedit.h"
#include "finding/mtreewidget.h"
#include "widgets/mymsgbox.h"
#include "cards/previewloader.h"
#include "service/profile.h"
#include "resources/quilloraresources.h"
#include "service/replyparser.h"
#include "service/reportsender.h"
#include "service/requestbuilder.h"
#include "core/screenmetrics.h"
#include "finding/searchbox.h"
#include "service/transport.h"
#include "account/userdlg.h"
#include "update/updateoffer.h"
#include "update/versioncheckdlg.h"
#include "update/versiondlg.h"
#include "widgets/warnservice.h"
#include "window/windowgeometry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopWidget>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>

MainWindow::MainWindow(AppServices &services, QWidget *parent)
    : QDialog(parent), m_services(services), ftManager(services.fontManager())
{
    initQuilloraResources();
    m_services.start(*this);
    cards = &m_services.cards();
    catalogue = &m_services.catalogue();
    reports = &m_services.reports();
    activation = &m_services.activation();
    previews = &m_services.previews();
    favourites = &m_services.favourites();
    headLoader = &m_services.headLoader();
    updates = &m_services.updates();
    account = &m_services.account();
    startUpSteps = new QObject(this);
    setObjectName(QStringLiteral("MainWindow"));
    // The thin scroll bar's look, shared by every card page.
    QFile scrollStyle(QStringLiteral(":/qss/style/verscrollbar.qss"));
    CardView::setScrollBarStyle(scrollStyle.open(QIODevice::ReadOnly)
                                    ? QString::fromUtf8(scrollStyle.readAll())
                                    : QString());
    buildWidgets();
    connectFinder();
    connectPages();
    cardMenu = new CardMenu(ftManager, *activation, this);
    for (CardView *view : {cloudView, localView, loveView})
        cardMenu->attach(view);
    connect(favourites, &FavouritesController::lovedChanged, this, &MainWindow::onLovedChanged);
    connect(favourites, &FavouritesController::loveListArrived, this,
            &MainWindow::onGotLoveList);
    connect(favourites, &FavouritesController::message, this, &MainWindow::showNotice);
    connectAccount();
    ftManager.writeLog(QStringLiteral("初始化开始，ui设置完毕。"));

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
    connect(catalogue, &CatalogueLoader::msgBalloon, this, &MainWindow::showTrayMessage);
    connect(catalogue, &CatalogueLoader::msgCatalogueUnreachable, this,
            &MainWindow::showCatalogueUnreachable);
    connect(catalogue, &CatalogueLoader::msgCatalogueReachable, this,
            [this] { m_serviceNotice->hide(); });

    m_services.logScreenMetrics();

    // The run-length report needs a start even when the window closes before the start-up
    // below has finished.
    startTime = QDateTime::currentDateTime();
    // The rest of the start-up goes on in the background, step by step in the same order,
    // so the window shows at once whatever the service does.
    checkVersionAtStart();
}

void MainWindow::afterVersionCheck()
{
    m_services.cleanStaleImageCache();
    if (updates->isRequested()) {
        startTime = QDateTime::currentDateTime(); // the run-length report still needs a start
        QTimer::singleShot(0, this, &MainWindow::onStartUpdate);
        return;
    }
    continueStartUp();
}

void MainWindow::continueStartUp()
{
    bStartUpDone = true;
    m_services.requestCatalogue();
    restorePreviewAndHeight();
    m_services.startLocalFontScan();

    if (!account->startAutoLogin()) {
        finishStartUp(false);
        return;
    }
    auto *once = new QObject(startUpSteps);
    connect(account, &AccountSession::autoLoginFinished, once, [this, once](bool signedIn) {
        delete once;
        finishStartUp(signedIn);
    });
}

void MainWindow::finishStartUp(bool signedIn)
{
    // Launch and install reports go out once the first cards are drawn or the catalogue
    // failed, a few seconds after the start at the latest: nobody waits for them, and
    // sent here and waited for they kept the window hidden for up to ten seconds each.
    m_services.queueStartupReports(!signedIn, !ftManager.bGuideDone);
    connect(cloudView, &CardView::firstPictureDrawn, reports, &ReportSender::sendStartupReports);

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
    // report waits in an event loop.
    delete startUpSteps;
    account->disconnect(this);
    m_services.shutDown(startTime);
    delete trayMenu;
}

void MainWindow::onLocalThreadDone()
{
    m_services.onLocalThreadDone();
}

void MainWindow::onLocalThreadDestroy()
{
    m_services.onLocalThreadDestroy();
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
    updates->setRequested(dlg.updateRequested());
}

void MainWindow::onStartUpdate()
{
    const UpdateOffer::StartResult result = updates->startUpdater();
    if (result == UpdateOffer::Started) {
        close();
        return;
    }
    updates->setRequested(false);
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
    auto *view = qobject_cast<CardView *>(sender());
    CardModel *page = view ? cards->notePick(view->cardModel(), view->lastPickedRow(),
                                             view->lastPickedName())
                           : nullptr;
    activation->onFtSelected(ftName, page);
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

OfficeConsent::Answer MainWindow::askOfficeConsent()
{
    return OfficeConsentDlg::ask(this);
}

void MainWindow::connectAccount()
{
    connect(account, &AccountSession::stateChanged, this, &MainWindow::onSignedIn);
    connect(account, &AccountSession::loginNeeded, this,
            [this](const QString &title, const QString &text) {
                showTrayMessage(title, text);
                showLoginDialog();
            });
    // The service is back: a user whose automatic login went unanswered is signed in now.
    connect(catalogue, &CatalogueLoader::msgCatalogueReachable, account,
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
    cards->refreshLoved();
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
    cards->setLoved(name, loved);
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
    cards->refreshSignedIn();
    if (ftManager.bLogin)
        requestLoveList();
}

void MainWindow::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger)
        return;
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::connectPages()
{
    connect(cards, &CardPages::pageChosen, fontArea, &QStackedWidget::setCurrentIndex);
    connect(cards, &CardPages::listChanged, cloudView, &CardView::scrollToTop);
    connect(cards, &CardPages::picturesUnavailable, this, &MainWindow::showServiceNotice);
    connect(cards, &CardPages::picturesArrived, this, [this] {
        if (!catalogue->isUnreachable())
            m_serviceNotice->hide();
    });
    for (CardView *view : {cloudView, localView, loveView}) {
        connect(view, &CardView::collected, this, &MainWindow::onFtCollect);
        connect(view, &CardView::selectFont, this, &MainWindow::onFtSelected);
    }
}

void MainWindow::oncloudBt()
{
    catalogue->askAgainIfSparse();
    searchBox->clear();
    cards->showCloud();
}

void MainWindow::onlocalBt()
{
    searchBox->clear();
    cards->showLocal();
}

void MainWindow::oncollectBt()
{
    searchBox->clear();
    cards->showFavourites();
}

void MainWindow::onTableChanged(int indx)
{
    // Pages set directly (logout, tests) still count as chosen.
    cards->show(indx);

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

void MainWindow::showList(CloudList::Which which)
{
    if (which != CloudList::Filtered)
        filterDlg->tree()->resetTags(false);
    cards->showList(which);
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
    cards->applyTags(tags->values());
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
    cards->search(text);
}

void MainWindow::onClearSearch()
{
    if (!searchBox->text().isEmpty())
        searchBox->clear();
    if (cards->cloudList().current() == CloudList::Search ||
        cards->current() == PageNoSearchResult)
        showList(CloudList::Full);
}

void MainWindow::onSearchLoseFocus()
{
    const int page = cards->current();
    if (searchBox->text().isEmpty() && cards->cloudList().current() == CloudList::Search &&
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
    CardView *const views[] = {cloudView, localView, loveView};
    for (int page : previewPages.takeStale(preview, fontArea->currentIndex())) {
        views[page]->setPreviewText(preview.text);
        cards->model(page)->refreshPictures();
        if (page == PageCloud)
            cloudView->scrollToTop();
    }
}

void MainWindow::showCatalogueUnreachable()
{
    if (cards->cloudCards()->rowCount() == 0)
        showServiceNotice();
}

void MainWindow::showServiceNotice()
{
    m_serviceNotice->setGeometry(cloudView->rect());
    m_serviceNotice->show();
    m_serviceNotice->raise();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The notice covers the cloud page whatever its size.
    if (watched == cloudView && event->type() == QEvent::Resize)
        m_serviceNotice->setGeometry(cloudView->rect());
    return QDialog::eventFilter(watched, event);
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
