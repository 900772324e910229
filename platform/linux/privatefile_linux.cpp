#include "platform/privatefile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool writePrivateFile(const QString &path, const QByteArray &bytes)
{
    // O_NOFOLLOW: a link planted at the name must not redirect the token elsewhere.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::ftruncate(fd, 0) == 0;
    for (qint64 done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ok = false;
    }
    return ::close(fd) == 0 && ok;
}
