#pragma once

#include <QString>

// The files of the local certificate authority and of the service's certificate
// for localhost and 127.0.0.1, all inside the data directory.
struct TlsFiles
{
    QString caCert;      // what clients are told to trust
    QString caKey;
    QString serverCert;
    QString serverKey;
};

// Makes sure a usable authority and server certificate exist in `dir`: an
// authority is created only when none can be loaded, so clients that trust it
// keep working across restarts; the server certificate is issued again when it
// is missing, expiring within a day or not signed by the authority. Private keys
// are written readable by the owner only.
bool ensureTlsFiles(const QString &dir, TlsFiles *files, QString *error);
