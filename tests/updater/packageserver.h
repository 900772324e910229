#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A plain HTTP server on 127.0.0.1 for the updater tests. It answers GET requests
// for the paths it was given and runs on the caller's event loop, so it serves
// while the updater waits for its download.
class PackageServer : public QObject
{
    Q_OBJECT

public:
    explicit PackageServer(QObject *parent = nullptr);

    bool listen();
    // Address of `path` (as it appears on the request line, percent-encoded).
    QString url(const QByteArray &path) const;

    void serve(const QByteArray &path, const QByteArray &body, int status = 200);
    // Requests for this path are read and never answered.
    void hang(const QByteArray &path);

    QList<QByteArray> requestedPaths() const { return m_requested; }

private:
    struct Response
    {
        int status = 404;
        QByteArray body;
        bool hang = false;
    };
    void onNewConnection();
    void answer(QTcpSocket *socket, const QByteArray &path);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_responses;
    QList<QByteArray> m_requested;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
