#include "activation/threadforenablefont.h"

#include "activation/fontsystem.h"
#include "core/ftstorage.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

QVector<DownlistEntry> readSavedDownlist(const QString &userDataFile)
{
    QVector<DownlistEntry> entries;
    QFile file(userDataFile);
    // The storage's own bound: a larger file is never read whole.
    if (!file.open(QIODevice::ReadOnly) || file.size() > FtStorage::kMaxUserDataBytes)
        return entries;
    const QByteArray content = file.readAll();
    if (content.isEmpty())
        return entries;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromBase64(content), &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError || !doc.isObject())
        return entries;
    const QJsonObject obj = doc.object();
    if (!obj.contains(QLatin1String("downlist")))
        return entries;
    const QJsonArray list = obj.value(QLatin1String("downlist")).toArray();
    entries.reserve(list.size());
    for (const QJsonValue &value : list) {
        const QJsonObject entry = value.toObject();
        entries.append({entry.value(QLatin1String("fontname")).toString(),
                        entry.value(QLatin1String("fontfile")).toString()});
    }
    return entries;
}

int registerSavedFont(FontSystem &system, const QString &path, const QString &name)
{
    if (!QFileInfo(path).isFile() || name.isEmpty())
        return -1;
    // Names come from the user data file: passed as data, never as a format.
    qDebug("%s", qUtf8Printable(QStringLiteral("开始激活") + name));
    const int r = system.registerFontFile(path);
    qDebug("%s", qUtf8Printable(QStringLiteral("字体激活") +
                                (r > 0 ? QStringLiteral("成功") : QStringLiteral("失败")) +
                                QLatin1Char(':') + name + QLatin1Char(';')));
    return r;
}

ThreadForEnableFont::ThreadForEnableFont(QObject *parent) : QThread(parent) {}

void ThreadForEnableFont::run()
{
    const QString file =
        m_userDataFile.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/UsrMsg.json"
            : m_userDataFile;
    FontSystem &system = m_system ? *m_system : FontSystem::platform();
    const QVector<DownlistEntry> entries = readSavedDownlist(file);
    for (int i = 0; i < entries.size(); ++i) {
        const DownlistEntry &entry = entries.at(i);
        if (!entry.name.isEmpty() && !entry.path.isEmpty() &&
            registerSavedFont(system, entry.path, entry.name) > 0) {
            m_registeredNames.append(entry.name);
            m_registeredPaths.append(entry.path);
        }
        if (isInterruptionRequested()) {
            m_unreached = entries.mid(i + 1);
            break;
        }
    }
}
