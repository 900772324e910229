#include "platform/autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString autostartEntryPath(const QString &executablePath)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/autostart/" + QFileInfo(executablePath).baseName() + ".desktop";
}

QString desktopExecQuote(const QString &path)
{
    // Inside Exec's quotes ", `, $ and \ take a backslash; the general string escaping
    // then doubles every backslash once more.
    QString quoted;
    for (const QChar c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return '"' + quoted + '"';
}

bool setStartAtLogin(const QString &nativeExecutablePath, bool on)
{
    const QString entryPath = autostartEntryPath(nativeExecutablePath);
    if (!QDir().mkpath(QFileInfo(entryPath).path()))
        return false;
    const QString flag = on ? "false" : "true";
    const QString entry = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quillora\n"
                          "Exec=" + desktopExecQuote(nativeExecutablePath) + "\n"
                          "Hidden=" + flag + "\n"
                          "X-GNOME-Autostart-enabled=" + (on ? "true" : "false") + "\n";
    QSaveFile file(entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = entry.toUtf8();
    // flush() first: a failed buffered write must not be committed.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
