#include "update/cFileOps.h"

#include "lookup/modFileIO.h"

#include <QFile>

cFileOps& cFileOps::Disk() {
    static cFileOps disk;
    return disk;
}

QString cFileOps::WriteWhole(const QString& strPath, const QByteArray& bytes) {
    return modFileIO::WriteFileWhole(strPath, bytes);
}

QString cFileOps::Rename(const QString& strFrom, const QString& strTo) {
    QFile file(strFrom);
    return file.rename(strTo) ? QString() : file.errorString();
}

QString cFileOps::Remove(const QString& strPath) {
    QFile file(strPath);
    return file.remove() ? QString() : file.errorString();
}
