#pragma once

#include <QString>

// An update package is fetched only over verified TLS from a named host: a plain
// http:// address could be swapped on the way, and a file:// one would install
// whatever lies at that path. Both the program and the updater hold to this.
bool isUsablePackageAddress(const QString &url);
