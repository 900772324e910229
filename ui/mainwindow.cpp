#include "mainwindow.h"

#include "buildconfig.h"
#include "logging.h"
#include "screenmetrics.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLocale>

MainWindow::MainWindow(QWidget *parent) : QDialog(parent)
{
    ftManager.initialize();
    setObjectName(QStringLiteral("MainWindow"));
    resize(308, 656);
    ftManager.writeLog(QStringLiteral("初始化开始，ui设置完毕。"));

    setWindowTitle(QStringLiteral("Quillora"));
    setWindowIconText(QStringLiteral("Quillora"));
    logScreenMetrics();

    if (ftManager.imageCacheIsStale())
        ftManager.clearImageCache();

    startTime = QDateTime::currentDateTime();
    ftManager.writeLog(QStringLiteral("构造函数完毕"));
}

MainWindow::~MainWindow()
{
    ftManager.deleteHeadImage();
    const qint64 seconds = startTime.secsTo(QDateTime::currentDateTime());
    ftManager.writeLog(QStringLiteral("程序结束:") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz")));
    ftManager.writeLog(QStringLiteral("统计程序时长：") + formatRunLength(seconds));
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
