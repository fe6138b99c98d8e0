// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QByteArray>
#include <QString>

// The file operations of the update and of the start-up tidying that can fail
// for reasons outside the program: a full disk, a locked file, a folder without
// write access. Each
// returns what went wrong (kind None when it worked). This is the one place a test
// makes a step fail, by passing a subclass.
class cFileOps {
public:
    virtual ~cFileOps() = default;

    // The operations on the real disk.
    static cFileOps& Disk();

    // The whole content or nothing: an existing file is replaced only once the new
    // content is on disk whole.
    virtual tIoError WriteWhole(const QString& strPath, const QByteArray& bytData);
    // A second name strTo (which must not exist) for the file strFrom: a hard
    // link, or a whole copy where the file system has none.
    virtual tIoError Link(const QString& strFrom, const QString& strTo);
    // strFrom takes the name strTo in one step, replacing what strTo named.
    virtual tIoError RenameOver(const QString& strFrom, const QString& strTo);
    virtual tIoError Remove(const QString& strPath);
};
