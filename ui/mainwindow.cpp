#include "mainwindow.h"

#include "activationcontroller.h"
#include "buildconfig.h"
#include "catalogueloader.h"
#include "localfontscan.h"
#include "replyparser.h"
#include "reportsender.h"
#include "requestbuilder.h"
#include "screenmetrics.h"
#include "transport.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QSystemTrayIcon>

MainWindow::MainWindow(QWidget *parent) : QDialog(parent)
{
    ftManager.initialize();
    catalogue = std::make_unique<CatalogueLoader>(ftManager, network);
    reports = std::make_unique<ReportSender>(ftManager, network);
    problemReporter = std::make_unique<ServiceProblemReporter>(*reports);
    activation = std::make_unique<ActivationController>(ftManager, this, problemReporter.get(),
                                                        &downloadNetwork);
    setObjectName(QStringLiteral("MainWindow"));
    resize(308, 656);
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

    logScreenMetrics();

    if (ftManager.imageCacheIsStale())
        ftManager.clearImageCache();

    startLocalFontScan();
    catalogue->requestFontTags();
    catalogue->requestAllFonts();

    ftManager.bLogin = false;
    if (!tryAutoLogin())
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

void MainWindow::openLogin() {}

void MainWindow::setBusy(const QString &, bool) {}

void MainWindow::setCardActivated(QObject *, bool) {}

void MainWindow::markActivated(const QString &, bool) {}

void MainWindow::showProgress(const QString &, int) {}

void MainWindow::clearProgress(const QString &) {}

void MainWindow::fillLocalPage() {}

void MainWindow::refreshActivated() {}

int MainWindow::currentPageIndex() const
{
    return 0;
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

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
}
