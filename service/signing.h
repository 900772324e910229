#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The signing rules of the service protocol, shared by the client and the
// development service.

// Key the service and the client share for request signatures.
inline constexpr char kSigningKey[] = "Rq4!zW#8p&";

// 32 lowercase hexadecimal characters.
QString md5Hex(const QByteArray &bytes);

// The signature of a parameter list: MD5 over the sorted "key=value" entries joined by
// "&", then MD5 of that digest followed by the signing key.
QString signatureOf(const QStringList &params);

// The body of a request: "tag=..", "secret=<signature>", then the other entries in
// building order, joined by "&". An empty list gives an empty body. Inside values, "%",
// "&", "+" and "=" are sent as %25, %26, %2B and %3D so that a form reader gets the
// value back intact; the signature covers the values as given.
QString signParams(const QStringList &params);

// The profile upload body: the signature goes last, and a leading "head=" entry is
// signed as Base64 but sent fully percent-encoded. Other values as for signParams.
QString signProfileParams(const QStringList &params);

// The password of a font archive, derived from its download address:
// md5hex(md5hex(file name) + md5hex(address)); empty for an empty address.
QString archivePassword(const QString &downloadUrl);
