#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

// Runs quillora-devserver for a test: starts it on a free port with a data folder of
// the test's choosing, reads its ready line, collects what it prints afterwards
// (verification codes), and stops it with SIGTERM.
//
//     DevServerProcess server;
//     QVERIFY2(server.start(dir.path()), qPrintable(server.errorString()));
//     addTrustedCertificateAuthorities(server.caFile());
//     setServiceUrl(server.url());
class DevServerProcess
{
public:
    // The program built with the tests, or $QUILLORA_DEVSERVER when set.
    static QString defaultProgram();

    explicit DevServerProcess(const QString &program = defaultProgram());
    ~DevServerProcess(); // stops a running server
    DevServerProcess(const DevServerProcess &) = delete;
    DevServerProcess &operator=(const DevServerProcess &) = delete;

    // Runs "--data dataDir --port 0" plus `extraArguments` and waits for the ready
    // line. False, with the reason in errorString(), when it ends or stays silent.
    bool start(const QString &dataDir, const QStringList &extraArguments = {},
               int timeoutMs = 30000);
    // SIGTERM, then SIGKILL after `timeoutMs`. True when it ended by itself with status 0.
    bool stop(int timeoutMs = 15000);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    QUrl url() const { return m_url; }       // "https://127.0.0.1:PORT/"
    QString caFile() const { return m_caFile; }
    QUrl webUrl() const { return m_webUrl; } // "http://127.0.0.1:PORT2/"

    // Waits for "verification code for PHONE: CODE" and returns CODE (empty on timeout).
    // Each printed code is returned once.
    QString waitForCode(const QString &phone, int timeoutMs = 10000);
    // Lines printed after the ready line, so far.
    QStringList outputLines();

    QString errorString() const { return m_error; }
    QByteArray standardError();

private:
    void readLines();

    QString m_program;
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    int m_consumed = 0;
    QUrl m_url;
    QUrl m_webUrl;
    QString m_caFile;
    QString m_error;
    QByteArray m_stderr;
};
