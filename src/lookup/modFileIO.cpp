#include "modFileIO.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace modFileIO {

namespace {

QString CannotCreate(const QString& strWhy) {
    return QStringLiteral("ファイルを作成できません。（%1）").arg(strWhy);
}
QString CannotWrite(const QString& strWhy) {
    return QStringLiteral("ファイルに書き込めません。（%1）").arg(strWhy);
}

// Why a write of a whole buffer came out short.
QString ShortWriteReason(const QFileDevice& file, int intErrno) {
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return intErrno != 0 ? QString::fromLocal8Bit(std::strerror(intErrno))
                         : QStringLiteral("途中までしか書き込めませんでした");
}

// Writes all bytes at the file's position; unbuffered, so a write cut short
// (disk full, file size limit) shows in the count written.
QString WriteAll(QFileDevice& file, QByteArrayView bytData) {
    errno = 0;
    const qint64 lngWritten = file.write(bytData.data(), bytData.size());
    return lngWritten == bytData.size() ? QString() : ShortWriteReason(file, errno);
}

// Fills and commits a save file that is already open.
QString FillAndCommit(QSaveFile& file, const QByteArray& bytContent) {
    const QString strWhy = WriteAll(file, bytContent);
    if (!strWhy.isEmpty()) {
        file.cancelWriting();
        file.commit();
        return CannotWrite(strWhy);
    }
    return file.commit() ? QString() : CannotWrite(file.errorString());
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
QString OverwriteInPlace(const QString& strPath, const QByteArray& bytContent) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return CannotWrite(file.errorString());
    const qint64 lngOld = file.size();
    if (bytContent.size() > lngOld) {
        QString strWhy = file.seek(lngOld)
                             ? WriteAll(file, QByteArrayView(bytContent).sliced(lngOld))
                             : file.errorString();
        if (!strWhy.isEmpty()) {
            const bool blnRestored = file.resize(lngOld);
            return CannotWrite(strWhy) +
                   (blnRestored ? QStringLiteral("元のファイルは変更されていません。")
                                : QStringLiteral("元のファイルの末尾に余分なデータが残りました。"));
        }
    }
    const qint64 lngKept = qMin<qint64>(lngOld, bytContent.size());
    QString strWhy = file.seek(0) ? WriteAll(file, QByteArrayView(bytContent).first(lngKept))
                                  : file.errorString();
    if (strWhy.isEmpty() && bytContent.size() < lngOld && !file.resize(bytContent.size()))
        strWhy = file.errorString();
    if (!strWhy.isEmpty())
        return CannotWrite(strWhy) + QStringLiteral("元のファイルは一部が書き換えられています。");
    return QString();
}

} // namespace

QString WriteFileWhole(const QString& strPath, const QByteArray& bytContent,
                       bool blnInPlaceFallback) {
    const QFileInfo target(strPath);
    if (target.isSymbolicLink()) {
        // The link itself is replaced: what it points to is none of this write's business.
        QSaveFile file(FreeNameBeside(strPath));
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return CannotCreate(file.errorString());
        QString strWhy = FillAndCommit(file, bytContent);
        if (strWhy.isEmpty() && !(strWhy = RenameOver(file.fileName(), strPath)).isEmpty())
            QFile::remove(file.fileName());
        return strWhy;
    }
    if (target.exists() && !target.isFile())
        return CannotCreate(target.isDir() ? QStringLiteral("同じ名前のフォルダーがあります")
                                           : QStringLiteral("通常のファイルではありません"));
    QSaveFile file(strPath);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FillAndCommit(file, bytContent);
    // No temporary file beside it (a folder that takes no new file): the owner
    // of the file may still rewrite the file itself.
    if (blnInPlaceFallback && target.isFile())
        return OverwriteInPlace(strPath, bytContent);
    return CannotCreate(file.errorString());
}

QString RenameOver(const QString& strFrom, const QString& strTo) {
    std::error_code error;
    std::filesystem::rename(QtPrivate::toFilesystemPath(strFrom),
                            QtPrivate::toFilesystemPath(strTo), error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

#if defined(Q_OS_UNIX)
QString ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes) {
    pBytes->clear();
    const QByteArray native = QFile::encodeName(strPath);
    const auto refusal = [](const struct stat& st) {
        if (S_ISDIR(st.st_mode))
            return QStringLiteral("ファイルではなくフォルダーです。");
        return S_ISREG(st.st_mode) ? QString() : QStringLiteral("通常のファイルではありません。");
    };
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("ファイルが見つかりません。")
                               : QString::fromLocal8Bit(std::strerror(errno));
    if (QString why = refusal(st); !why.isEmpty())
        return why;
    // Non-blocking, and checked again once open: the name may have been
    // pointed at something else since it was looked at.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? QStringLiteral("読み取りの権限がありません。")
                               : QString::fromLocal8Bit(std::strerror(errno));
    QString why =
        ::fstat(fd, &st) == 0 ? refusal(st) : QString::fromLocal8Bit(std::strerror(errno));
    if (why.isEmpty()) {
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
                why = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            if (n == 0) // shorter than it was a moment ago
                break;
            lngGot += n;
        }
        pBytes->resize(qsizetype(lngGot));
    }
    ::close(fd);
    if (!why.isEmpty())
        pBytes->clear();
    return why;
}

#else
// Where a name cannot stand for a pipe that blocks its reader, the file's type
// as the system reports it is enough.
QString ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes) {
    pBytes->clear();
    const QFileInfo info(strPath);
    if (!info.exists())
        return QStringLiteral("ファイルが見つかりません。");
    if (info.isDir())
        return QStringLiteral("ファイルではなくフォルダーです。");
    if (!info.isFile())
        return QStringLiteral("通常のファイルではありません。");
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::OpenError && !info.isReadable()
                   ? QStringLiteral("読み取りの権限がありません。")
                   : file.errorString();
    if (lngLastBytes >= 0 && file.size() > lngLastBytes && !file.seek(file.size() - lngLastBytes))
        return file.errorString();
    *pBytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        pBytes->clear();
        return file.errorString();
    }
    return QString();
}
#endif

QString LinkOrCopy(const QString& strFrom, const QString& strTo) {
    std::error_code error;
    std::filesystem::create_hard_link(QtPrivate::toFilesystemPath(strFrom),
                                      QtPrivate::toFilesystemPath(strTo), error);
    if (!error)
        return QString();
    if (QFileInfo(strTo).isSymLink() || QFileInfo::exists(strTo))
        return QString::fromLocal8Bit(error.message());
    QFile source(strFrom);
    return source.copy(strTo) ? QString() : source.errorString();
}

} // namespace modFileIO
