#pragma once

#include <QString>

// Adds the certificate authorities in a PEM file to the default TLS configuration, so
// that every later connection trusts them besides the system's. Certificates are still
// verified in full; nothing here ignores TLS errors. Returns the number added.
int addTrustedCertificateAuthorities(const QString &pemFile);

// The development build's local service has its own authority, placed beside the
// program as "quillora-ca.pem" by the demo script. Returns the number added (0 when
// there is no such file, as in an installed program).
int trustBundledCertificateAuthority();
