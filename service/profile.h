#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class FtManager;
class QNetworkAccessManager;
class QNetworkReply;

// Sending the signed-in user's profile (tag 119) and fetching the head image.
namespace Profile {

constexpr int kUploadTimeoutMs = 5000;
constexpr int kHeadTimeoutMs = 10000;
constexpr qint64 kMaxHeadBytes = 2 * 1024 * 1024;
constexpr int kMaxHeadSide = 4096;

struct UploadResult
{
    int result = 0;  // a PostResult
    QString message; // for the user when it failed, empty on success
    bool sentHead = false;
    bool succeeded() const;
};

// The head image file as the service wants it: PNG at quality 20, standard Base64.
// Empty when the file is missing or no picture.
QString headImageText(const QString &file);

// Sends the profile of the record, with the head image while one waits to go up.
// The waiting flag is cleared only by the service's success, so a failed upload goes
// again with the next save. Logs "Headimg-modify:..." to FontMsg.log.
UploadResult upload(FtManager &manager, int timeoutMs = kUploadTimeoutMs);

// Reads a picture no larger than the caps; a null image otherwise.
QImage readCappedImage(const QByteArray &bytes);

} // namespace Profile

// Fetches the head image the service names into the head image file. Only https
// addresses are fetched; an answer above the size cap or later than the time limit is
// dropped, and the file already there stays.
class HeadImageLoader : public QObject
{
    Q_OBJECT

public:
    HeadImageLoader(QNetworkAccessManager &network, const QString &file, QObject *parent = nullptr);

    // False when the address is not one to fetch; a fetch under way is dropped.
    bool fetch(const QString &address, int timeoutMs = Profile::kHeadTimeoutMs);
    void cancel();
    bool isBusy() const { return !m_reply.isNull(); }

signals:
    void finished(bool stored);

private:
    void onFinished();
    // Size and times of the head image file, empty when there is none.
    QString fileState() const;

    QNetworkAccessManager &m_network;
    QString m_file;
    QPointer<QNetworkReply> m_reply;
    QString m_fileBefore; // fileState() when the fetch started
    QTimer m_timer;
};
