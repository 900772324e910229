#pragma once

#include "fonts/ftmanager.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

#include <memory>

class AccountSession;
class ActivationController;
class ActivationNotifier;
class CardPages;
class CatalogueLoader;
class FavouritesController;
class HeadImageLoader;
class PreviewLoader;
class ReportSender;
class ServiceProblemReporter;
class ThreadForLocalFonts;
class UpdateOffer;

// The run's services, without widgets: built by start() in the order below, torn down
// by shutDown() and the destructor in the reverse order, each after everything that
// refers to it. The window receives one and drives the start-up steps through it; it
// must outlive the window.
//
// Build order: font manager (settings, folders, user data), the two network managers,
// catalogue, reports, problem reporter, previews, card pages, activation, favourites,
// head image, update offer, account session.
class AppServices : public QObject
{
    Q_OBJECT

public:
    AppServices();
    ~AppServices() override;

    // Reads the stored settings and builds the services; what the activation flow tells
    // the user goes to the notifier, which must stay until shutDown().
    void start(ActivationNotifier &notifier);
    // The end of the run: worker threads stopped, the run reported, the user data saved;
    // then the activation flow, which talks to the notifier, goes first. Once only.
    void shutDown(const QDateTime &runStart);
    // Writes the user data file as the end of a run does.
    void saveUserData();

    FtManager &fontManager() { return m_ft; }
    CatalogueLoader &catalogue() { return *m_catalogue; }
    ReportSender &reports() { return *m_reports; }
    PreviewLoader &previews() { return *m_previews; }
    CardPages &cards() { return *m_cards; }
    ActivationController &activation() { return *m_activation; }
    FavouritesController &favourites() { return *m_favourites; }
    HeadImageLoader &headLoader() { return *m_headLoader; }
    UpdateOffer &updates() { return *m_updates; }
    AccountSession &account() { return *m_account; }

    // Start-up steps, in the order the window calls them.
    void logScreenMetrics();
    void cleanStaleImageCache();
    void requestCatalogue();
    void startLocalFontScan();
    // Launch and install reports go out on sendStartupReports, a few seconds after the
    // start at the latest: nobody waits for them.
    void queueStartupReports(bool launch, bool install);

    // The installed-font scan ended: its page fills and the saved fonts are activated.
    void onLocalThreadDone();
    void onLocalThreadDestroy();

private:

    // Declared in build order.
    FtManager m_ft;
    QNetworkAccessManager m_network;
    QNetworkAccessManager m_downloadNetwork; // font archives only
    std::unique_ptr<CatalogueLoader> m_catalogue;
    std::unique_ptr<ReportSender> m_reports;
    std::unique_ptr<ServiceProblemReporter> m_problemReporter;
    std::unique_ptr<PreviewLoader> m_previews;
    std::unique_ptr<CardPages> m_cards;
    std::unique_ptr<ActivationController> m_activation;
    std::unique_ptr<FavouritesController> m_favourites;
    std::unique_ptr<HeadImageLoader> m_headLoader;
    std::unique_ptr<UpdateOffer> m_updates;
    std::unique_ptr<AccountSession> m_account;
    QPointer<ThreadForLocalFonts> m_localThread;
    bool m_started = false;
    bool m_shutDown = false;
};
