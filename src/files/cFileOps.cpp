// SPDX-License-Identifier: Apache-2.0
#include "cFileOps.h"

#include "modFileIO.h"

#include <QFile>

cFileOps& cFileOps::Disk() {
    static cFileOps disk;
    return disk;
}

tIoError cFileOps::WriteWhole(const QString& strPath, const QByteArray& bytData) {
    return modFileIO::WriteFileWhole(strPath, bytData);
}

tIoError cFileOps::Link(const QString& strFrom, const QString& strTo) {
    return modFileIO::LinkOrCopy(strFrom, strTo);
}

tIoError cFileOps::RenameOver(const QString& strFrom, const QString& strTo) {
    return modFileIO::RenameOver(strFrom, strTo);
}

tIoError cFileOps::Remove(const QString& strPath) {
    QFile file(strPath);
    tIoError::ClearLastSystemCode();
    return file.remove() ? tIoError() : tIoError::FromFileDevice(file, tIoError::LastSystemCode());
}
