// The window's widgets: the two bars, the six pages of the font area, and their scaling
// to the screen. Kept apart from the switchboard in mainwindow.cpp.
#include "window/mainwindow.h"

#include "cards/cardpages.h"
#include "cards/cardview.h"
#include "cards/previewloader.h"
#include "service/catalogueloader.h"
#include "core/screenmetrics.h"
#include "account/warnlog.h"
#include "account/warnnolove.h"
#include "finding/filterdlg.h"
#include "finding/mlineedit.h"
#include "finding/searchbox.h"
#include "finding/warnsearch.h"
#include "widgets/framelessdlg.h"
#include "widgets/mymsgbox.h"
#include "widgets/warnservice.h"
#include "widgets/frameshadow.h"
#include "window/windowgeometry.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

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

QString MainWindow::imageStyle(const QString &file)
{
    return QStringLiteral("QPushButton{border-image: url(:/images/images/%1)}").arg(file);
}

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
    cloudView = new CardView(fontArea);
    localView = new CardView(fontArea);
    loveView = new CardView(fontArea);
    cloudView->setObjectName(QStringLiteral("cloudPage"));
    localView->setObjectName(QStringLiteral("localPage"));
    loveView->setObjectName(QStringLiteral("lovePage"));
    for (int page : {PageCloud, PageLocal, PageFavourites}) {
        CardView *view = page == PageCloud ? cloudView : page == PageLocal ? localView : loveView;
        view->setCardModel(cards->model(page));
        fontArea->addWidget(view);
    }
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
    connect(unreachable, &WarnService::retryClicked, catalogue, &CatalogueLoader::retryNow);
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

void MainWindow::connectFinder()
{
    filterDlg = new FilterDlg(this);
    filterDlg->hide();
    showMenu = new QMenu(this);
    showMenu->setObjectName(QStringLiteral("showMenu"));
    showMenu->setStyleSheet(
        QStringLiteral("QMenu::item{padding: 5px 20px 5px 20px;width:85px;font:12px;}"));
    for (int kind : {PreviewName, PreviewEnglish, PreviewDigits})
        showMenu->addAction(PreviewSetting::menuLabel(kind), this, &MainWindow::onShowTextChanged)
            ->setData(kind);
    showMenu->hide();

    connect(typeBt, &QPushButton::clicked, this, &MainWindow::onShowTypeWidget);
    connect(filterDlg, &FilterDlg::selectChanged, this, &MainWindow::onCurrTagsChanged);
    connect(catalogue, &CatalogueLoader::msgTagTreeChanged, this,
            [this] { filterDlg->buildTree(ftManager.tagGroups); });
    connect(searchBox, &SearchBox::askSearch, this, &MainWindow::onSearchTextEdited);
    connect(searchBox, &SearchBox::loseFocus, this, &MainWindow::onSearchLoseFocus);
    connect(searchBox, &SearchBox::msgCloseSearch, this, &MainWindow::onClearSearch);
    // The search starts on Return; typing only takes a stale "no result" page away.
    connect(searchBox, &QLineEdit::textEdited, cards, &CardPages::leaveStaleResult);
    connect(ftTextEdt, &MLineEdit::dropMenu, this, &MainWindow::onDropBt);
    connect(ftTextEdt, &MLineEdit::editDone, this, &MainWindow::onFtShowEdited);
}
