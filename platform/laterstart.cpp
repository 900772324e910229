#include "platform/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
const char kRaise[] = "raise\n";
} // namespace

bool listenForLaterStarts(QObject *parent, std::function<void()> onRaise)
{
    auto *server = new QLocalServer(parent);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whoever holds the guard owns the name: a socket left by a crashed instance goes.
    QLocalServer::removeServer(instanceSocketName());
    if (!server->listen(instanceSocketName())) {
        delete server;
        return false;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onRaise] {
        while (QLocalSocket *peer = server->nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, onRaise] {
                // Only the one request is understood; anything else is dropped unread.
                if (!peer->canReadLine() && peer->bytesAvailable() < qint64(sizeof kRaise))
                    return;
                const bool raise = peer->readLine(sizeof kRaise) == kRaise;
                peer->disconnectFromServer();
                if (raise)
                    onRaise();
            });
        }
    });
    return true;
}

bool askRunningInstanceToRaise(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRaise);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return sent;
}
