#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

class QSslSocket;

// A certificate authority and two server certificates for 127.0.0.1 and localhost, made
// with the openssl command in a private folder: one issued by the authority (trust it
// with addTrustedCertificateAuthorities(caFile())) and one self-signed that nothing
// trusts.
class TestCertificates
{
public:
    // Runs openssl; false (with the reason in `error`) when that failed.
    bool generate(QString *error = nullptr);

    QString caFile() const { return m_dir.filePath("ca.pem"); }
    QString serverCertFile() const { return m_dir.filePath("server.pem"); }
    QString serverKeyFile() const { return m_dir.filePath("server.key"); }
    QString untrustedCertFile() const { return m_dir.filePath("rogue.pem"); }
    QString untrustedKeyFile() const { return m_dir.filePath("rogue.key"); }

private:
    bool run(const QStringList &arguments, QString *error);
    QTemporaryDir m_dir;
};

struct CapturedRequest
{
    QByteArray method;
    QByteArray target;
    QList<QPair<QByteArray, QByteArray>> headers; // names lower-cased, in arrival order
    QByteArray body;

    QByteArray header(const QByteArray &lowerName) const;
};

// A one-thread HTTPS/1.1 server for tests: it runs on the event loop of the thread that
// owns it, so a client waiting in a nested event loop on the same thread is served.
// Every request is recorded; what comes back is chosen per test.
class TestHttpsServer : public QTcpServer
{
    Q_OBJECT

public:
    enum Behaviour {
        Respond, // answer with the reply body (or the handler's)
        Hang,    // read the request, never answer
        Drop,    // read the request, then close the connection without a word
    };

    TestHttpsServer(const QString &certFile, const QString &keyFile, QObject *parent = nullptr);

    // Listens on a free port of 127.0.0.1.
    bool start();
    // "https://127.0.0.1:<port>/"
    QUrl url() const;

    void setBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }
    void setReply(const QByteArray &body, int status = 200)
    {
        m_replyBody = body;
        m_status = status;
    }
    // Computes the reply body per request instead of the fixed one.
    void setHandler(std::function<QByteArray(const CapturedRequest &)> handler)
    {
        m_handler = std::move(handler);
    }

    const QList<CapturedRequest> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void readFrom(QSslSocket *socket);
    void answer(QSslSocket *socket, const CapturedRequest &request);

    QSslCertificate m_certificate;
    QSslKey m_key;
    Behaviour m_behaviour = Respond;
    QByteArray m_replyBody;
    int m_status = 200;
    std::function<QByteArray(const CapturedRequest &)> m_handler;
    QList<CapturedRequest> m_requests;
};
