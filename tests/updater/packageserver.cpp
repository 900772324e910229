#include "packageserver.h"

#include <QTcpSocket>

PackageServer::PackageServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &PackageServer::onNewConnection);
}

bool PackageServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QString PackageServer::url(const QByteArray &path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) +
           QString::fromLatin1(path);
}

void PackageServer::serve(const QByteArray &path, const QByteArray &body, int status)
{
    m_responses.insert(path, Response{status, body, false});
}

void PackageServer::hang(const QByteArray &path)
{
    m_responses.insert(path, Response{0, QByteArray(), true});
}

void PackageServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray &pending = m_pending[socket];
            pending += socket->readAll();
            if (!pending.contains("\r\n\r\n"))
                return;
            // "GET /path HTTP/1.1"
            const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
            m_pending.remove(socket);
            answer(socket, requestLine.size() == 3 ? requestLine.at(1) : QByteArray());
        });
    }
}

void PackageServer::answer(QTcpSocket *socket, const QByteArray &path)
{
    m_requested.append(path);
    const Response response = m_responses.value(path);
    if (response.hang)
        return;
    const QByteArray reason = response.status == 200 ? "OK" : "Not Found";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason + "\r\n";
    head += "Content-Type: application/zip\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    socket->write(response.body);
    socket->disconnectFromHost();
}
