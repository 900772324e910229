#include "core/installjournal.h"
#include "core/tlstrust.h"
#include "updater/updaterules.h"
#include "updater/vantoreldlg.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    trustBundledCertificateAuthority();
    // An install this program was killed in the middle of is put right first.
    repairInterruptedInstall(QCoreApplication::applicationDirPath());

    VantorelDlg dlg;
    dlg.show();
    startFromArguments(dlg, argumentsFromUtf8(argc, argv));
    // Closing the window during the download ends the update; there is nothing
    // left to wait for.
    if (!dlg.isVisible())
        return 0;
    return app.exec();
}
