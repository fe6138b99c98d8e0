// SPDX-License-Identifier: Apache-2.0
#include "modFileIO.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <filesystem>
#include <system_error>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace modFileIO {

namespace {

constexpr tIoError NoError{};

// Writes all bytes at the file's position; unbuffered, so a write cut short
// (disk full, file size limit) shows in the count written.
tIoError WriteAll(QFileDevice& file, QByteArrayView bytData) {
    tIoError::ClearLastSystemCode();
    const qint64 lngWritten = file.write(bytData.data(), bytData.size());
    if (lngWritten == bytData.size())
        return NoError;
    const int intCode = tIoError::LastSystemCode();
    // Short without a reason from the system: the file system took no more.
    if (intCode == 0 && file.error() == QFileDevice::NoError)
        return tIoError::Of(eIoError::NoSpace);
    return tIoError::FromFileDevice(file, intCode);
}

// Fills and commits a save file that is already open.
tIoError FillAndCommit(QSaveFile& file, const QByteArray& bytContent) {
    const tIoError error = WriteAll(file, bytContent);
    if (error.Failed()) {
        file.cancelWriting();
        file.commit();
        return error;
    }
    tIoError::ClearLastSystemCode();
    return file.commit() ? NoError : tIoError::FromFileDevice(file, tIoError::LastSystemCode());
}

tIoError OpenError(const QFileDevice& file) {
    return tIoError::FromFileDevice(file, tIoError::LastSystemCode());
}

// A name beside strPath that nothing uses, for a file to be renamed over it.
QString FreeNameBeside(const QString& strPath) {
    const QFileInfo target(strPath);
    for (;;) {
        const QString strName =
            target.absolutePath() + QStringLiteral("/.") + target.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16,
                                          QLatin1Char('0'));
        if (!NameTaken(strName))
            return strName;
    }
}

// The old file stays whole until the new content fits: the part beyond the old
// length is written first, so only the old length is rewritten in place.
tIoError OverwriteInPlace(const QString& strPath, const QByteArray& bytContent) {
    QFile file(strPath);
    tIoError::ClearLastSystemCode();
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return OpenError(file);
    const qint64 lngOld = file.size();
    if (bytContent.size() > lngOld) {
        tIoError error = file.seek(lngOld)
                             ? WriteAll(file, QByteArrayView(bytContent).sliced(lngOld))
                             : OpenError(file);
        if (error.Failed()) {
            error.oldFile = file.resize(lngOld) ? eOldFile::Restored : eOldFile::TailLeft;
            return error;
        }
    }
    const qint64 lngKept = qMin<qint64>(lngOld, bytContent.size());
    tIoError error =
        file.seek(0) ? WriteAll(file, QByteArrayView(bytContent).first(lngKept)) : OpenError(file);
    if (!error.Failed() && bytContent.size() < lngOld && !file.resize(bytContent.size()))
        error = OpenError(file);
    if (error.Failed())
        error.oldFile = eOldFile::PartlyRewritten;
    return error;
}

} // namespace

tIoError WriteFileWhole(const QString& strPath, const QByteArray& bytContent,
                        bool blnInPlaceFallback) {
    const QFileInfo target(strPath);
    if (target.isSymbolicLink()) {
        // The link itself is replaced: what it points to is none of this write's business.
        QSaveFile file(FreeNameBeside(strPath));
        file.setDirectWriteFallback(false);
        tIoError::ClearLastSystemCode();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return OpenError(file);
        tIoError error = FillAndCommit(file, bytContent);
        if (!error.Failed() && (error = RenameOver(file.fileName(), strPath)).Failed())
            QFile::remove(file.fileName());
        return error;
    }
    if (target.exists() && !target.isFile())
        return tIoError::Of(target.isDir() ? eIoError::IsFolder : eIoError::NotRegularFile);
    QSaveFile file(strPath);
    file.setDirectWriteFallback(false);
    tIoError::ClearLastSystemCode();
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FillAndCommit(file, bytContent);
    const tIoError error = OpenError(file);
    // No temporary file beside it (a folder that takes no new file): the owner
    // of the file may still rewrite the file itself.
    if (blnInPlaceFallback && target.isFile())
        return OverwriteInPlace(strPath, bytContent);
    return error;
}

tIoError RenameOver(const QString& strFrom, const QString& strTo) {
    std::error_code error;
    std::filesystem::rename(QtPrivate::toFilesystemPath(strFrom),
                            QtPrivate::toFilesystemPath(strTo), error);
    return error ? tIoError::FromErrorCode(error) : NoError;
}

namespace {

// A file already open, read from lngFrom (lngExpected bytes there when opened)
// to its end through fnReadAt(buffer, count, offset): a count, 0 at the end, -1
// with the error in *pError. The room is first the expected bytes and one more,
// so that the end shows without growing, then twice what was read (at least
// 64 KiB), never beyond lngMaxBytes + 1. With blnCut, lngMaxBytes are taken
// and the rest left unread; otherwise more is refused.
template <typename tReadAt>
tIoError ReadToEnd(tReadAt fnReadAt, qint64 lngFrom, qint64 lngExpected, qint64 lngMaxBytes,
                   bool blnCut, const tMakeRoom& fnMakeRoom, qint64* plngRead) {
    *plngRead = 0;
    const qint64 lngCeiling = lngMaxBytes < 0 ? -1 : lngMaxBytes + (blnCut ? 0 : 1);
    const auto capped = [&](qint64 lngBytes) {
        return lngCeiling < 0 ? lngBytes : qMin(lngBytes, lngCeiling);
    };
    if (!blnCut && lngMaxBytes >= 0 && lngExpected > lngMaxBytes)
        return tIoError::Limit(lngMaxBytes);
    qint64 lngRoom = capped(lngExpected + 1);
    char* room = fnMakeRoom(lngRoom);
    if (!room)
        return tIoError::Of(eIoError::NoMemory);
    qint64 lngUsed = 0;
    for (;;) {
        if (lngUsed == lngRoom) {
            if (lngRoom == lngCeiling) // only with blnCut: as much as was asked for
                break;
            lngRoom = capped(qMax<qint64>(2 * lngUsed, 1 << 16));
            if (!(room = fnMakeRoom(lngRoom)))
                return tIoError::Of(eIoError::NoMemory);
        }
        tIoError error;
        const qint64 lngGot =
            fnReadAt(room + lngUsed, lngRoom - lngUsed, lngFrom + lngUsed, &error);
        if (lngGot < 0)
            return error;
        if (lngGot == 0)
            break;
        lngUsed += lngGot;
        *plngRead = lngUsed;
        if (!blnCut && lngMaxBytes >= 0 && lngUsed > lngMaxBytes)
            return tIoError::Limit(lngMaxBytes);
    }
    return NoError;
}

// The one reader behind both ReadRegularFile: lngLastBytes not negative reads
// the end only, as much as that.
tIoError ReadRegular(const QString& strPath, qint64 lngLastBytes, qint64 lngMaxBytes,
                     const tMakeRoom& fnMakeRoom, qint64* plngRead) {
    *plngRead = 0;
    const bool blnTail = lngLastBytes >= 0;
#if defined(Q_OS_UNIX)
    const QByteArray native = QFile::encodeName(strPath);
    const auto refusal = [](const struct stat& st) {
        if (S_ISDIR(st.st_mode))
            return tIoError::Of(eIoError::IsFolder);
        return S_ISREG(st.st_mode) ? NoError : tIoError::Of(eIoError::NotRegularFile);
    };
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return tIoError::FromErrno(errno);
    if (const tIoError error = refusal(st); error.Failed())
        return error;
    // Non-blocking, and checked again once open: the name may have been
    // pointed at something else since it was looked at.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return tIoError::FromErrno(errno);
    tIoError error = ::fstat(fd, &st) == 0 ? refusal(st) : tIoError::FromErrno(errno);
    if (!error.Failed()) {
        const qint64 lngSize = qint64(st.st_size);
        const qint64 lngFrom = blnTail ? qMax<qint64>(0, lngSize - lngLastBytes) : 0;
        const auto readAt = [fd](char* buffer, qint64 lngCount, qint64 lngAt, tIoError* pError) {
            for (;;) {
                const ssize_t n = ::pread(fd, buffer, size_t(lngCount), off_t(lngAt));
                if (n >= 0)
                    return qint64(n);
                if (errno != EINTR) {
                    *pError = tIoError::FromErrno(errno);
                    return qint64(-1);
                }
            }
        };
        error = ReadToEnd(readAt, lngFrom, lngSize - lngFrom, blnTail ? lngLastBytes : lngMaxBytes,
                          blnTail, fnMakeRoom, plngRead);
    }
    ::close(fd);
    return error;
#else
    // Where a name cannot stand for a pipe that blocks its reader, the file's
    // type as the system reports it is enough.
    const QFileInfo info(strPath);
    if (!info.exists())
        return tIoError::Of(eIoError::NotFound);
    if (info.isDir())
        return tIoError::Of(eIoError::IsFolder);
    if (!info.isFile())
        return tIoError::Of(eIoError::NotRegularFile);
    QFile file(strPath);
    tIoError::ClearLastSystemCode();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return OpenError(file);
    const qint64 lngSize = file.size();
    const qint64 lngFrom = blnTail ? qMax<qint64>(0, lngSize - lngLastBytes) : 0;
    if (lngFrom > 0 && !file.seek(lngFrom))
        return OpenError(file);
    // Read in order from lngFrom on, so the offset is where the file stands.
    const auto readAt = [&file](char* buffer, qint64 lngCount, qint64, tIoError* pError) {
        tIoError::ClearLastSystemCode();
        const qint64 n = file.read(buffer, lngCount);
        if (n < 0)
            *pError = OpenError(file);
        return n;
    };
    return ReadToEnd(readAt, lngFrom, lngSize - lngFrom, blnTail ? lngLastBytes : lngMaxBytes,
                     blnTail, fnMakeRoom, plngRead);
#endif
}

} // namespace

tIoError ReadRegularFile(const QString& strPath, qint64 lngMaxBytes, const tMakeRoom& fnMakeRoom,
                         qint64* plngRead) {
    return ReadRegular(strPath, -1, lngMaxBytes, fnMakeRoom, plngRead);
}

tIoError ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes) {
    pBytes->clear();
    qint64 lngRead = 0;
    const tIoError error = ReadRegular(
        strPath, lngLastBytes, -1,
        [pBytes](qint64 lngBytes) {
            pBytes->resize(qsizetype(lngBytes));
            return pBytes->data();
        },
        &lngRead);
    if (error.Failed())
        pBytes->clear();
    else
        pBytes->resize(qsizetype(lngRead));
    return error;
}

bool NameTaken(const QString& strPath) {
    const QFileInfo info(strPath);
    return info.isSymLink() || info.exists();
}

tIoError LinkOrCopy(const QString& strFrom, const QString& strTo) {
    std::error_code error;
    std::filesystem::create_hard_link(QtPrivate::toFilesystemPath(strFrom),
                                      QtPrivate::toFilesystemPath(strTo), error);
    if (!error)
        return NoError;
    if (NameTaken(strTo))
        return tIoError::FromErrorCode(error);
    QFile source(strFrom);
    tIoError::ClearLastSystemCode();
    return source.copy(strTo) ? NoError : OpenError(source);
}

QDateTime ChangeTime(const QString& strPath) {
#if defined(Q_OS_UNIX)
    struct stat st {};
    if (::lstat(QFile::encodeName(strPath).constData(), &st) != 0)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(qint64(st.st_ctime), Qt::UTC);
#else
    // Windows keeps no such time of its own; Qt gives the closest it has.
    return QFileInfo(strPath).metadataChangeTime();
#endif
}

} // namespace modFileIO
