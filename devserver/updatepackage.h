#pragma once

#include <QString>
#include <QStringList>

// The update package: laid out like the installed program folder, so that the updater's
// copy replaces the installed files, plus a marker "UPDATE-<version>.txt" that shows which
// package was installed.
namespace UpdatePackage {

// The program files a package carries, when present in the source folder.
QStringList programFiles();

// Name of the zip inside the cache: changes with the version and with every change of
// the source files, so a rebuilt program is never served from an old package.
QString cacheName(const QString &sourceDir, const QString &version);

// Writes the package to `zipPath`. False with a reason when a file cannot be read or
// the archive cannot be written.
bool build(const QString &zipPath, const QString &sourceDir, const QString &version,
           QString *error);

} // namespace UpdatePackage

// The "join the group" pages the feedback dialog's QR codes point at, served beside the
// password-reset page. Null when `path` names none of them.
QByteArray groupPage(const QString &path);
