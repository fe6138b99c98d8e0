// SPDX-License-Identifier: Apache-2.0
#include "modToolIO.h"

#include "modFileIO.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace modToolIO {

#if defined(_WIN32)
void GuardStandardStreams() {
    // Bytes as they are: no CR written before each LF, no end of input at Ctrl-Z.
    for (int fd : {0, 1, 2})
        _setmode(fd, _O_BINARY);
}

namespace {
qint64 SystemRead(int intFd, char* buffer, qint64 lngMax) {
    return _read(intFd, buffer, unsigned(qMin<qint64>(lngMax, 1 << 30)));
}
qint64 SystemWrite(int intFd, const char* from, qint64 lngMax) {
    return _write(intFd, from, unsigned(qMin<qint64>(lngMax, 1 << 30)));
}
} // namespace
#else
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

namespace {
qint64 SystemRead(int intFd, char* buffer, qint64 lngMax) {
    return read(intFd, buffer, size_t(lngMax));
}
qint64 SystemWrite(int intFd, const char* from, qint64 lngMax) {
    return write(intFd, from, size_t(lngMax));
}
} // namespace
#endif

QString ErrorText(int intErrno) {
    return QString::fromLocal8Bit(std::strerror(intErrno));
}

QString IoErrorText(const tIoError& error) {
    switch (error.kind) {
    case eIoError::None:
        return QString();
    case eIoError::NotFound:
        return QStringLiteral("file not found");
    case eIoError::PermissionDenied:
        return QStringLiteral("permission denied");
    case eIoError::NoSpace:
        return QStringLiteral("no space left on device");
    case eIoError::ReadOnly:
        return QStringLiteral("read-only file system");
    case eIoError::IsFolder:
        return QStringLiteral("is a folder");
    case eIoError::NotRegularFile:
        return QStringLiteral("not a regular file");
    case eIoError::TooLarge:
        return error.lngLimit > 0
                   ? QStringLiteral("file too large (limit %1 bytes)").arg(error.lngLimit)
                   : QStringLiteral("file too large");
    case eIoError::BadContent:
        return QStringLiteral("unexpected content");
    case eIoError::NoMemory:
        return QStringLiteral("out of memory");
    case eIoError::NoFreeName:
        return QStringLiteral("no free temporary file name");
    case eIoError::BadAddress:
        return QStringLiteral("not a valid URL");
    case eIoError::NotHttp:
        return QStringLiteral("not an HTTP URL");
    case eIoError::Other:
        break;
    }
    // No number, so no words of the system's either (never "Success").
    if (error.intSystemCode == 0)
        return QStringLiteral("unknown error");
    QString text = QStringLiteral("system error %1").arg(error.intSystemCode);
#if !defined(_WIN32)
    // The C library's words, unless a locale made them other than English.
    const QString system = ErrorText(error.intSystemCode);
    bool blnAscii = !system.isEmpty();
    for (QChar c : system)
        blnAscii = blnAscii && c.unicode() < 0x80;
    if (blnAscii)
        text += QStringLiteral(": ") + system;
#endif
    return text;
}

qint64 ReadSome(int intFd, char* buffer, qint64 lngMax, QString* pstrWhy) {
    for (;;) {
        const qint64 got = SystemRead(intFd, buffer, lngMax);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            *pstrWhy = ErrorText(errno);
            return -1;
        }
    }
}

QString WriteAll(int intFd, QByteArrayView bytData) {
    const char* from = bytData.data();
    for (qsizetype left = bytData.size(); left > 0;) {
        const qint64 put = SystemWrite(intFd, from, left);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return ErrorText(put < 0 ? errno : EIO);
        from += put;
        left -= put;
    }
    return QString();
}

namespace {

const QString LinkToFolder = QStringLiteral("a link to a folder");
const QString LinkToNothing =
    QStringLiteral("a link that leads to no file (only a link to a regular file is replaced)");

#if defined(Q_OS_UNIX)
// Whether the path, or a link it leads through, lies in /dev or /proc: the
// system's names for devices and open files, no one's to replace.
bool InSystemNames(const QString& strPath) {
    QString strAt = QFileInfo(strPath).absoluteFilePath();
    for (int intLinks = 0; intLinks < 40; ++intLinks) {
        const QFileInfo at(strAt);
        const QString strFolder = QFileInfo(at.absolutePath()).canonicalFilePath();
        for (QLatin1String system : {QLatin1String("/dev"), QLatin1String("/proc")})
            if (strFolder == system || strFolder.startsWith(system + u'/'))
                return true;
        if (!at.isSymLink())
            return false;
        strAt = at.symLinkTarget();
    }
    return false;
}

// Writes into what the path names as it is, without replacing anything: the
// program's own standard output or error when that is it (keeping their
// position), otherwise the path opened for writing.
QString WriteDirectly(const QString& strPath, QByteArrayView bytData, bool blnRegular,
                      bool* pblnStdout) {
    for (int fd : {STDOUT_FILENO, STDERR_FILENO})
        if (SameFile(fd, strPath)) {
            *pblnStdout = fd == STDOUT_FILENO;
            return WriteAll(fd, bytData);
        }
    const int fd = open(QFile::encodeName(strPath).constData(),
                        O_WRONLY | O_NOCTTY | O_CLOEXEC | (blnRegular ? O_TRUNC : 0));
    if (fd < 0)
        return IoErrorText(tIoError::FromErrno(errno));
    QString strWhy = WriteAll(fd, bytData);
    if (close(fd) != 0 && strWhy.isEmpty())
        strWhy = ErrorText(errno);
    return strWhy;
}
#endif

} // namespace

QString WriteOutput(const QString& strPath, QByteArrayView bytData, bool* pblnStdout) {
    *pblnStdout = strPath == u"-";
    if (*pblnStdout)
        return WriteAll(1, bytData);
#if defined(Q_OS_UNIX)
    const QByteArray native = QFile::encodeName(strPath);
    struct stat named, target;
    if (lstat(native.constData(), &named) == 0 && !S_ISREG(named.st_mode) &&
        !S_ISDIR(named.st_mode)) {
        if (stat(native.constData(), &target) != 0)
            return errno == ENOENT || errno == ELOOP ? LinkToNothing
                                                     : IoErrorText(tIoError::FromErrno(errno));
        if (S_ISDIR(target.st_mode))
            return LinkToFolder;
        if (!S_ISREG(target.st_mode) || InSystemNames(strPath))
            return WriteDirectly(strPath, bytData, S_ISREG(target.st_mode), pblnStdout);
    }
#else
    // Devices and FIFOs are not written through here.
    const QFileInfo info(strPath);
    if (info.isSymLink() && !info.exists())
        return LinkToNothing;
    if (info.isSymLink() && info.isDir())
        return LinkToFolder;
    if (info.exists() && !info.isFile() && !info.isDir())
        return IoErrorText(tIoError::Of(eIoError::NotRegularFile));
#endif
    return IoErrorText(modFileIO::WriteFileWhole(strPath, bytData.toByteArray()));
}

bool SameFile(int intFd, const QString& strPath) {
#if defined(_WIN32)
    // Volume and file index name a file on Windows, whatever the path to it.
    BY_HANDLE_FILE_INFORMATION open{}, named{};
    const HANDLE other = CreateFileW(reinterpret_cast<const wchar_t*>(strPath.utf16()), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    const bool same = GetFileInformationByHandle(HANDLE(_get_osfhandle(intFd)), &open) &&
                      GetFileInformationByHandle(other, &named) &&
                      open.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                      open.nFileIndexHigh == named.nFileIndexHigh &&
                      open.nFileIndexLow == named.nFileIndexLow;
    CloseHandle(other);
    return same;
#else
    struct stat openId, namedId;
    return fstat(intFd, &openId) == 0 &&
           stat(QFile::encodeName(strPath).constData(), &namedId) == 0 &&
           openId.st_dev == namedId.st_dev && openId.st_ino == namedId.st_ino;
#endif
}

void Message(const QString& strLine) {
    const QString line = strLine + u'\n';
#if defined(_WIN32)
    // A console shows UTF-16 through its own call; the ANSI code page would
    // turn Japanese into "?".
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode)) {
        DWORD written = 0;
        WriteConsoleW(console, line.utf16(), DWORD(line.size()), &written, nullptr);
        return;
    }
#endif
    WriteAll(2, line.toUtf8());
}

} // namespace modToolIO
