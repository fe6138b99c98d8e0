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
        if (!QFileInfo(strName).isSymLink() && !QFileInfo::exists(strName))
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

#if defined(Q_OS_UNIX)
tIoError ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes) {
    pBytes->clear();
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
        const qint64 lngFrom =
            lngLastBytes < 0 ? 0 : qMax<qint64>(0, qint64(st.st_size) - lngLastBytes);
        pBytes->resize(qsizetype(st.st_size - lngFrom));
        qint64 lngGot = 0;
        while (lngGot < pBytes->size()) {
            const ssize_t n = ::pread(fd, pBytes->data() + lngGot, size_t(pBytes->size() - lngGot),
                                      lngFrom + lngGot);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = tIoError::FromErrno(errno);
                break;
            }
            if (n == 0) // shorter than it was a moment ago
                break;
            lngGot += n;
        }
        pBytes->resize(qsizetype(lngGot));
    }
    ::close(fd);
    if (error.Failed())
        pBytes->clear();
    return error;
}

#else
// Where a name cannot stand for a pipe that blocks its reader, the file's type
// as the system reports it is enough.
tIoError ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes) {
    pBytes->clear();
    const QFileInfo info(strPath);
    if (!info.exists())
        return tIoError::Of(eIoError::NotFound);
    if (info.isDir())
        return tIoError::Of(eIoError::IsFolder);
    if (!info.isFile())
        return tIoError::Of(eIoError::NotRegularFile);
    QFile file(strPath);
    tIoError::ClearLastSystemCode();
    if (!file.open(QIODevice::ReadOnly))
        return OpenError(file);
    if (lngLastBytes >= 0 && file.size() > lngLastBytes && !file.seek(file.size() - lngLastBytes))
        return OpenError(file);
    *pBytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        pBytes->clear();
        return OpenError(file);
    }
    return NoError;
}
#endif

tIoError LinkOrCopy(const QString& strFrom, const QString& strTo) {
    std::error_code error;
    std::filesystem::create_hard_link(QtPrivate::toFilesystemPath(strFrom),
                                      QtPrivate::toFilesystemPath(strTo), error);
    if (!error)
        return NoError;
    if (QFileInfo(strTo).isSymLink() || QFileInfo::exists(strTo))
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
