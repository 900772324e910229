#include "testfiles.h"

#include <QFile>

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString fileText(const QString &path)
{
    return QString::fromUtf8(fileBytes(path));
}
