#pragma once

#include <QStringList>

// Each command takes the arguments after its command word and returns the
// process exit code; usage errors print a usage line to stderr and return 2.

// fontinfo FILE...
int runFontInfoCommand(const QStringList &args);
// scan [DIR...]
int runScanCommand(const QStringList &args);
// extract ARCHIVE DIR [--password TEXT]
int runExtractCommand(const QStringList &args);
// activate FILE [--name NAME]: prints the activation result; exit 0 when positive
int runActivateCommand(const QStringList &args);
// details FILE...: names, glyph and character counts, writing-system coverage
int runDetailsCommand(const QStringList &args);
