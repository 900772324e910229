#pragma once

#include <QElapsedTimer>
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
// image-list request with the preview text. A fetch that failed may be asked for again
// once a short pause has passed; a cached file that does not decode is fetched again.
// GUI thread only.
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

    // Saves picture bytes as PNG under the cache path of the name, scaled into the
    // preview box. False, and nothing stored, when decodePreviewPicture refuses them.
    bool storePicture(const QString &name, const QByteArray &bytes) const
    {
        return storePictureAt(picturePath(name), bytes);
    }
    bool storePictureAt(const QString &path, const QByteArray &bytes) const;

    int pendingCount() const { return m_inFlight; }

    // How long a failed name is left alone before a new request fetches it again.
    void setRetryPause(int ms) { m_retryPauseMs = ms; }
    static constexpr int kDefaultRetryPauseMs = 3000;

public slots:
    // Fetches the picture unless it is cached or was asked for already.
    void request(const QString &name);

signals:
    // A picture was stored under picturePath(name).
    void pictureReady(const QString &name);
    // No picture for the name this time; a later request may try again.
    void pictureFailed(const QString &name);
    // The last outstanding request finished (for tests and logs).
    void idle();

private:
    void flushImageList();
    void onImageListReply(QNetworkReply *reply, const QHash<int, QString> &ids, int kind,
                          const QString &text);
    void fetch(const QString &name, const QString &address, const QString &path);
    void onPictureReply(QNetworkReply *reply, const QString &name, const QString &path);
    void finishOne();
    void failed(const QString &name, const QString &path);
    bool cachedPictureUsable(const QString &path);

    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    int m_kind = 0;
    QString m_text;
    // Both by cache path, so each preview kind of a font is fetched on its own.
    QSet<QString> m_busy;              // asked for and not answered yet
    QHash<QString, qint64> m_failedAt; // clock time of the last failure
    QHash<QString, qint64> m_vouchedAt; // cached file last reported ready unseen
    QElapsedTimer m_clock;
    int m_retryPauseMs = kDefaultRetryPauseMs;
    QStringList m_pendingList;
    bool m_flushScheduled = false;
    int m_inFlight = 0;
};
