#include "cards/previewloader.h"

#include "fonts/ftmanager.h"
#include "service/previewimage.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

PreviewLoader::PreviewLoader(FtManager &manager, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), m_manager(manager), m_network(network)
{
    m_clock.start();
}

void PreviewLoader::setPreview(int kind, const QString &text)
{
    if (kind == m_kind && text == m_text)
        return;
    // Names waiting for the next image-list request were meant for the old preview;
    // their cards ask again for the new one, and for the old one if it comes back.
    for (const QString &name : qAsConst(m_pendingList))
        m_busy.remove(picturePath(name));
    m_pendingList.clear();
    m_kind = kind;
    m_text = text;
}

QString PreviewLoader::picturePath(const QString &name) const
{
    return previewImagePath(m_manager.imagesDir(), name, m_kind, m_text);
}

bool PreviewLoader::storePictureAt(const QString &path, const QByteArray &bytes) const
{
    if (bytes.isEmpty() || bytes.size() > kMaxImageBytes || path.isEmpty())
        return false;
    bool asSent = false;
    const QImage image = decodePreviewPicture(bytes, &asSent);
    if (image.isNull())
        return false;
    if (!QFileInfo(m_manager.imagesDir()).isDir())
        m_manager.createDirectories();
    // Written beside and renamed, so a card never loads a half-written file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A PNG that decodes is kept as sent: encoding it again costs more than the fetch.
    const bool written = asSent ? file.write(bytes) == bytes.size() : image.save(&file, "PNG");
    return written && file.commit();
}

bool PreviewLoader::cachedPictureUsable(const QString &path)
{
    // Only the header is read: the card decodes the picture, once. A card asks about a
    // cached file only when it could not show it, so a file vouched for shortly before
    // is taken for broken.
    if (!previewFileFits(path))
        return false;
    const auto last = m_vouchedAt.constFind(path);
    if (last != m_vouchedAt.constEnd() && m_clock.elapsed() - *last < kDefaultRetryPauseMs) {
        m_vouchedAt.remove(path);
        return false;
    }
    m_vouchedAt.insert(path, m_clock.elapsed());
    return true;
}

void PreviewLoader::request(const QString &name)
{
    const QString path = picturePath(name);
    if (path.isEmpty() || m_busy.contains(path))
        return;
    if (QFileInfo(path).isFile()) {
        if (cachedPictureUsable(path)) {
            emit pictureReady(name);
            return;
        }
        // A truncated, foreign or oversized file: fetch it again instead of showing
        // nothing forever; a refused picture never stays in the cache.
        QFile::remove(path);
    }
    const auto last = m_failedAt.constFind(path);
    if (last != m_failedAt.constEnd() && m_clock.elapsed() - *last < m_retryPauseMs) {
        emit pictureFailed(name);
        return;
    }
    const auto font = m_manager.cloudFont(name);
    if (!font)
        return; // installed fonts have no picture on the service
    // The catalogue's own address is the name picture; samples and texts are rendered
    // on request.
    const QUrl direct(font->image);
    if (m_kind == PreviewName && !font->image.isEmpty() && direct.isValid() &&
        (direct.scheme() == QLatin1String("https") || direct.scheme() == QLatin1String("http"))) {
        m_busy.insert(path);
        fetch(name, font->image, path);
        return;
    }
    if (font->fontid <= 0)
        return;
    m_busy.insert(path);
    m_pendingList.append(name);
    if (!m_flushScheduled) {
        // Cards painted in one pass are asked for in one request.
        m_flushScheduled = true;
        QTimer::singleShot(0, this, &PreviewLoader::flushImageList);
    }
}

void PreviewLoader::failed(const QString &name, const QString &path)
{
    m_busy.remove(path);
    m_failedAt.insert(path, m_clock.elapsed());
    emit pictureFailed(name);
}

void PreviewLoader::flushImageList()
{
    m_flushScheduled = false;
    QHash<int, QString> ids;
    QList<int> idList;
    for (const QString &name : qAsConst(m_pendingList)) {
        const auto font = m_manager.cloudFont(name);
        if (font && font->fontid > 0 && !ids.contains(font->fontid)) {
            ids.insert(font->fontid, name);
            idList.append(font->fontid);
        } else {
            failed(name, picturePath(name));
        }
    }
    m_pendingList.clear();
    if (idList.isEmpty())
        return;
    ++m_inFlight;
    QNetworkReply *reply = postForm(m_network, RequestBuilder::imageList(m_text, idList));
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, ids, kind = m_kind, text = m_text] {
                onImageListReply(reply, ids, kind, text);
            });
}

void PreviewLoader::onImageListReply(QNetworkReply *reply, const QHash<int, QString> &ids, int kind,
                                     const QString &text)
{
    const auto pathOf = [this, kind, &text](const QString &name) {
        return previewImagePath(m_manager.imagesDir(), name, kind, text);
    };
    const QByteArray bytes = reply->readAll();
    reply->abort();
    reply->deleteLater();
    QHash<int, QString> unanswered = ids;
    if (dispatchReply(bytes, m_manager).succeeded()) {
        for (auto it = m_manager.imageList.constBegin(); it != m_manager.imageList.constEnd();
             ++it) {
            const QString name = unanswered.value(it.key());
            const QUrl url(it.value());
            // Only addresses for what this request asked about.
            if (!name.isEmpty() && url.isValid() &&
                (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))) {
                unanswered.remove(it.key());
                fetch(name, it.value(), pathOf(name));
            }
        }
    }
    for (const QString &name : qAsConst(unanswered))
        failed(name, pathOf(name));
    finishOne();
}

void PreviewLoader::fetch(const QString &name, const QString &address, const QString &path)
{
    ++m_inFlight;
    QNetworkRequest request{QUrl(address)};
    QNetworkReply *reply = m_network.get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxImageBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, name, path] { onPictureReply(reply, name, path); });
}

void PreviewLoader::onPictureReply(QNetworkReply *reply, const QString &name, const QString &path)
{
    QByteArray bytes;
    if (reply->error() == QNetworkReply::NoError)
        bytes = reply->read(kMaxImageBytes + 1);
    reply->abort();
    reply->deleteLater();
    if (storePictureAt(path, bytes)) {
        m_busy.remove(path);
        m_vouchedAt.remove(path);
        m_failedAt.remove(path);
        emit pictureReady(name);
    } else {
        failed(name, path);
    }
    finishOne();
}

void PreviewLoader::finishOne()
{
    if (--m_inFlight == 0)
        emit idle();
}
