#pragma once

#include "activationview.h"
#include "ftmanager.h"
#include "problemreporter.h"

#include <QDateTime>
#include <QDialog>
#include <QNetworkAccessManager>
#include <QPointer>

#include <memory>

class ActivationController;
class CatalogueLoader;
class QKeyEvent;
class QSystemTrayIcon;
class ReportSender;
class ThreadForLocalFonts;

// The program's one window. Its constructor is the start-up sequence and its
// destructor the shutdown; the work itself lives in widget-free classes that the
// slots forward to.
class MainWindow : public QDialog, public ActivationView
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    FtManager &fontManager() { return ftManager; }

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

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void logScreenMetrics();
    void startLocalFontScan();
    bool tryAutoLogin();

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
    QSystemTrayIcon *tray = nullptr;
    QPointer<ThreadForLocalFonts> localThread;
};
