#include "mainwindow.h"

#include "activationcontroller.h"
#include "buildconfig.h"
#include "cardmodel.h"
#include "cardview.h"
#include "catalogueloader.h"
#include "filterdlg.h"
#include "localfontscan.h"
#include "logdlg.h"
#include "mlineedit.h"
#include "mtreewidget.h"
#include "previewloader.h"
#include "replyparser.h"
#include "reportsender.h"
#include "requestbuilder.h"
#include "screenmetrics.h"
#include "searchbox.h"
#include "transport.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent) : QDialog(parent)
{
    ftManager.initialize();
    catalogue = std::make_unique<CatalogueLoader>(ftManager, network);
    reports = std::make_unique<ReportSender>(ftManager, network);
    problemReporter = std::make_unique<ServiceProblemReporter>(*reports);
    activation = std::make_unique<ActivationController>(ftManager, this, problemReporter.get(),
                                                        &downloadNetwork);
    previews = std::make_unique<PreviewLoader>(ftManager, network);
    cloudNames = std::make_unique<CloudList>(ftManager);
    setObjectName(QStringLiteral("MainWindow"));
    buildWidgets();
    connectFinder();
    resize(308, 656);
    // A narrow panel at the right edge of the screen, above other windows.
    if (deskRect.width() > width() && deskRect.height() > height())
        move(deskRect.left() + int(deskRect.width() - width() - 20 * uiScaleY),
             deskRect.top() + (deskRect.height() - height()) / 2);
    ftManager.writeLog(QStringLiteral("初始化开始，ui设置完毕。"));

    setWindowTitle(QStringLiteral("Quillora"));
    setWindowIconText(QStringLiteral("Quillora"));

    auto *trayMenu = new QMenu(this);
    trayMenu->addAction(QStringLiteral("还原"), this, &QWidget::showNormal);
    trayMenu->addAction(QStringLiteral("退出"), qApp, &QApplication::quit);
    QAction *autoStart = trayMenu->addAction(QStringLiteral("开机启动"));
    autoStart->setCheckable(true);
    autoStart->setChecked(ftManager.autostart);
    connect(autoStart, &QAction::toggled, this, &MainWindow::onAutoStart);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray = new QSystemTrayIcon(this);
        tray->setToolTip(QStringLiteral("Quillora"));
        tray->setContextMenu(trayMenu);
        tray->show();
    }
    connect(catalogue.get(), &CatalogueLoader::msgBalloon, this, &MainWindow::showTrayMessage);
    connect(catalogue.get(), &CatalogueLoader::msgCloudTotalChanged, this,
            [this] { fillCloudPage(); });
    connect(catalogue.get(), &CatalogueLoader::msgCloudPageRefill, this,
            &MainWindow::fillCloudPage);
    connect(catalogue.get(), &CatalogueLoader::msgLocalPageRefill, this,
            &MainWindow::fillLocalPage);
    catalogue->setLocalFirstCardName([this] { return localModel->nameAt(0); });

    logScreenMetrics();

    if (ftManager.imageCacheIsStale())
        ftManager.clearImageCache();

    startLocalFontScan();
    catalogue->requestFontTags();
    catalogue->requestAllFonts();

    ftManager.bLogin = false;
    if (tryAutoLogin())
        refreshSignedIn();
    else
        reports->sendLaunchReport();

    if (!ftManager.bGuideDone) {
        ftManager.writeLog(QStringLiteral("guide create"));
        ftManager.bGuideDone = true;
        reports->sendInstallReport();
    }

    startTime = QDateTime::currentDateTime();
    ftManager.writeLog(QStringLiteral("构造函数完毕"));
}

MainWindow::~MainWindow()
{
    activation->stopEnableThread();
    if (localThread) {
        localThread->requestInterruption();
        localThread->wait();
    }
    ftManager.deleteHeadImage();
    reports->reportRunEnd(startTime, QDateTime::currentDateTime());
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

bool MainWindow::tryAutoLogin()
{
    const UserRecord &user = ftManager.loggedInUser();
    if (!ftManager.bAutoLogin || user.user.isEmpty() || user.pass.isEmpty())
        return false;
    QByteArray bytes;
    if (postAndWait(RequestBuilder::login(user.user, user.pass), bytes, 10000, ftManager) !=
        PostSuccess)
        return false;
    dispatchReply(bytes, ftManager);
    ftManager.bLogin = true;
    return true;
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
    if (tray)
        tray->showMessage(title, text, QSystemTrayIcon::Information, 5000);
}

void MainWindow::openLogin()
{
    LogDlg dialog(ftManager, this);
    dialog.move(x() + (width() - dialog.width()) / 2, y() + (height() - dialog.height()) / 2);
    dialog.exec();
    refreshSignedIn();
}

void MainWindow::onlogin()
{
    if (!ftManager.bLogin) {
        openLogin();
        return;
    }
    // The user centre is not built yet: a signed-in user may switch accounts or log out.
    QMenu menu(this);
    menu.addAction(QStringLiteral("切换账号"), this, &MainWindow::openLogin);
    menu.addAction(QStringLiteral("退出登录"), this, &MainWindow::logout);
    menu.exec(loginBt->mapToGlobal(QPoint(0, loginBt->height())));
}

void MainWindow::logout()
{
    // The usage counts go out while the token still says whose they are.
    if (ftManager.bLogin)
        reports->sendUsageReport();
    ftManager.bLogin = false;
    ftManager.bAutoLogin = false;
    ftManager.requestContext.token.clear();
    ftManager.switchToGuest();
    ftManager.resetLoggedInUser();
    refreshSignedIn();
    fontArea->setCurrentIndex(PageCloud);
}

void MainWindow::onSignedIn()
{
    refreshSignedIn();
}

void MainWindow::requestLoveList()
{
    QNetworkReply *reply =
        postForm(network, RequestBuilder::loveList(ftManager.requestContext.previewText, QString(),
                                                   ftManager.requestContext.token));
    connect(reply, &QNetworkReply::finished, this, &MainWindow::onGotLoveList);
}

void MainWindow::onGotLoveList()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    const QByteArray bytes = reply->readAll();
    reply->abort();
    reply->deleteLater();
    // A reply that arrives after a logout must not bring the favourites back.
    if (!ftManager.bLogin || !dispatchReply(bytes, ftManager).succeeded())
        return;
    const auto loved = [this](const QString &name) { return isLoved(name); };
    cloudModel->refreshLoved(loved);
    localModel->refreshLoved(loved);
    fillFavouritesPage();
    if (fontArea->currentIndex() >= PageFavourites && fontArea->currentIndex() <= PageNoFavourites)
        oncollectBt();
}

void MainWindow::refreshSignedIn()
{
    if (ftManager.bLogin) {
        const UserRecord &user = ftManager.loggedInUser();
        const QString shown = !user.nick_name.isEmpty() ? user.nick_name : user.user;
        loginBt->setText(shown.isEmpty() ? QStringLiteral("已登录") : shown);
        loginBt->setToolTip(shown);
    } else {
        loginBt->setText(QStringLiteral("登录"));
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

int MainWindow::currentPageIndex() const
{
    return fontArea->currentIndex();
}

void MainWindow::buildWidgets()
{
    setMinimumSize(308, 500);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto *mainFrame = new QFrame(this);
    mainFrame->setObjectName(QStringLiteral("mainFrame"));
    mainFrame->setStyleSheet(
        QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"));
    outer->addWidget(mainFrame);
    auto *shadow = new QGraphicsDropShadowEffect(mainFrame);
    shadow->setBlurRadius(10);
    shadow->setColor(Qt::gray);
    shadow->setOffset(0, 0);
    mainFrame->setGraphicsEffect(shadow);
    auto *column = new QVBoxLayout(mainFrame);
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);

    const auto flatButton = [](const QString &text, const QString &tip, QWidget *parent) {
        auto *button = new QPushButton(text, parent);
        button->setFlat(true);
        button->setAutoDefault(false); // Return must not press a page button
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(tip);
        return button;
    };

    // Top bar: login, page name, minimise and close; below it the page buttons.
    auto *top = new QWidget(mainFrame);
    top->setObjectName(QStringLiteral("widgtTop"));
    top->setStyleSheet(QStringLiteral("QWidget#widgtTop{border-radius:4px;background:#f9f9f9;}"));
    top->setFixedHeight(90);
    auto *topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(8, 6, 8, 6);
    auto *titleRow = new QHBoxLayout;
    loginBt = flatButton(QStringLiteral("登录"), QStringLiteral("登录"), top);
    loginBt->setObjectName(QStringLiteral("loginBt"));
    curNameLbl = new QLabel(QStringLiteral("云字库"), top);
    curNameLbl->setObjectName(QStringLiteral("curNameLbl"));
    curNameLbl->setAlignment(Qt::AlignCenter);
    curNameLbl->setStyleSheet(QStringLiteral("QLabel{color:#555555;}"));
    auto *minBt = flatButton(QStringLiteral("–"), QStringLiteral("最小化"), top);
    minBt->setObjectName(QStringLiteral("minBt"));
    auto *closeBt = flatButton(QStringLiteral("×"), QStringLiteral("关闭"), top);
    closeBt->setObjectName(QStringLiteral("closeBt"));
    for (QPushButton *b : {minBt, closeBt})
        b->setFixedSize(24, 24);
    titleRow->addWidget(loginBt);
    titleRow->addWidget(curNameLbl, 1);
    titleRow->addWidget(minBt);
    titleRow->addWidget(closeBt);
    topColumn->addLayout(titleRow);

    auto *pageRow = new QHBoxLayout;
    cloudBt = flatButton(QStringLiteral("云字库"), QStringLiteral("云字库"), top);
    cloudBt->setObjectName(QStringLiteral("cloudBt"));
    localBt = flatButton(QStringLiteral("本地字库"), QStringLiteral("本地字库"), top);
    localBt->setObjectName(QStringLiteral("localBt"));
    collectBt = flatButton(QStringLiteral("我的收藏"), QStringLiteral("我的收藏"), top);
    collectBt->setObjectName(QStringLiteral("collectBt"));
    pageRow->addStretch(1);
    for (QPushButton *b : {cloudBt, localBt, collectBt})
        pageRow->addWidget(b);
    pageRow->addStretch(1);
    topColumn->addLayout(pageRow);
    auto *findRow = new QHBoxLayout;
    searchBox = new SearchBox(top);
    searchBox->setFixedHeight(24);
    searchBox->setStyleSheet(QStringLiteral("border:1px solid #F0F0F0;background:#ffffff;"
                                            "border-radius:12px;font-size:12px;"));
    typeBt = flatButton(QString(), QStringLiteral("筛选"), top);
    typeBt->setObjectName(QStringLiteral("typeBt"));
    typeBt->setFixedSize(12, 12);
    typeBt->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(:/images/images/screen.png);}"));
    findRow->addSpacing(22);
    findRow->addWidget(searchBox, 1);
    findRow->addSpacing(8);
    findRow->addWidget(typeBt);
    topColumn->addLayout(findRow);
    column->addWidget(top);

    // The font area's six pages.
    fontArea = new QStackedWidget(mainFrame);
    fontArea->setObjectName(QStringLiteral("fontArea"));
    fontArea->setMinimumSize(292, 300);
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
    fontArea->addWidget(buildNotice(QStringLiteral("您尚未登录，无法查看收藏"),
                                    QStringLiteral("登录"), &MainWindow::onlogin));
    fontArea->addWidget(buildNotice(QStringLiteral("您暂无收藏，去云字库收藏喜欢的字体"),
                                    QStringLiteral("云字库"), &MainWindow::oncloudBt));
    fontArea->addWidget(buildNotice(QStringLiteral("未找到相关字体"), QString(), nullptr));
    column->addWidget(fontArea, 1);

    // Bottom row: card height.
    auto *low = new QWidget(mainFrame);
    low->setObjectName(QStringLiteral("widgtLow"));
    low->setFixedHeight(42);
    auto *lowRow = new QHBoxLayout(low);
    lowRow->setContentsMargins(8, 4, 8, 4);
    auto *aLBt = new QLabel(QStringLiteral("A"), low);
    auto *aHBt = new QLabel(QStringLiteral("A"), low);
    aLBt->setStyleSheet(QStringLiteral("color:#909090;font-size:10px;"));
    aHBt->setStyleSheet(QStringLiteral("color:#909090;font-size:16px;"));
    sizeSlider = new QSlider(Qt::Horizontal, low);
    sizeSlider->setObjectName(QStringLiteral("sizeSlider"));
    sizeSlider->setRange(0, ftHeightMax - ftHeightMin);
    sizeSlider->setValue(0);
    sizeSlider->setFixedWidth(90);
    ftTextEdt = new MLineEdit(low);
    ftTextEdt->setFixedSize(166, 24);
    ftTextEdt->setStyleSheet(QStringLiteral("border:1px solid #ececec;background:#F5F5F5;"
                                            "border-radius:12px;font-size:12px;"));
    lowRow->addWidget(ftTextEdt);
    lowRow->addStretch(1);
    lowRow->addWidget(aLBt);
    lowRow->addWidget(sizeSlider);
    lowRow->addWidget(aHBt);
    column->addWidget(low);

    connect(minBt, &QPushButton::clicked, this, &MainWindow::onMainMinimize);
    connect(closeBt, &QPushButton::clicked, this, &MainWindow::onMainClose);
    connect(cloudBt, &QPushButton::clicked, this, &MainWindow::oncloudBt);
    connect(localBt, &QPushButton::clicked, this, &MainWindow::onlocalBt);
    connect(collectBt, &QPushButton::clicked, this, &MainWindow::oncollectBt);
    connect(loginBt, &QPushButton::clicked, this, &MainWindow::onlogin);
    connect(fontArea, &QStackedWidget::currentChanged, this, &MainWindow::onTableChanged);
    connect(sizeSlider, &QSlider::valueChanged, this, &MainWindow::onFtHeightChanged);
    fontArea->setCurrentIndex(PageCloud);
    onTableChanged(PageCloud);
}

QWidget *MainWindow::buildNotice(const QString &text, const QString &linkText,
                                 void (MainWindow::*onLink)())
{
    auto *page = new QWidget(fontArea);
    page->setStyleSheet(QStringLiteral("background-color:white;"));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto *label = new QLabel(text, page);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #4D4D4D;"));
    layout->addWidget(label);
    if (onLink) {
        auto *link = new QPushButton(linkText, page);
        link->setFlat(true);
        link->setAutoDefault(false);
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("color: #4EC4B8;"));
        connect(link, &QPushButton::clicked, this, onLink);
        layout->addWidget(link, 0, Qt::AlignHCenter);
    }
    layout->addStretch(2);
    return page;
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
    const bool cloud = indx == PageCloud || indx == PageNoSearchResult || indx > 5;
    const bool local = indx == PageLocal;
    const bool favourites = !cloud && !local;
    static const QString on = QStringLiteral("QPushButton{color:#4ec4b8;font-weight:bold;}");
    static const QString off = QStringLiteral("QPushButton{color:#555555;}");
    cloudBt->setStyleSheet(cloud ? on : off);
    localBt->setStyleSheet(local ? on : off);
    collectBt->setStyleSheet(favourites ? on : off);
    curNameLbl->setText(cloud   ? QStringLiteral("云字库")
                        : local ? QStringLiteral("本地字库")
                                : QStringLiteral("我的收藏"));
    if (CardView *view = qobject_cast<CardView *>(fontArea->widget(indx)))
        view->setRowHeight(ftHeight);
}

void MainWindow::onFtHeightChanged(int value)
{
    ftHeight = ftHeightMin + value;
    if (CardView *view = qobject_cast<CardView *>(fontArea->currentWidget()))
        view->setRowHeight(ftHeight);
}

void MainWindow::onMainMinimize()
{
    auto *fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(1000);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, [this] {
        showMinimized();
        setWindowOpacity(1.0);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void MainWindow::onMainClose()
{
    auto *fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(1000);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &QWidget::close);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
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
    // The bars move the window; presses in the font area belong to the cards.
    const QRect area(fontArea->mapTo(this, QPoint(0, 0)), fontArea->size());
    if (event->button() == Qt::LeftButton && !area.contains(event->pos())) {
        bLeftPressed = true;
        dragOffset = event->globalPos() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (bLeftPressed && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    bLeftPressed = false;
    QDialog::mouseReleaseEvent(event);
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

void MainWindow::refreshPreviews()
{
    ftManager.requestContext.previewText = preview.text;
    previews->setPreview(preview.kind, preview.text);
    CardModel *const models[] = {cloudModel, localModel, loveModel};
    for (int page : previewPages.takeStale(preview, fontArea->currentIndex())) {
        models[page]->setPreviewText(preview.text);
        models[page]->refreshPictures();
        if (page == PageCloud)
            cloudView->scrollToTop();
    }
}
