#pragma once

#include <QStringList>

// Each command takes the arguments after its command word and returns the
// process exit code; usage errors print a usage line to stderr and return 2.

// extract ARCHIVE DIR [--password TEXT]
int runExtractCommand(const QStringList &args);
