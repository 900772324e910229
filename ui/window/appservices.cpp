#include "window/appservices.h"

#include "account/accountsession.h"
#include "activation/activationcontroller.h"
#include "activation/problemreporter.h"
#include "buildconfig.h"
#include "cards/cardpages.h"
#include "cards/previewloader.h"
#include "core/screenmetrics.h"
#include "fonts/localfontscan.h"
#include "service/catalogueloader.h"
#include "service/favourites.h"
#include "service/profile.h"
#include "service/reportsender.h"
#include "update/updateoffer.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTimer>

AppServices::AppServices() = default;

AppServices::~AppServices()
{
    if (m_started && !m_shutDown)
        shutDown(QDateTime::currentDateTime());
    // Reverse of the build order: nothing outlives what it refers to.
    m_account.reset();
    m_updates.reset();
    m_headLoader.reset();
    m_favourites.reset();
    m_cards.reset();
    m_previews.reset();
    m_problemReporter.reset();
    m_reports.reset();
    m_catalogue.reset();
}

void AppServices::start(ActivationNotifier &notifier)
{
    Q_ASSERT(!m_started);
    m_started = true;
    m_ft.initialize();
    m_catalogue = std::make_unique<CatalogueLoader>(m_ft, m_network);
    m_reports = std::make_unique<ReportSender>(m_ft, m_network);
    m_problemReporter = std::make_unique<ServiceProblemReporter>(*m_reports);
    m_previews = std::make_unique<PreviewLoader>(m_ft, m_network);
    m_cards = std::make_unique<CardPages>(m_ft, *m_previews);
    m_activation = std::make_unique<ActivationController>(
        m_ft, &notifier, m_cards.get(), m_problemReporter.get(), &m_downloadNetwork);
    m_favourites = std::make_unique<FavouritesController>(m_ft, m_network);
    m_headLoader = std::make_unique<HeadImageLoader>(m_network, m_ft.headImageFile());
    m_updates = std::make_unique<UpdateOffer>(m_ft, QCoreApplication::applicationFilePath());
    m_account = std::make_unique<AccountSession>(m_ft);
    // Unfilled positions of the catalogue until it arrives.
    m_ft.initCloudVec.resize(500);
    connect(m_catalogue.get(), &CatalogueLoader::msgCloudPageRefill, m_cards.get(),
            &CardPages::catalogueArrived);
}

void AppServices::shutDown(const QDateTime &runStart)
{
    if (!m_started || m_shutDown)
        return;
    m_shutDown = true;
    m_activation->stopEnableThread();
    if (m_localThread) {
        m_localThread->requestInterruption();
        m_localThread->wait();
    }
    m_ft.deleteHeadImage();
    m_reports->reportRunEnd(runStart, QDateTime::currentDateTime());
    saveUserData();
    m_activation.reset();
}

void AppServices::saveUserData()
{
    // Fonts saved last time that this run never got to re-activate stay saved.
    if (m_activation)
        m_activation->keepUnrecordedDownlist();
    m_ft.saveUserData();
}

void AppServices::logScreenMetrics()
{
    m_ft.writeLog(QStringLiteral("desk_width=%1; desk_height=%2")
                      .arg(deskRect.right() - deskRect.left() + 1)
                      .arg(deskRect.bottom() - deskRect.top() + 1));
    m_ft.writeLog(QStringLiteral("像素密度=") + QString::number(pixelRatio));
    m_ft.writeLog(QStringLiteral("缩放比=") +
                  QString::number(uiScaleY, 'g', QLocale::FloatingPointShortest));
    m_ft.writeLog(QStringLiteral("QSS设置图片?:%1").arg(QStringLiteral("NO")));
    m_ft.writeLog(QStringLiteral("url_serv=") + QStringLiteral(QUILLORA_SERVICE_URL));
}

void AppServices::cleanStaleImageCache()
{
    if (m_ft.imageCacheIsStale())
        m_ft.clearImageCache();
}

void AppServices::requestCatalogue()
{
    // Asked for first: the first cards wait for the reply.
    m_catalogue->requestFontTags();
    m_catalogue->requestAllFonts();
}

void AppServices::startLocalFontScan()
{
    m_ft.writeLog(QStringLiteral("启动加载本地字体线程"));
    auto *thread = new ThreadForLocalFonts();
    m_localThread = thread;
    connect(thread, &QThread::finished, this, &AppServices::onLocalThreadDone);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QObject::destroyed, this, &AppServices::onLocalThreadDestroy);
    thread->start(QThread::InheritPriority);
}

void AppServices::onLocalThreadDone()
{
    if (m_localThread)
        m_ft.setInstalledFonts(m_localThread->localFonts());
    m_ft.writeLog(QStringLiteral("threadLocal finished."));
    m_ft.writeLog(QStringLiteral("已获取系统字体信息:n=") +
                  QString::number(m_ft.installedFonts().size()));
    m_cards->localScanFinished();
    m_ft.writeLog(QStringLiteral("系统字体加载完毕"));
    if (m_activation)
        m_activation->startEnableThread();
}

void AppServices::onLocalThreadDestroy()
{
    m_localThread = nullptr;
    m_ft.writeLog(QStringLiteral("threadLocal destroyed."));
}

void AppServices::queueStartupReports(bool launch, bool install)
{
    m_reports->queueStartupReports(launch, install);
    connect(m_catalogue.get(), &CatalogueLoader::msgCatalogueUnreachable, m_reports.get(),
            &ReportSender::sendStartupReports);
    QTimer::singleShot(3000, m_reports.get(), &ReportSender::sendStartupReports);
}
