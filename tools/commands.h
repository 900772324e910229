#pragma once

#include <QStringList>

// quillora-cli commands. Each takes the arguments after its command word and
// returns the process exit code; usage errors print a usage line on stderr.

// extract ARCHIVE DIR [--password TEXT]
int runExtractCommand(const QStringList &args);
int runFontInfoCommand(const QStringList &args);
int runScanCommand(const QStringList &args);
// activate FILE [--name NAME]: prints the activation result; exit 0 when positive
int runActivateCommand(const QStringList &args);

// Exit code for a usage error.
constexpr int kUsageExit = 2;
