#include "core/installjournal.h"
#include "core/logging.h"
#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "platform/interfacefont.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"
#include "window/mainwindow.h"
#include "window/myproxystyle.h"
#include "window/windowfront.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_UseSoftwareOpenGL, true);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    auto *app = new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillora"));
    qInstallMessageHandler(msgHandler);
    QApplication::setStyle(new MyProxyStyle(nullptr));

    QScreen *screen = QGuiApplication::primaryScreen();
    setScreenMetrics(screen ? screen->geometry() : QRect(0, 0, 1920, 1080),
                     screen ? qRound(screen->devicePixelRatio()) : 1);

    if (!isOnlyInstance()) {
        askRunningInstanceToRaise(2000);
        delete app;
        return 0;
    }
    quitOnTerminationSignals();
    trustBundledCertificateAuthority();
    // An update killed half way must not leave a mix of two versions behind.
    repairInterruptedInstall(QCoreApplication::applicationDirPath());
    const QString chineseFace = simplifiedChineseFamily();
    if (!chineseFace.isEmpty()) {
        QFont font = QApplication::font();
        font.setFamily(chineseFace);
        QApplication::setFont(font);
    }

    // Listening from here, a start during this one's start-up finds it too; the window
    // shows by itself once it is made.
    QPointer<QWidget> front;
    listenForLaterStarts(app, [&front] {
        if (front)
            bringToFront(front);
    });
    int result = 0;
    {
        AppServices services;
        MainWindow window(services);
        front = &window;
        setLastWordsOnSecondTermination([&services] { services.saveUserData(); });
        window.show();
        if (!terminationRequested())
            result = QApplication::exec();
    }
    setLastWordsOnSecondTermination(nullptr);
    delete app;
    return result;
}
