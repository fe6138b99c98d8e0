// SPDX-License-Identifier: Apache-2.0
#include "modDataFolder.h"

#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modFileIO.h"
#include "modText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>

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

namespace {

// Only the end is read, at start-up, yet through the database's own reader of
// the tail, so the version means the same as in the program.
tIoError ReadVersion(const QString& strPath, int* pintVersion) {
    QByteArray end;
    const tIoError error = modFileIO::ReadRegularFile(strPath, &end, 64);
    cNumberDB tail;
    tail.SetBytes(end);
    *pintVersion = !error.Failed() && tail.HasValidTail() ? tail.DBVersion().toInt() : -1;
    return error;
}

} // namespace

int FileDBVersion(const QString& strPath) {
    int intVersion = -1;
    ReadVersion(strPath, &intVersion);
    return intVersion;
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

QString UserDataFolder() {
    // The folder follows the application's name, which a tool has its own of.
    const QString strName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(modAppInfo::AppTitle());
    const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setApplicationName(strName);
    return strFolder;
}

tDataFolder DecideDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir) {
    if (blnBeside)
        return {strProgramDir};

    const QString installed = DBPath(strProgramDir);
    const QString own = DBPath(strUserDir);
    const QFileInfo ownFile(own);
    const bool ownPresent = ownFile.exists() || ownFile.isSymLink();
    int ownVersion = -1;
    // The user may have made it so, or it holds an update that must not be lost:
    // left as it is.
    if (const tIoError error = ownPresent ? ReadVersion(own, &ownVersion) : tIoError();
        error.Failed())
        return {strProgramDir, eCopyProblem::OwnUnreadable, own, error};
    // A user's copy is made from the installed database, and made again when a
    // newer program brought a newer one; an updated copy is never set back.
    if (!QFileInfo::exists(installed) || (ownPresent && ownVersion >= FileDBVersion(installed)))
        return {strUserDir};
    return {strProgramDir, eCopyProblem::None, QString(), tIoError(), true};
}

tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir) {
    if (!blnBeside) {
        std::error_code made;
        std::filesystem::create_directories(QtPrivate::toFilesystemPath(strUserDir), made);
        if (made || !QFileInfo(strUserDir).isDir())
            return {strProgramDir, eCopyProblem::FolderNotMade, strUserDir,
                    made ? tIoError::FromErrorCode(made) : tIoError::Of(eIoError::NotFound)};
    }
    const tDataFolder decided = DecideDataFolder(strProgramDir, blnBeside, strUserDir);
    if (!decided.blnCopy)
        return decided;

    const QString installed = DBPath(strProgramDir);
    const QString own = DBPath(strUserDir);
    const QFileInfo ownFile(own);
    const bool ownPresent = ownFile.exists() || ownFile.isSymLink();
    QByteArray bytes;
    if (const tIoError error = modFileIO::ReadRegularFile(installed, &bytes); error.Failed())
        return {strProgramDir, eCopyProblem::InstalledUnreadable, installed, error};
    // A link as the user's copy is replaced, never written through.
    const tIoError error = modFileIO::WriteFileWhole(own, bytes);
    if (!error.Failed())
        return {strUserDir};
    // Without a copy of its own the user reads the installed database.
    return {ownPresent ? strUserDir : strProgramDir, eCopyProblem::NotCopied, own, error};
}

tDataFolder WindowDataFolder(const QString& strProgramDir) {
    return DecideDataFolder(strProgramDir, KeepsDBBeside(strProgramDir), UserDataFolder());
}

} // namespace modDataFolder
