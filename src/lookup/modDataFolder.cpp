// SPDX-License-Identifier: Apache-2.0
#include "modDataFolder.h"

#include "cFileOps.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modFileIO.h"
#include "modText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <filesystem>

#if defined(Q_OS_UNIX)
#include <climits>

#include <fcntl.h>
#include <unistd.h>
#else
#include <QTemporaryFile>
#endif

namespace modDataFolder {

QString DBPath(const QString& strFolder) {
    return modCheckPath::CheckPath(strFolder) + QStringLiteral("db.dat");
}

tFileVersion FileDBVersion(const QString& strPath) {
    // Only the end is read, yet through the database's own reader of the tail,
    // so the version means the same as in the program.
    QByteArray end;
    const tIoError error = modFileIO::ReadRegularFile(strPath, &end, 64);
    cNumberDB tail;
    tail.SetBytes(end);
    return {!error.Failed() && tail.HasValidTail() ? tail.DBVersion().toInt() : -1, error};
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

QString ProgramFolder() {
#if defined(Q_OS_LINUX)
    QByteArray exe(PATH_MAX, '\0');
    const ssize_t lngLength = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
    if (lngLength > 0 && lngLength < exe.size()) {
        exe.truncate(lngLength);
        const QByteArray folder = exe.left(qMax<qsizetype>(exe.lastIndexOf('/'), 1));
        if (QFile::encodeName(QFile::decodeName(folder)) != folder) {
            // Opened once, and open for as long as the program runs.
            static const int intFolderFd =
                ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (intFolderFd >= 0)
                return QStringLiteral("/proc/self/fd/%1").arg(intFolderFd);
        }
    }
#endif
    return QCoreApplication::applicationDirPath();
}

QString UserDataFolder() {
    // The folder follows the application's name, which a tool has its own of.
    const QString strName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(modAppInfo::AppTitle());
    QString strFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // A relative XDG_DATA_HOME is invalid and to be ignored, not read from
    // wherever the program was started.
    const QString strXdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!strXdg.isEmpty() && QDir::isRelativePath(strXdg))
        strFolder =
            QDir::homePath() + QStringLiteral("/.local/share") +
            strFolder.mid(
                QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).size());
#endif
    QCoreApplication::setApplicationName(strName);
    return strFolder;
}

tDataFolder DecideDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir) {
    if (blnBeside)
        return {strProgramDir};

    const QString installed = DBPath(strProgramDir);
    const QString own = DBPath(strUserDir);
    const bool ownPresent = modFileIO::NameTaken(own);
    const tFileVersion ownVersion = ownPresent ? FileDBVersion(own) : tFileVersion();
    // The user may have made it so, or it holds an update that must not be lost:
    // left as it is.
    if (ownVersion.error.Failed())
        return {strProgramDir, eCopyProblem::OwnUnreadable, own, ownVersion.error};
    // A user's copy is made from the installed database, and made again when a
    // newer program brought a newer one; an updated copy is never set back.
    if (!QFileInfo::exists(installed) ||
        (ownPresent && ownVersion.intVersion >= FileDBVersion(installed).intVersion))
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
    const bool ownPresent = modFileIO::NameTaken(own);
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

namespace {

// The database version of a regular file that can be read: -1 when the program
// could not load it as a database (no date and version at its end, or larger
// than the database may be), -2 when the file cannot be read.
int LoadableVersion(const QString& strPath) {
    const tFileVersion version = FileDBVersion(strPath);
    if (version.error.Failed())
        return -2;
    return QFileInfo(strPath).size() > cNumberDB::MaxFileBytes ? -1 : version.intVersion;
}

} // namespace

void RecoverFolder(cFileOps& files, const QString& strFolder, int intMinAgeSecs,
                   const QDateTime& dtmNow) {
    // Downloads "0042.t", backups "0042.b", and what a write cut short leaves of a
    // download, "0042.t.Ab12Cd".
    static const QRegularExpression leftover(
        QStringLiteral("^\\d{4}\\.([bt])(\\.[A-Za-z0-9]{6})?$"));
    QStringList backups, oldBackups, oldStrays;
    // Ages are taken first: restoring through a link changes the backup's too.
    for (const QString& name :
         QDir(strFolder).entryList(QDir::Files | QDir::System | QDir::Hidden)) {
        const QRegularExpressionMatch m = leftover.match(name);
        if (!m.hasMatch())
            continue;
        const QString path = strFolder + name;
        // A link's own time: a dangling one is dated too.
        const QDateTime changed = modFileIO::ChangeTime(path);
        const bool old = changed.isValid() && changed.secsTo(dtmNow) >= intMinAgeSecs;
        if (m.captured(1) == u"b" && m.captured(2).isEmpty()) {
            backups.append(path);
            if (old)
                oldBackups.append(path);
        } else if (old) {
            oldStrays.append(path);
        }
    }

    const QString dbPath = DBPath(strFolder);
    const bool absent = !modFileIO::NameTaken(dbPath);
    int version = absent ? -2 : LoadableVersion(dbPath);
    if (absent || version == -1) {
        // Only a backup the program can load; the others stay, as long as db.dat is no database.
        QString best;
        int bestVersion = -1;
        for (const QString& backup : backups) {
            const int v = LoadableVersion(backup);
            if (v > bestVersion) {
                best = backup;
                bestVersion = v;
            }
        }
        // A link leaves the backup to an update that may still need it, and
        // takes no db.dat that appeared meanwhile; a broken db.dat is replaced.
        if (!best.isEmpty() &&
            !(absent ? files.Link(best, dbPath) : files.RenameOver(best, dbPath)).Failed())
            version = bestVersion;
    }
    for (const QString& stray : oldStrays)
        files.Remove(stray);
    if (version >= 0)
        for (const QString& backup : oldBackups)
            if (modFileIO::NameTaken(backup))
                files.Remove(backup);
}

tDataFolder PrepareDataFolder(const QString& strProgramDir, const QString& strUserDir) {
    const bool blnBeside = KeepsDBBeside(strProgramDir);
    // An update cut off (a crash, a power cut) may have left its files behind;
    // they are settled before db.dat is judged or read.
    RecoverFolder(cFileOps::Disk(),
                  modCheckPath::CheckPath(blnBeside ? strProgramDir : strUserDir));
    return ChooseDataFolder(strProgramDir, blnBeside, strUserDir);
}

} // namespace modDataFolder
