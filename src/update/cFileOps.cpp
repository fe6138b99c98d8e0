#include "cFileOps.h"

#include "modFileIO.h"

#include <QFile>

cFileOps& cFileOps::Disk() {
    static cFileOps disk;
    return disk;
}

QString cFileOps::WriteWhole(const QString& strPath, const QByteArray& bytData) {
    return modFileIO::WriteFileWhole(strPath, bytData);
}

QString cFileOps::Link(const QString& strFrom, const QString& strTo) {
    return modFileIO::LinkOrCopy(strFrom, strTo);
}

QString cFileOps::RenameOver(const QString& strFrom, const QString& strTo) {
    return modFileIO::RenameOver(strFrom, strTo);
}

QString cFileOps::Remove(const QString& strPath) {
    QFile file(strPath);
    return file.remove() ? QString() : file.errorString();
}
