#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class FtManager;
class QNetworkAccessManager;
class QNetworkReply;

// Fetches the preview pictures of catalogue fonts into the images folder, where they stay
// cached by name and preview kind (the name, the English or digit sample, or a typed
// text, each under its own file name). A name picture whose catalogue record carries an
// image address is fetched directly; the others are collected and asked for in one
// image-list request with the preview text. Each picture is tried once per run. GUI
// thread only.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    // Pictures larger than this are refused.
    static constexpr qint64 kMaxImageBytes = 4 * 1024 * 1024;

    PreviewLoader(FtManager &manager, QNetworkAccessManager &network, QObject *parent = nullptr);

    // The preview the cards show from now on: kind and text (empty for the name).
    void setPreview(int kind, const QString &text);
    int previewKind() const { return m_kind; }
    const QString &previewText() const { return m_text; }

    // Where the picture of a font is cached for the current preview.
    QString picturePath(const QString &name) const;

    // Saves picture bytes as PNG under the cache path of the name. False when the bytes
    // are not an image.
    bool storePicture(const QString &name, const QByteArray &bytes) const
    {
        return storePictureAt(picturePath(name), bytes);
    }
    bool storePictureAt(const QString &path, const QByteArray &bytes) const;

    int pendingCount() const { return m_inFlight; }

public slots:
    // Fetches the picture unless it is cached or was asked for already.
    void request(const QString &name);

signals:
    // A picture was stored under picturePath(name).
    void pictureReady(const QString &name);
    // The last outstanding request finished (for tests and logs).
    void idle();

private:
    void flushImageList();
    void onImageListReply(QNetworkReply *reply, const QHash<int, QString> &ids, int kind,
                          const QString &text);
    void fetch(const QString &name, const QString &address, const QString &path);
    void onPictureReply(QNetworkReply *reply, const QString &name, const QString &path);
    void finishOne();

    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    int m_kind = 0;
    QString m_text;
    QSet<QString> m_tried; // cache paths
    QStringList m_pendingList;
    bool m_flushScheduled = false;
    int m_inFlight = 0;
};
