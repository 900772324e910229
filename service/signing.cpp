#include "signing.h"

#include <QCryptographicHash>
#include <QUrl>

#include <algorithm>

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString signatureOf(const QStringList &params)
{
    QStringList sorted = params;
    std::sort(sorted.begin(), sorted.end()); // UTF-16 code unit order, case-sensitive
    const QString first = md5Hex(sorted.join(QLatin1Char('&')).toUtf8());
    return md5Hex(first.toLatin1() + kSigningKey);
}

QString signParams(const QStringList &params)
{
    if (params.isEmpty())
        return QString();
    QStringList body = params;
    body.insert(1, QStringLiteral("secret=") + signatureOf(params));
    return body.join(QLatin1Char('&'));
}

QString signProfileParams(const QStringList &params)
{
    if (params.isEmpty())
        return QString();
    QStringList body = params;
    body.append(QStringLiteral("secret=") + signatureOf(params));
    const QString headKey = QStringLiteral("head=");
    if (body.first().startsWith(headKey)) {
        const QByteArray base64 = body.first().mid(headKey.size()).toUtf8();
        body.first() = headKey + QString::fromLatin1(base64.toPercentEncoding());
    }
    return body.join(QLatin1Char('&'));
}

QString archivePassword(const QString &downloadUrl)
{
    if (downloadUrl.isEmpty())
        return QString();
    const QUrl url(downloadUrl);
    const QString fileName = url.fileName(QUrl::FullyDecoded);
    return md5Hex((md5Hex(fileName.toUtf8()) + md5Hex(url.toString().toUtf8())).toLatin1());
}
