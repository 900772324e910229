#include "service/catalogueloader.h"

#include "fonts/ftmanager.h"
#include "service/previewimage.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

CatalogueLoader::CatalogueLoader(FtManager &manager, QNetworkAccessManager &network,
                                 QObject *parent)
    : QObject(parent), m_manager(manager), m_network(network)
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &CatalogueLoader::retryNow);
}

void CatalogueLoader::requestAllFonts()
{
    m_retryTimer.stop();
    m_requestInFlight = true;
    QNetworkReply *reply =
        postForm(m_network, RequestBuilder::allFonts(m_manager.requestContext.token));
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxReplyBytes) {
            reply->setProperty("quilloraTooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, &CatalogueLoader::onGotAllFontRecords);
}

void CatalogueLoader::requestFontTags()
{
    QNetworkReply *reply = postForm(m_network, RequestBuilder::fontTags());
    connect(reply, &QNetworkReply::finished, this, &CatalogueLoader::onGotFontTags);
}

bool CatalogueLoader::askAgainIfSparse()
{
    if (m_manager.cloudIndex.size() >= kAskAgainBelow || m_requestInFlight)
        return false;
    requestAllFonts();
    return true;
}

bool CatalogueLoader::retryNow()
{
    if (m_requestInFlight)
        return false;
    requestAllFonts();
    // The tag tree failed the same way when the service was down.
    requestFontTagsIfMissing();
    return true;
}

bool CatalogueLoader::requestFontTagsIfMissing()
{
    if (!m_manager.tagGroups.isEmpty())
        return false;
    requestFontTags();
    return true;
}

bool CatalogueLoader::hasPreviewImage(const QString &name) const
{
    const QString path = previewImagePath(m_manager.imagesDir(), name, PreviewName);
    return !path.isEmpty() && QFile::exists(path);
}

void CatalogueLoader::onGotAllFontRecords()
{
    m_requestInFlight = false;
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    if (reply->property("quilloraTooLarge").toBool()) {
        reply->deleteLater();
        catalogueFailed(QStringLiteral("reply larger than %1 bytes").arg(kMaxReplyBytes));
        return;
    }
    const QString error =
        reply->error() == QNetworkReply::NoError ? QString() : reply->errorString();
    applyCatalogueReply(reply->readAll(), error);
    reply->abort();
    reply->deleteLater();
}

void CatalogueLoader::catalogueFailed(const QString &reason)
{
    m_manager.writeLog(QStringLiteral("cloudList failed: ") + singleLine(reason));
    // A catalogue already shown stays; the cloud page button asks again as before.
    if (m_catalogueReceived)
        return;
    m_unreachable = true;
    m_retryTimer.start(m_backoff.nextDelayMs());
    emit msgCatalogueUnreachable(reason);
}

void CatalogueLoader::applyCatalogueReply(const QByteArray &bytes, const QString &networkError)
{
    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    int count = networkError.isEmpty()
                    ? parseCatalogueReply(bytes, fonts, envelope, kMaxCatalogueSize)
                    : -1;
    if (count <= 0) {
        if (!networkError.isEmpty())
            catalogueFailed(networkError);
        else if (bytes.isEmpty())
            catalogueFailed(QStringLiteral("empty reply"));
        else if (envelope.errcode != 0)
            catalogueFailed(QStringLiteral("errcode=%1;message=%2")
                                .arg(envelope.errcode)
                                .arg(envelope.message));
        else
            catalogueFailed(QStringLiteral("no catalogue in the reply"));
        return;
    }
    if (count > kMaxCatalogueSize || fonts.size() >= kMaxCatalogueSize)
        m_manager.writeLog(QStringLiteral("catalogue capped at %1 fonts; the reply counts %2")
                               .arg(kMaxCatalogueSize)
                               .arg(count));
    count = qMin(count, kMaxCatalogueSize);
    m_backoff.reset();
    m_retryTimer.stop();
    if (m_unreachable) {
        m_unreachable = false;
        emit msgCatalogueReachable();
    }

    m_catalogueCount = count;
    m_manager.initCloudVec.resize(count);
    emit msgCloudTotalChanged(count);
    m_manager.writeLog(QStringLiteral("CloudListSize=") + QString::number(count));
    if (fonts.isEmpty())
        return;

    m_catalogueReceived = true;

    for (int l = 0; l < fonts.size(); ++l) {
        const FontAV &font = fonts.at(l);
        m_manager.cloudFonts.insert(font.fontname, font);
        if (l < count) {
            m_manager.initCloudVec[l] = font.fontname;
            m_manager.cloudIndex.insert(font.fontname, l);
            ++m_indexedFonts;
        }
    }

    // Every reply refills: a second reply may list other names behind the same first one.
    emit msgCloudPageRefill();
    if (m_localScanFinished && m_localFirstCardName) {
        const QString localFirst = m_localFirstCardName();
        if (!localFirst.isEmpty() && !hasPreviewImage(localFirst))
            emit msgLocalPageRefill();
    }
    emit msgBalloon(QStringLiteral("云列表"), QStringLiteral("加载完毕."));
    m_manager.writeLog(QStringLiteral("ftManager.initCloudVec.size=") +
                       QString::number(m_manager.initCloudVec.size()));
}

void CatalogueLoader::onGotFontTags()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    applyTagReply(reply->readAll());
    reply->abort();
    reply->deleteLater();
}

void CatalogueLoader::applyTagReply(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        m_manager.writeLog(QStringLiteral("tagsAsking return empty."));
        return;
    }
    const ReplyEnvelope envelope = dispatchReply(bytes, m_manager);
    if (envelope.errcode != 0)
        m_manager.writeLog(QStringLiteral("tagsAsking:") + singleLine(envelope.message));
    else
        emit msgTagTreeChanged();
}
