#include "platform/autostart.h"

#include <QFileInfo>
#include <QSettings>

bool setStartAtLogin(const QString &nativeExecutablePath, bool on)
{
    QSettings run("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                  QSettings::NativeFormat);
    // Switching off keeps the value, emptied.
    run.setValue(QFileInfo(nativeExecutablePath).baseName(),
                 on ? nativeExecutablePath : QString());
    run.sync();
    return run.status() == QSettings::NoError;
}
