#pragma once

#include "devserver/options.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// The development font service: HTTPS for the protocol and the downloads, plain
// HTTP for the password-reset page. Requests are received on the HTTP library's
// worker threads; everything that touches state runs on the thread that owns this
// object, which must run a Qt event loop.
class DevServer : public QObject
{
    Q_OBJECT
public:
    explicit DevServer(const DevServerOptions &options, QObject *parent = nullptr);
    ~DevServer() override;

    // Prepares the data folder (certificates, database, caches), loads the
    // catalogue, binds both ports on 127.0.0.1 and starts serving. Problems that
    // do not stop the service (fonts left out) come back in `warnings`.
    bool start(QString *error, QStringList *warnings);

    int port() const;
    int webPort() const;
    QString caPath() const;
    // "ready https://127.0.0.1:PORT/ ca=PATH web=http://127.0.0.1:PORT2/"
    QString readyLine() const;

    // Stops accepting connections; stopped() follows once running requests ended.
    void shutdown();

signals:
    void stopped();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Writes one line to standard output and flushes it, so that a reader on a pipe
// sees it at once. Safe from any thread.
void printLine(const QString &line);
