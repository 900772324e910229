#include "core/tlstrust.h"
#include "updater/updaterules.h"
#include "updater/vantoreldlg.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    trustBundledCertificateAuthority();

    VantorelDlg dlg;
    dlg.show();
    startFromArguments(dlg, argumentsFromUtf8(argc, argv));
    // Closing the window during the download ends the update; there is nothing
    // left to wait for.
    if (!dlg.isVisible())
        return 0;
    return app.exec();
}
