#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class FtManager;
class QNetworkAccessManager;
class QNetworkReply;

// Fetches the name pictures of catalogue fonts into the images folder, where they stay
// cached by name. A font whose catalogue record carries an image address is fetched
// directly; the others are collected and asked for in one image-list request. Each name
// is tried once per run. GUI thread only.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    // Pictures larger than this are refused.
    static constexpr qint64 kMaxImageBytes = 4 * 1024 * 1024;

    PreviewLoader(FtManager &manager, QNetworkAccessManager &network, QObject *parent = nullptr);

    // Where the name picture of a font is cached.
    QString picturePath(const QString &name) const;

    // Saves picture bytes as PNG under the cache path of the name. False when the bytes
    // are not an image.
    bool storePicture(const QString &name, const QByteArray &bytes) const;

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
    void onImageListReply(QNetworkReply *reply, const QHash<int, QString> &ids);
    void fetch(const QString &name, const QString &address);
    void onPictureReply(QNetworkReply *reply, const QString &name);
    void finishOne();

    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    QSet<QString> m_tried;
    QStringList m_pendingList;
    bool m_flushScheduled = false;
    int m_inFlight = 0;
};
