#include "service/reportsender.h"

#include "fonts/ftmanager.h"
#include "core/logging.h"
#include "platform/privatefile.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

ReportSender::ReportSender(FtManager &manager, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), m_manager(manager), m_network(network)
{
}

ReportSender::~ReportSender()
{
    m_queue.clear();
    if (m_inFlight) {
        m_inFlight->disconnect(this);
        m_inFlight->abort();
    }
}

int ReportSender::sendUsageReport()
{
    if (m_manager.download_ids.isEmpty() && m_manager.activation.isEmpty())
        return -1;
    const QString body = RequestBuilder::usageReport(m_manager.requestContext.token,
                                                     m_manager.download_ids, m_manager.activation);

    if (m_manager.messagesDir().isEmpty() || !QDir(m_manager.messagesDir()).exists())
        m_manager.createDirectories();
    // The body carries the session token.
    writePrivateFile(m_manager.messagesDir() + QStringLiteral("postuse.txt"), body.toUtf8());

    QByteArray reply;
    const int result = postAndWait(body, reply, m_timeoutMs, m_manager);
    if (result == PostSuccess) {
        m_manager.download_ids.clear();
        m_manager.activation.clear();
        m_manager.writeLog(QStringLiteral("统计用字情况：上报成功."));
    }
    return result;
}

int ReportSender::sendDurationReport(qint64 seconds)
{
    QByteArray reply;
    return postAndWait(RequestBuilder::durationReport(m_manager.requestContext.token, seconds),
                       reply, m_timeoutMs, m_manager);
}

int ReportSender::sendInstallReport()
{
    QByteArray reply;
    const int result = postAndWait(RequestBuilder::installReport(), reply, m_timeoutMs, m_manager);
    logInstallResult(result);
    return result;
}

int ReportSender::sendLaunchReport()
{
    QByteArray reply;
    return postAndWait(RequestBuilder::launchReport(m_manager.requestContext.token), reply,
                       m_timeoutMs, m_manager);
}

void ReportSender::logInstallResult(int result)
{
    m_manager.writeLog(QStringLiteral("installPost():") + QString::number(result));
}

void ReportSender::queueStartupReports(bool launch, bool install)
{
    if (launch)
        m_queue.append({RequestBuilder::launchReport(m_manager.requestContext.token), nullptr});
    if (install)
        m_queue.append({RequestBuilder::installReport(), &ReportSender::logInstallResult});
    if (m_sendQueued && !m_inFlight)
        postNextQueued();
}

void ReportSender::sendStartupReports()
{
    m_sendQueued = true;
    if (!m_inFlight)
        postNextQueued();
}

void ReportSender::postNextQueued()
{
    if (m_queue.isEmpty())
        return;
    const Queued next = m_queue.takeFirst();
    m_inFlight = postWithLimit(m_network, next.body, m_timeoutMs, m_manager, this,
                               [this, next](int result, const QByteArray &) {
                                   m_inFlight = nullptr;
                                   if (next.after)
                                       (this->*next.after)(result);
                                   postNextQueued();
                               });
}

void ReportSender::finishStartupReports()
{
    sendStartupReports();
    // Bounded by the clock, not by the replies: once quit() was called every nested
    // event loop returns at once, so waiting for a reply's own timer could spin forever.
    const int limit = m_timeoutMs * (int(m_queue.size()) + (m_inFlight ? 1 : 0)) + 1000;
    const QDeadlineTimer deadline(limit);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(limit);
    while (startupReportsPending() && !deadline.hasExpired()) {
        if (!m_inFlight)
            postNextQueued();
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // What is still out is given up; its result is logged as a failure.
    m_queue.clear();
    if (m_inFlight)
        m_inFlight->abort();
}

void ReportSender::reportRunEnd(const QDateTime &start, const QDateTime &end)
{
    finishStartupReports();
    const qint64 seconds = start.secsTo(end);
    sendDurationReport(seconds);
    m_manager.writeLog(QStringLiteral("程序结束:") +
                       end.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz")));
    m_manager.writeLog(QStringLiteral("统计程序时长：") + formatRunLength(seconds));
    if (m_manager.bLogin)
        sendUsageReport();
}

QNetworkReply *ReportSender::postBug(const QString &errorText, const QString &clientName,
                                     const QString &clientVersion)
{
    QNetworkReply *reply =
        postForm(m_network, RequestBuilder::bugPost(m_manager.requestContext.token, errorText,
                                                    clientName, clientVersion));
    connect(reply, &QNetworkReply::finished, this, &ReportSender::onPostBugBack);
    return reply;
}

void ReportSender::onPostBugBack()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    const ReplyEnvelope envelope = parseEnvelope(reply->readAll());
    m_manager.writeLog(QStringLiteral("BugPost:tag=%1;err=%2;message=%3;")
                           .arg(envelope.tag)
                           .arg(envelope.errcode)
                           .arg(singleLine(envelope.message)));
    reply->abort();
    reply->deleteLater();
}
