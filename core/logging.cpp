#include "core/logging.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTextStream>
#include <QTime>

QString formatMessageLine(const QMessageLogContext &context, const QString &message,
                          const QDateTime &now)
{
    return QStringLiteral("Message:%1 File:%2  Line:%3  Function:%4  DateTime:%5")
        .arg(message, QString::fromUtf8(context.file), QString::number(context.line),
             QString::fromUtf8(context.function),
             now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

QString formatEventLine(const QString &text, const QDateTime &now)
{
    return text + QLatin1String("  ") + now.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
}

QString messageLogPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QLatin1String("/TessalyFont/msg/logMsg.log");
}

void msgHandler(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    const QString line = formatMessageLine(context, message, QDateTime::currentDateTime());
    // The handler never creates the folder: messages before the tree exists are dropped.
    QFile file(messageLogPath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return;
    QTextStream out(&file);
    out << line << "\r\n";
    out.flush();
}

bool appendEventLine(const QString &filePath, const QString &text)
{
    if (text.isEmpty())
        return true;
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // CR LF on every platform, written explicitly: the logs are read as Windows text.
    QTextStream out(&file);
    out << formatEventLine(text, QDateTime::currentDateTime()) << "\r\n";
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}

QString formatRunLength(qint64 seconds)
{
    return QTime(0, 0).addSecs(int(seconds % 86400)).toString(QStringLiteral("hh:mm:ss"));
}
