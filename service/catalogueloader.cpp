#include "catalogueloader.h"

#include "ftmanager.h"
#include "previewimage.h"
#include "replyparser.h"
#include "requestbuilder.h"
#include "transport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

CatalogueLoader::CatalogueLoader(FtManager &manager, QNetworkAccessManager &network,
                                 QObject *parent)
    : QObject(parent), m_manager(manager), m_network(network)
{
}

void CatalogueLoader::requestAllFonts()
{
    m_requestInFlight = true;
    QNetworkReply *reply =
        postForm(m_network, RequestBuilder::allFonts(m_manager.requestContext.token));
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
    applyCatalogueReply(reply->readAll());
    reply->abort();
    reply->deleteLater();
}

void CatalogueLoader::applyCatalogueReply(const QByteArray &bytes)
{
    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    int count = parseCatalogueReply(bytes, fonts, envelope);
    // Failures stay silent; the cloud page button asks again.
    if (count <= 0)
        return;
    count = qMin(count, kMaxCatalogueSize);

    m_catalogueCount = count;
    m_manager.initCloudVec.resize(count);
    emit msgCloudTotalChanged(count);
    m_manager.writeLog(QStringLiteral("CloudListSize=") + QString::number(count));
    if (fonts.isEmpty())
        return;

    m_catalogueReceived = true;
    const QString &firstName = fonts.first().fontname;
    const bool refill =
        !(m_manager.initCloudVec.first() == firstName && hasPreviewImage(firstName));

    for (int l = 0; l < fonts.size(); ++l) {
        const FontAV &font = fonts.at(l);
        m_manager.cloudFonts.insert(font.fontname, font);
        if (l < count) {
            m_manager.initCloudVec[l] = font.fontname;
            m_manager.cloudIndex.insert(font.fontname, l);
            ++m_indexedFonts;
        }
    }

    if (refill)
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
