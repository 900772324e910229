#include "testhttpsserver.h"
#include "testfiles.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>

namespace {

constexpr int kMaxRequestBytes = 16 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

bool TestCertificates::run(const QStringList &arguments, QString *error)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("openssl %1: %2")
                         .arg(arguments.join(' '), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

bool TestCertificates::generate(QString *error)
{
    if (!m_dir.isValid()) {
        if (error)
            *error = QStringLiteral("no temporary folder");
        return false;
    }
    QFile ext(m_dir.filePath("server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("basicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\n"
              "extendedKeyUsage=serverAuth\n"
              "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    ext.close();

    const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    return run(QStringList{"req", "-x509"} + ec +
                   QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                               "/CN=Quillora Test Authority", "-addext",
                               "basicConstraints=critical,CA:TRUE", "-addext",
                               "keyUsage=critical,keyCertSign,cRLSign"},
               error) &&
           run(QStringList{"req"} + ec +
                   QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj",
                               "/CN=localhost"},
               error) &&
           run({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
               error) &&
           run(QStringList{"req", "-x509"} + ec +
                   QStringList{"-keyout", "rogue.key", "-out", "rogue.pem", "-days", "2", "-subj",
                               "/CN=localhost", "-addext",
                               "subjectAltName=DNS:localhost,IP:127.0.0.1"},
               error);
}

QByteArray CapturedRequest::header(const QByteArray &lowerName) const
{
    for (const auto &h : headers) {
        if (h.first == lowerName)
            return h.second;
    }
    return QByteArray();
}

TestHttpsServer::TestHttpsServer(const QString &certFile, const QString &keyFile, QObject *parent)
    : QTcpServer(parent), m_certificate(fileBytes(certFile), QSsl::Pem),
      m_key(fileBytes(keyFile), QSsl::Ec, QSsl::Pem)
{
}

bool TestHttpsServer::start()
{
    return !m_certificate.isNull() && !m_key.isNull() && listen(QHostAddress::LocalHost, 0);
}

QUrl TestHttpsServer::url() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(serverPort()));
}

void TestHttpsServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone); // clients present no certificate
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket,
            [socket](QAbstractSocket::SocketError) { socket->deleteLater(); });
    socket->startServerEncryption();
}

void TestHttpsServer::readFrom(QSslSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    if (buffer.size() > kMaxRequestBytes) {
        socket->abort();
        return;
    }
    socket->setProperty("buffer", buffer);
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    CapturedRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.append({lines.at(i).left(colon).trimmed().toLower(),
                                    lines.at(i).mid(colon + 1).trimmed()});
    }
    bool ok = false;
    const int length = request.header("content-length").toInt(&ok);
    const int bodyStart = headerEnd + 4;
    if (ok && (length < 0 || length > kMaxRequestBytes)) {
        socket->abort();
        return;
    }
    if (ok && buffer.size() - bodyStart < length)
        return; // the rest of the body is still on its way
    request.body = buffer.mid(bodyStart, ok ? length : 0);
    socket->setProperty("buffer", QByteArray());
    m_requests.append(request);
    answer(socket, request);
}

void TestHttpsServer::answer(QSslSocket *socket, const CapturedRequest &request)
{
    switch (m_behaviour) {
    case Hang:
        return;
    case Drop:
        socket->abort();
        return;
    case Respond:
        break;
    }
    const QByteArray body = m_handler ? m_handler(request) : m_replyBody;
    QByteArray response =
        "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + "\r\n";
    response += "Content-Type: application/json; charset=utf-8\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += body;
    socket->write(response);
    socket->disconnectFromHost();
}
