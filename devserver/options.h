#pragma once

#include "faults.h"

#include <QList>
#include <optional>
#include <QString>
#include <QStringList>

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
};

// Reads the arguments after the program name. On failure returns false with a
// one-line reason in `error`; `help` is set when --help was asked for.
bool parseArguments(const QStringList &args, DevServerOptions *options, QString *error,
                    bool *help = nullptr);

QString usageText();
