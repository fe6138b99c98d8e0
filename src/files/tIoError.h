// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QtGlobal>

#include <system_error>

class QFileDevice;

// What went wrong in a file or URL operation, as a value: the kind, and the
// system's own error number where the system gave one. The engine and the
// update only classify; each front end words a kind in its own language
// (the windows in Japanese, the command-line tools in English).
enum class eIoError {
    None,     // it worked
    NotFound, // no file (or folder on the way) of that name
    PermissionDenied,
    NoSpace,        // the disk or a quota is full
    ReadOnly,       // a read-only file system or medium
    IsFolder,       // a folder where a file was expected
    NotRegularFile, // a FIFO, a device or a socket
    TooLarge,       // beyond lngLimit bytes, or what the file system takes
    BadContent,     // read whole, but not what it should hold
    NoMemory,
    NoFreeName, // every temporary name is taken
    BadAddress, // a URL that cannot be read as one
    NotHttp,    // a URL of another scheme
    Other,      // anything else: intSystemCode tells
};

// What became of the file a failed write meant to replace.
enum class eOldFile {
    Untouched,       // never opened for writing
    Restored,        // rewritten in place, then cut back: as it was
    TailLeft,        // as it was, with extra bytes at its end
    PartlyRewritten, // the in-place rewrite stopped part way
};

struct tIoError {
    eIoError kind = eIoError::None;
    // errno here, the Windows error number there (or the C library's errno
    // where only that is given); the network error number for a URL; 0 when
    // the kind says all.
    int intSystemCode = 0;
    // For TooLarge: the limit in bytes, when the program set one.
    qint64 lngLimit = 0;
    eOldFile oldFile = eOldFile::Untouched;

    bool Failed() const { return kind != eIoError::None; }
    bool operator==(const tIoError&) const = default;

    static tIoError Of(eIoError kind, int intSystemCode = 0) { return {kind, intSystemCode}; }
    static tIoError Limit(qint64 lngLimit) { return {eIoError::TooLarge, 0, lngLimit}; }

    // The one mapping of system error numbers to kinds. Both tables are
    // compiled everywhere, so each is tested on every system.
    static tIoError FromErrno(int intErrno);
    static tIoError FromWindowsCode(int intCode);
    // The running system's own numbers: errno, or GetLastError() on Windows.
    static tIoError FromSystemCode(int intCode);
    static int LastSystemCode();
    static void ClearLastSystemCode();
    static tIoError FromLastSystemError() { return FromSystemCode(LastSystemCode()); }
    static tIoError FromErrorCode(const std::error_code& error);
    // A Qt file operation that failed: the system's number taken just after it
    // (intSystemCode), or, when that is 0, Qt's own class of the error.
    static tIoError FromFileDevice(const QFileDevice& file, int intSystemCode);
};
