#include "service/transport.h"

#include "buildconfig.h"
#include "core/ftstorage.h"
#include "service/replyparser.h"

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

namespace {

// The result of a finished (or timed-out) post and its "bk=" line. On PostFailed and
// PostSuccess the reply bytes go to `bytes`; otherwise `bytes` is left as it was.
int postOutcome(QNetworkReply *reply, bool timedOut, QByteArray &bytes, FtStorage &log)
{
    int result;
    QString networkError;
    if (timedOut) {
        result = PostTimedOut;
    } else if (reply->error() == QNetworkReply::NoError) {
        bytes = reply->readAll();
        result = PostFailed;
    } else {
        result = PostNetworkError;
        networkError = reply->errorString();
    }

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

} // namespace

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

    // Unfinished after the loop: the time ran out, or a quit ended the loop early.
    const bool timedOut = !reply->isFinished();
    if (timedOut)
        QObject::disconnect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    else
        timer.stop();
    const int result = postOutcome(reply, timedOut, bytes, log);
    reply->abort();
    reply->deleteLater();
    return result;
}

QNetworkReply *postWithLimit(QNetworkAccessManager &manager, const QString &body, int timeoutMs,
                             FtStorage &log, QObject *context,
                             const std::function<void(int, const QByteArray &)> &done)
{
    QNetworkReply *reply = postForm(manager, body);
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        reply->setProperty("quilloraTimedOut", true);
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, timer, &log, done] {
        timer->stop();
        QByteArray bytes;
        const int result =
            postOutcome(reply, reply->property("quilloraTimedOut").toBool(), bytes, log);
        reply->deleteLater();
        done(result, bytes);
    });
    timer->start(timeoutMs);
    return reply;
}
