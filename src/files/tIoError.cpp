// SPDX-License-Identifier: Apache-2.0
#include "tIoError.h"

#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

tIoError tIoError::FromErrno(int intErrno) {
    switch (intErrno) {
    case ENOENT:
    case ENOTDIR: // a part of the path is no folder: the file is not there either
        return Of(eIoError::NotFound, intErrno);
    case EACCES:
    case EPERM:
        return Of(eIoError::PermissionDenied, intErrno);
    case ENOSPC:
#if defined(EDQUOT)
    case EDQUOT:
#endif
        return Of(eIoError::NoSpace, intErrno);
    case EROFS:
        return Of(eIoError::ReadOnly, intErrno);
    case EISDIR:
        return Of(eIoError::IsFolder, intErrno);
    case EFBIG:
        return Of(eIoError::TooLarge, intErrno);
    case ENOMEM:
        return Of(eIoError::NoMemory, intErrno);
    default:
        return Of(eIoError::Other, intErrno);
    }
}

tIoError tIoError::FromWindowsCode(int intCode) {
    // The numbers of winerror.h, written out so that this table builds and is
    // tested everywhere.
    switch (intCode) {
    case 2:  // ERROR_FILE_NOT_FOUND
    case 3:  // ERROR_PATH_NOT_FOUND
    case 15: // ERROR_INVALID_DRIVE
    case 53: // ERROR_BAD_NETPATH
        return Of(eIoError::NotFound, intCode);
    case 5: // ERROR_ACCESS_DENIED
        return Of(eIoError::PermissionDenied, intCode);
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED
        return Of(eIoError::NoSpace, intCode);
    case 19: // ERROR_WRITE_PROTECT
        return Of(eIoError::ReadOnly, intCode);
    case 223: // ERROR_FILE_TOO_LARGE
        return Of(eIoError::TooLarge, intCode);
    case 8:  // ERROR_NOT_ENOUGH_MEMORY
    case 14: // ERROR_OUTOFMEMORY
        return Of(eIoError::NoMemory, intCode);
    default:
        return Of(eIoError::Other, intCode);
    }
}

tIoError tIoError::FromSystemCode(int intCode) {
#if defined(Q_OS_WIN)
    return FromWindowsCode(intCode);
#else
    return FromErrno(intCode);
#endif
}

int tIoError::LastSystemCode() {
#if defined(Q_OS_WIN)
    return int(GetLastError());
#else
    return errno;
#endif
}

void tIoError::ClearLastSystemCode() {
#if defined(Q_OS_WIN)
    SetLastError(0);
#else
    errno = 0;
#endif
}

tIoError tIoError::FromErrorCode(const std::error_code& error) {
    if (error.category() == std::generic_category())
        return FromErrno(error.value());
    if (error.category() == std::system_category())
        return FromSystemCode(error.value());
    return Of(eIoError::Other, error.value());
}

tIoError tIoError::FromFileDevice(const QFileDevice& file, int intSystemCode) {
    // Qt opens a folder and then refuses it itself, without a system error on
    // Unix and as "access denied" on Windows.
    if (file.error() == QFileDevice::OpenError && !file.fileName().isEmpty() &&
        QFileInfo(file.fileName()).isDir())
        return Of(eIoError::IsFolder, intSystemCode);
    if (intSystemCode != 0)
        return FromSystemCode(intSystemCode);
    switch (file.error()) {
    case QFileDevice::ResourceError: // Qt's class of a full disk
        return Of(eIoError::NoSpace);
    case QFileDevice::PermissionsError:
        return Of(eIoError::PermissionDenied);
    default:
        return Of(eIoError::Other);
    }
}
