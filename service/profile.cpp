#include "service/profile.h"

#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace Profile {

bool UploadResult::succeeded() const
{
    return result == PostSuccess;
}

QImage readCappedImage(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxHeadBytes)
        return QImage();
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Checked before decoding, so a small file cannot ask for a huge picture.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxHeadSide || size.height() > kMaxHeadSide)
        return QImage();
    return reader.read();
}

QString headImageText(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    const QImage image = readCappedImage(in.read(kMaxHeadBytes + 1));
    if (image.isNull())
        return QString();
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG", 20))
        return QString();
    return QString::fromLatin1(png.toBase64());
}

UploadResult upload(FtManager &manager, int timeoutMs)
{
    UserRecord &user = manager.loggedInUser();
    UploadResult r;
    const QString head = user.bHeadPending ? headImageText(manager.headImageFile()) : QString();
    r.sentHead = !head.isEmpty();
    const QString body =
        RequestBuilder::modifyUser(head, manager.requestContext.token, user.nick_name, user.sex,
                                   user.introduce, user.birthday, user.province, user.city);
    QByteArray bytes;
    r.result = postAndWait(body, bytes, timeoutMs, manager);
    if (r.result == PostTimedOut) {
        manager.writeLog(QStringLiteral("Headimg-modify:NET_TIMEOUT"));
        r.message = QStringLiteral("网络超时，个人信息未能保存");
        return r;
    }
    if (r.result == PostNetworkError) {
        manager.writeLog(QStringLiteral("Headimg-modify:NET_ERR"));
        r.message = QStringLiteral("网络异常，个人信息未能保存");
        return r;
    }
    const ReplyEnvelope envelope = dispatchReply(bytes, manager);
    if (envelope.succeeded()) {
        manager.writeLog(QStringLiteral("Headimg-modify:successful"));
        r.result = PostSuccess;
        return r;
    }
    r.result = PostFailed;
    r.message = envelope.message.isEmpty() ? QStringLiteral("个人信息未能保存") : envelope.message;
    return r;
}

} // namespace Profile

HeadImageLoader::HeadImageLoader(QNetworkAccessManager &network, const QString &file,
                                 QObject *parent)
    : QObject(parent), m_network(network), m_file(file)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HeadImageLoader::cancel);
}

bool HeadImageLoader::fetch(const QString &address, int timeoutMs)
{
    cancel();
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid() || url.scheme() != QLatin1String("https") ||
        url.host().isEmpty())
        return false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_fileBefore = fileState();
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (received > Profile::kMaxHeadBytes && reply == m_reply)
            cancel();
    });
    connect(reply, &QNetworkReply::finished, this, &HeadImageLoader::onFinished);
    m_timer.start(timeoutMs);
    return true;
}

void HeadImageLoader::cancel()
{
    m_timer.stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        emit finished(false);
    }
}

void HeadImageLoader::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply || reply != sender())
        return;
    m_reply = nullptr;
    m_timer.stop();
    const bool ok = reply->error() == QNetworkReply::NoError;
    const QImage image =
        ok ? Profile::readCappedImage(reply->read(Profile::kMaxHeadBytes + 1)) : QImage();
    reply->deleteLater();
    // A picture the user chose and saved while this was on its way is newer: it stays.
    if (fileState() != m_fileBefore) {
        emit finished(false);
        return;
    }
    emit finished(!image.isNull() && image.save(m_file));
}

QString HeadImageLoader::fileState() const
{
    const QFileInfo info(m_file);
    if (!info.exists())
        return QString();
    return QString::number(info.size()) + QLatin1Char('/') +
           QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('/') +
           QString::number(info.metadataChangeTime().toMSecsSinceEpoch());
}
