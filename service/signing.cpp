#include "service/signing.h"

#include <QCryptographicHash>
#include <QUrl>

#include <algorithm>

namespace {

// The service reads the body as an ordinary form, so the four characters a form reader
// gives meaning to are escaped inside values; everything else, Chinese text included,
// travels as it is. The signature is always taken over the unescaped entries.
QString wireEntry(const QString &param)
{
    const int eq = param.indexOf(QLatin1Char('='));
    if (eq < 0)
        return param;
    QString value = param.mid(eq + 1);
    if (value.contains(QLatin1Char('%')) || value.contains(QLatin1Char('&')) ||
        value.contains(QLatin1Char('+')) || value.contains(QLatin1Char('='))) {
        value.replace(QLatin1Char('%'), QLatin1String("%25"));
        value.replace(QLatin1Char('&'), QLatin1String("%26"));
        value.replace(QLatin1Char('+'), QLatin1String("%2B"));
        value.replace(QLatin1Char('='), QLatin1String("%3D"));
    }
    return param.left(eq + 1) + value;
}

QString wireBody(const QStringList &params)
{
    QStringList entries;
    entries.reserve(params.size());
    for (const QString &param : params)
        entries.append(wireEntry(param));
    return entries.join(QLatin1Char('&'));
}

} // namespace

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
    return wireBody(body);
}

QString signProfileParams(const QStringList &params)
{
    if (params.isEmpty())
        return QString();
    QStringList body = params;
    body.append(QStringLiteral("secret=") + signatureOf(params));
    const QString headKey = QStringLiteral("head=");
    if (!body.first().startsWith(headKey))
        return wireBody(body);
    const QByteArray base64 = body.takeFirst().mid(headKey.size()).toUtf8();
    return headKey + QString::fromLatin1(base64.toPercentEncoding()) + QLatin1Char('&') +
           wireBody(body);
}

QString archivePassword(const QString &downloadUrl)
{
    if (downloadUrl.isEmpty())
        return QString();
    const QUrl url(downloadUrl);
    const QString fileName = url.fileName(QUrl::FullyDecoded);
    return md5Hex((md5Hex(fileName.toUtf8()) + md5Hex(url.toString().toUtf8())).toLatin1());
}
