#pragma once

#include <QByteArray>
#include <QString>

// Writes a zip archive entry by entry: file entries from bytes, optional
// directory entries, names taken as UTF-8 bytes and stored as given. With a
// non-empty password every file entry is protected with the traditional zip
// cipher (the same password text extractArchive takes), readable by any zip tool.
//
//     ZipWriter zip(path, password);
//     zip.addDirectory("fonts/");
//     zip.addFile("fonts/a.ttf", bytes);
//     ok = zip.close();
class ZipWriter
{
public:
    enum class Method { Deflate, Store };

    explicit ZipWriter(const QString &archivePath, const QString &password = QString());
    ~ZipWriter(); // closes an archive still open; use close() to learn the outcome
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    // A '/' is appended when the name lacks one.
    bool addDirectory(const QByteArray &name);
    bool addFile(const QByteArray &name, const QByteArray &data, Method method = Method::Deflate);
    // Writes the central directory. False when it or any earlier step failed.
    bool close();
    QString errorString() const { return m_error; }

private:
    bool addEntry(const QByteArray &name, const QByteArray &stored, int method, bool encrypted,
                  quint64 size, quint32 crc, bool directory);
    bool fail(const QString &message);

    void *m_zip = nullptr;
    QByteArray m_password;
    QString m_error;
    bool m_failed = false;
};
