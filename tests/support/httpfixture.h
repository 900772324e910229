#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server (plain, or HTTPS with a given certificate) on 127.0.0.1 for downloads in tests (font archives,
// update packages). It runs on the caller's event loop, so it serves while the code
// under test waits in a nested loop. Paths are matched as they appear on the request
// line (percent-encoded); unknown paths get a 404 page.
class HttpFixture : public QObject
{
    Q_OBJECT
public:
    struct Route
    {
        int status = 200;
        QByteArray body;
        bool hold = false; // answer only on release()
        bool drop = false; // close without answering
        bool endless = false; // a body without a length that never ends
    };
    // With a certificate and key (PEM files) it speaks HTTPS instead.
    explicit HttpFixture(const QString &certFile = QString(), const QString &keyFile = QString());
    bool isListening() const { return m_server.isListening(); }
    // encodedPath as it appears in the request line, e.g. "/f/a%20b.zip".
    QUrl url(const QString &encodedPath) const;
    void setRoute(const QString &encodedPath, const Route &route) { m_routes[encodedPath] = route; }
    int hits(const QString &encodedPath) const { return m_hits.value(encodedPath); }
    int totalHits() const { return m_totalHits; }
    void release();

private:
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Route &route);
    class Listener : public QTcpServer
    {
    public:
        QString certFile;
        QString keyFile;

    protected:
        void incomingConnection(qintptr descriptor) override;
    };
    Listener m_server;
    QMap<QString, Route> m_routes;
    QMap<QString, int> m_hits;
    int m_totalHits = 0;
    QList<QPair<QPointer<QTcpSocket>, Route>> m_held;
};
