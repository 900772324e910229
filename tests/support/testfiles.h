#pragma once

#include <QByteArray>
#include <QString>

// A file's whole content; empty when it cannot be read.
QByteArray fileBytes(const QString &path);
// The same, decoded as UTF-8 (log files, installed text files).
QString fileText(const QString &path);
