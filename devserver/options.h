#pragma once

#include "devserver/faults.h"

#include <QList>
#include <optional>
#include <QString>
#include <QStringList>

// How long and how much a client may take of the connections.
struct ConnectionLimits
{
    int headerTimeoutMs = 10000; // from connecting, or the previous answer, to complete headers
    int bodyTimeoutMs = 10000;   // for the whole body of one request
    int answerTimeoutMs = 60000; // for writing one answer
    int ioTimeoutMs = 5000;      // for any single read or write
    int workers = 24;            // more are added while every one is busy, up to four times
    int maxConnections = 4096;
    int maxHeaderBytes = 32 * 1024;
    int maxRequestsPerConnection = 100;
};

// What accounts and anonymous callers may ask for, and how much is kept for them.
struct AbuseLimits
{
    int attemptLimit = 5;         // wrong codes or passwords per number (or name) before a lock
    int lockSeconds = 15 * 60;    // how long the lock holds, and the window failures count in
    int codeIntervalSeconds = 60; // between two codes sent to one number
    int codesPerAddress = 20;     // codes sent for one client address per window
    int tokenLifetimeSeconds = 30 * 24 * 3600;
    int tokensPerUser = 10;    // beyond it the oldest login is dropped
    int reportsPerMinute = 60; // per client address
    int maxReports = 10000;    // stored reports; the oldest go first
    int previewCache = 2000;   // pictures kept on disk; the least recently used go first
};

// What the command line asks of the development service.
struct DevServerOptions
{
    QString dataDir;
    int port = 8443;   // 0 picks a free port
    QString catalogue; // manifest file; empty means the built-in one
    int synthetic = 0; // > 0: serve that many fonts made from the manifest's files
    QString latestVersion = QStringLiteral("0.9.5");
    QString requestLog; // one JSON line per request when not empty
    QString updateFrom;               // program files of the update package; "" = own folder
    std::optional<QString> updateUrl; // package address handed out instead of our own
    QList<FaultRule> faults;
    int maxBody = 4 * 1024 * 1024; // larger request bodies get 413 unread
    ConnectionLimits connections;
    AbuseLimits limits;
};

// Reads the arguments after the program name. On failure returns false with a
// one-line reason in `error`; `help` is set when --help was asked for.
bool parseArguments(const QStringList &args, DevServerOptions *options, QString *error,
                    bool *help = nullptr);

QString usageText();
