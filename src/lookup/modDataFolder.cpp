#include "modDataFolder.h"

#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modFileIO.h"
#include "modText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#else
#include <QTemporaryFile>
#endif

namespace modDataFolder {

QString DBPath(const QString& strFolder) {
    return modCheckPath::CheckPath(strFolder) + QStringLiteral("db.dat");
}

int FileDBVersion(const QString& strPath, QString* pstrUnreadable) {
    // Only the end is read, at start-up, yet through the database's own reader
    // of the tail, so the version means the same as in the program.
    QByteArray end;
    const QString why = modFileIO::ReadRegularFile(strPath, &end, 64);
    if (pstrUnreadable)
        *pstrUnreadable = why;
    cNumberDB tail;
    tail.SetBytes(end);
    return why.isEmpty() && tail.HasValidTail() ? tail.DBVersion().toInt() : -1;
}

bool FolderWritable(const QString& strFolder) {
    if (!QFileInfo(strFolder).isDir())
        return false;
#if defined(Q_OS_UNIX)
    // Asked with the effective user's rights, as the writes themselves are.
    return ::faccessat(AT_FDCWD, QFile::encodeName(strFolder).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
#else
    // Windows' folder rights are not in the attributes Qt reads: a file made and
    // removed tells for sure.
    QTemporaryFile probe(strFolder + QStringLiteral("/lumivo-probe-XXXXXX"));
    return probe.open();
#endif
}

bool KeepsDBBeside(const QString& strProgramDir) {
    return !modAppInfo::IsInstalledFolder(strProgramDir) && FolderWritable(strProgramDir);
}

tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir) {
    if (blnBeside)
        return {strProgramDir, QString()};

    const QString installed = DBPath(strProgramDir);
    const QString own = DBPath(strUserDir);
    if (!QDir().mkpath(strUserDir))
        return {strProgramDir, QStringLiteral("フォルダーを作成できません: ") +
                                   QDir::toNativeSeparators(strUserDir)};
    const QFileInfo ownFile(own);
    const bool ownPresent = ownFile.exists() || ownFile.isSymLink();
    QString unreadable;
    const int ownVersion = ownPresent ? FileDBVersion(own, &unreadable) : -1;
    // The user may have made it so, or it holds an update that must not be lost:
    // left as it is.
    if (!unreadable.isEmpty())
        return {
            strProgramDir,
            own + QStringLiteral(": ") + unreadable + modText::CrLf +
                QStringLiteral("このファイルは変更せず、インストールされたデータベースを読み込み"
                               "ます。")};
    // A user's copy is made from the installed database, and made again when a
    // newer program brought a newer one; an updated copy is never set back.
    if (!QFileInfo::exists(installed) || (ownPresent && ownVersion >= FileDBVersion(installed)))
        return {strUserDir, QString()};

    QByteArray bytes;
    if (const QString why = modFileIO::ReadRegularFile(installed, &bytes); !why.isEmpty())
        return {strProgramDir, installed + QStringLiteral(": ") + why};
    // A link as the user's copy is replaced, never written through.
    const QString why = modFileIO::WriteFileWhole(own, bytes);
    if (why.isEmpty())
        return {strUserDir, QString()};
    // Without a copy of its own the user reads the installed database.
    return {ownPresent ? strUserDir : strProgramDir, own + QStringLiteral(": ") + why};
}

} // namespace modDataFolder
