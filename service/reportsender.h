#pragma once

#include <QDateTime>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

class FtManager;
class QNetworkAccessManager;


// Usage, run-time, install and launch reports and problem reports. Every report is best
// effort and never shown to the user; only the usage report's counters depend on the
// outcome: they are cleared when the service confirms, and kept for next time otherwise.
class ReportSender : public QObject
{
    Q_OBJECT

public:
    ReportSender(FtManager &manager, QNetworkAccessManager &network, QObject *parent = nullptr);
    ~ReportSender() override;

    // Time limit of the synchronous reports, 10000 ms unless changed.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }

    // Downloaded ids and use counts (tag 103); the body is kept in "postuse.txt". Returns
    // the postAndWait result, or -1 when there was nothing to report.
    int sendUsageReport();
    int sendDurationReport(qint64 seconds); // tag 126
    int sendInstallReport();                // tag 124; logs "installPost():" and the result
    int sendLaunchReport();                 // tag 125

    // The start-up's launch report (when `launch`) and install report (when `install`),
    // held until sendStartupReports(): nobody waits for them, so they can follow what
    // the user does wait for.
    void queueStartupReports(bool launch, bool install);
    // Sends the held reports one after the other on the caller's manager without
    // waiting, each within the time limit and logged as the forms above log.
    void sendStartupReports();
    bool startupReportsPending() const { return m_inFlight || !m_queue.isEmpty(); }
    // Waits until the start-up reports are through, at most the time limit of each
    // (and a second) on the clock, and gives up what is left; the end of a run does
    // this first.
    void finishStartupReports();

    // The end of a run: the duration report, the end time and run length log lines, and
    // the usage report while a user is signed in.
    void reportRunEnd(const QDateTime &start, const QDateTime &end);

    // A problem report (tag 120) with the text that went to the log; the reply goes to
    // onPostBugBack().
    QNetworkReply *postBug(const QString &errorText, const QString &clientName = QString(),
                           const QString &clientVersion = QString());

public slots:
    void onPostBugBack();

private:
    void postNextQueued();
    void logInstallResult(int result);

    struct Queued
    {
        QString body;
        void (ReportSender::*after)(int result);
    };
    QList<Queued> m_queue;
    QPointer<QNetworkReply> m_inFlight;
    bool m_sendQueued = false;
    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    int m_timeoutMs = 10000;
};
