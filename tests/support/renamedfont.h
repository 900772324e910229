#pragma once

#include <QString>

// Tests that need other processes to find a font use a real font whose family
// only the test's copy carries.

// Whether the source font (DejaVu Sans, from fonts-dejavu-core) is installed.
bool haveRealFont();

// A copy of DejaVu Sans at `path` whose family reads `family` (exactly 11 characters,
// the length of "DejaVu Sans": the names are patched in place, in the UTF-16BE and the
// single-byte records).
bool writeRenamedFont(const QString &path, const QString &family);

// "family|file" of the best match a separate fc-match process finds.
QString fcMatch(const QString &family);
