#include "common/modToolIO.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace modToolIO {

void GuardStandardStreams() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is taken, and that is fd unless a lower one is free too.
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (null != -1 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

QString ErrorText(int intErrno) {
    return QString::fromLocal8Bit(std::strerror(intErrno));
}

qint64 ReadSome(int fd, char* buffer, qint64 lngMax, QString* pstrWhy) {
    for (;;) {
        const ssize_t got = read(fd, buffer, size_t(lngMax));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            *pstrWhy = ErrorText(errno);
            return -1;
        }
    }
}

QString WriteAll(int fd, QByteArrayView bytes) {
    const char* from = bytes.data();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t put = write(fd, from, size_t(left));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return ErrorText(put < 0 ? errno : EIO);
        from += put;
        left -= put;
    }
    return QString();
}

} // namespace modToolIO
