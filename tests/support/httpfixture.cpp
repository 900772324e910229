#include "httpfixture.h"

#include <QTcpSocket>

HttpFixture::HttpFixture()
{
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
    return QUrl(QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(encodedPath));
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
