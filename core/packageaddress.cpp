#include "core/packageaddress.h"

#include <QUrl>

bool isUsablePackageAddress(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && parsed.scheme() == QLatin1String("https") &&
           !parsed.host().isEmpty();
}
