#include "core/tlstrust.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QSslConfiguration>

int addTrustedCertificateAuthorities(const QString &pemFile)
{
    const QList<QSslCertificate> authorities = QSslCertificate::fromPath(pemFile, QSsl::Pem);
    if (authorities.isEmpty())
        return 0;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> trusted = config.caCertificates();
    int added = 0;
    for (const QSslCertificate &ca : authorities) {
        if (!trusted.contains(ca)) {
            trusted.append(ca);
            ++added;
        }
    }
    config.setCaCertificates(trusted);
    QSslConfiguration::setDefaultConfiguration(config);
    return added;
}

int trustBundledCertificateAuthority()
{
    return addTrustedCertificateAuthorities(QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/quillora-ca.pem"));
}
