#pragma once

#include <QString>

// The running program's own version; written to the user data file as "m_preVersion".
inline const QString kProgramVersion = QStringLiteral("0.9.5_beta");

// "major.minor.patch" as major * 1000000 + minor * 1000 + patch; 0 for anything malformed.
int versionNumber(const QString &version);

// -1 when either version is invalid, 2 when `other` is older than `current`, 1 when
// equal, 0 when `other` is newer.
int compareVersions(const QString &current, const QString &other);
