#include "windowfixture.h"

#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "service/transport.h"

#include <QCoreApplication>

WindowFixture::WindowFixture()
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillora"));
    setScreenMetrics(QRect(0, 0, 1366, 768), 1);
    renewHome();
}

WindowFixture::~WindowFixture()
{
    if (m_server.isRunning())
        m_server.stop();
    m_env.reset();
}

void WindowFixture::renewHome()
{
    // One at a time: a new home made before the old one goes would get its environment
    // back with the old one's restore, and the tests would run in the real home.
    m_env.reset();
    m_env = std::make_unique<TestEnv>();
}

bool WindowFixture::startDevService(const QStringList &arguments)
{
    if (!m_server.start(m_data.filePath(QStringLiteral("state")), arguments)) {
        m_error = m_server.errorString();
        return false;
    }
    return useService(m_server.url(), m_server.caFile());
}

bool WindowFixture::useService(const QUrl &url, const QString &caFile)
{
    if (addTrustedCertificateAuthorities(caFile) < 1) {
        m_error = QStringLiteral("no certificate authority in ") + caFile;
        return false;
    }
    setServiceUrl(url);
    return true;
}
