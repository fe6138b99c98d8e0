#pragma once

#include <QByteArray>
#include <QString>

// The file operations of the update that can fail for reasons outside the
// program: a full disk, a locked file, a folder without write access. Each
// returns why it failed, or the empty text. This is the one place a test
// makes a step fail, by passing a subclass.
class cFileOps {
public:
    virtual ~cFileOps() = default;

    // The operations on the real disk.
    static cFileOps& Disk();

    // The whole content or nothing: an existing file is replaced only once the new
    // content is on disk whole.
    virtual QString WriteWhole(const QString& strPath, const QByteArray& bytData);
    // A second name strTo (which must not exist) for the file strFrom: a hard
    // link, or a whole copy where the file system has none.
    virtual QString Link(const QString& strFrom, const QString& strTo);
    // strFrom takes the name strTo in one step, replacing what strTo named.
    virtual QString RenameOver(const QString& strFrom, const QString& strTo);
    virtual QString Remove(const QString& strPath);
};
