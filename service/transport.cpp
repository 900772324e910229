#include "transport.h"

#include "buildconfig.h"
#include "ftstorage.h"
#include "replyparser.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

QUrl &configuredUrl()
{
    static QUrl url(QStringLiteral(QUILLORA_SERVICE_URL));
    return url;
}

} // namespace

QUrl serviceUrl()
{
    return configuredUrl();
}

void setServiceUrl(const QUrl &url)
{
    configuredUrl() = url;
}

QNetworkRequest serviceRequest(int bodyLength)
{
    QNetworkRequest request(serviceUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, bodyLength);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    return request;
}

QNetworkReply *postForm(QNetworkAccessManager &manager, const QString &body)
{
    const QByteArray bytes = body.toUtf8();
    return manager.post(serviceRequest(bytes.size()), bytes);
}

int postAndWait(const QString &body, QByteArray &bytes, int timeoutMs, FtStorage &log)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = postForm(manager, body);

    QTimer timer;
    timer.setSingleShot(true);
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    int result;
    QString networkError;
    if (!timer.isActive() && !reply->isFinished()) {
        QObject::disconnect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        result = PostTimedOut;
    } else {
        timer.stop();
        if (reply->error() == QNetworkReply::NoError) {
            bytes = reply->readAll();
            result = PostFailed;
        } else {
            result = PostNetworkError;
            networkError = reply->errorString();
        }
    }
    reply->abort();
    reply->deleteLater();

    QString line = QStringLiteral("bk=") + QString::number(result);
    if (result == PostFailed) {
        const ReplyEnvelope envelope = parseEnvelope(bytes);
        line += QStringLiteral(";tag=%1;errcode=%2;message=%3")
                    .arg(envelope.tag)
                    .arg(envelope.errcode)
                    .arg(singleLine(envelope.message));
        if (envelope.errcode == 0)
            result = PostSuccess;
    } else if (result == PostNetworkError) {
        // Which failure it was: refused, TLS, HTTP status...
        line += QStringLiteral(";error=") + singleLine(networkError);
    }
    log.writeLog(line);
    return result;
}
