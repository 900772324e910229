#include "httpfixture.h"

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>

void HttpFixture::Listener::incomingConnection(qintptr descriptor)
{
    if (certFile.isEmpty()) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    QFile key(keyFile);
    key.open(QIODevice::ReadOnly);
    socket->setLocalCertificate(certFile);
    socket->setPrivateKey(QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem)); // TestCertificates' kind
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);                 // clients show none
    socket->startServerEncryption();
    addPendingConnection(socket);
}

HttpFixture::HttpFixture(const QString &certFile, const QString &keyFile)
{
    m_server.certFile = certFile;
    m_server.keyFile = keyFile;
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpFixture::url(const QString &encodedPath) const
{
    return QUrl(QString("%1://127.0.0.1:%2%3")
                    .arg(m_server.certFile.isEmpty() ? "http" : "https")
                    .arg(m_server.serverPort())
                    .arg(encodedPath));
}

void HttpFixture::onReadyRead(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    const QString path = QString::fromLatin1(request.split(' ').value(1));
    ++m_hits[path];
    ++m_totalHits;
    const Route route = m_routes.value(path, Route{404, "<html>not found</html>"});
    if (route.hold)
        m_held.append({socket, route});
    else
        answer(socket, route);
}

void HttpFixture::answer(QTcpSocket *socket, const Route &route)
{
    if (route.drop) {
        socket->abort();
        return;
    }
    if (route.endless) {
        socket->write("HTTP/1.1 200 X\r\nContent-Type: application/zip\r\nConnection: close\r\n\r\n");
        // Bounded all the same, so a client that never stops reading ends too.
        auto more = [socket, sent = qint64(0)]() mutable {
            if (socket->bytesToWrite() == 0 && (sent += 1 << 16) <= (qint64(256) << 20))
                socket->write(QByteArray(1 << 16, 'z'));
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
        return;
    }
    socket->write(QString("HTTP/1.1 %1 X\r\nContent-Type: application/zip\r\nContent-Length: "
                          "%2\r\nConnection: close\r\n\r\n")
                      .arg(route.status)
                      .arg(route.body.size())
                      .toLatin1() +
                  route.body);
    socket->disconnectFromHost();
}

void HttpFixture::release()
{
    const auto held = m_held;
    m_held.clear();
    for (const auto &entry : held) {
        if (entry.first)
            answer(entry.first, entry.second);
    }
}
