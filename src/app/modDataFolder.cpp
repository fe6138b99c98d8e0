#include "app/modDataFolder.h"

#include "lookup/cNumberDB.h"
#include "lookup/modCheckPath.h"
#include "lookup/modFileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace modDataFolder {

namespace {

const QString DBName = QStringLiteral("db.dat");

QString DBPath(const QString& strFolder) {
    return modCheckPath::CheckPath(strFolder) + DBName;
}

} // namespace

int FileDBVersion(const QString& strPath) {
    // Only the end is read, at start-up, yet through the database's own reader
    // of the tail, so the version means the same as in the program.
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qMax<qint64>(0, file.size() - 64)))
        return -1;
    cNumberDB tail;
    tail.SetBytes(file.read(64));
    return tail.HasValidTail() ? tail.DBVersion().toInt() : -1;
}

bool FolderWritable(const QString& strFolder) {
    const QFileInfo folder(strFolder);
    return folder.isDir() && folder.isWritable();
}

tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnProgramDirWritable,
                             const QString& strUserDir) {
    if (blnProgramDirWritable)
        return {strProgramDir, QString()};

    const QString installed = DBPath(strProgramDir);
    const QString own = DBPath(strUserDir);
    if (!QDir().mkpath(strUserDir))
        return {strProgramDir, QStringLiteral("フォルダーを作成できません: ") + strUserDir};
    // A user's copy is made from the installed database, and made again when a
    // newer program brought a newer one; an updated copy is never set back.
    if (!QFileInfo::exists(installed) ||
        (QFileInfo::exists(own) && FileDBVersion(own) >= FileDBVersion(installed)))
        return {strUserDir, QString()};

    QFile source(installed);
    if (!source.open(QIODevice::ReadOnly))
        return {strProgramDir, installed + QStringLiteral(": ") + source.errorString()};
    const QString why = modFileIO::WriteFileWhole(own, source.readAll());
    if (why.isEmpty())
        return {strUserDir, QString()};
    // Without a copy of its own the user reads the installed database.
    return {QFileInfo::exists(own) ? strUserDir : strProgramDir, own + QStringLiteral(": ") + why};
}

} // namespace modDataFolder
