#pragma once

#include "ftmanager.h"

#include <QDateTime>
#include <QDialog>
#include <QNetworkAccessManager>
#include <QPointer>

class CatalogueLoader;
class QKeyEvent;
class QSystemTrayIcon;
class ReportSender;
class ThreadForLocalFonts;

// The program's one window. Its constructor is the start-up sequence and its
// destructor the shutdown; the work itself lives in widget-free classes that the
// slots forward to.
class MainWindow : public QDialog
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    FtManager &fontManager() { return ftManager; }

public slots:
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
    void showBalloon(const QString &title, const QString &text);

    QDateTime startTime;
    FtManager ftManager;
    QNetworkAccessManager network;
    CatalogueLoader *catalogue = nullptr;
    ReportSender *reports = nullptr;
    QSystemTrayIcon *tray = nullptr;
    QPointer<ThreadForLocalFonts> localThread;
};
