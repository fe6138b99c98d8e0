// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QDateTime>
#include <QString>

class cFileOps;

// Where the program reads and updates db.dat. A copy run from a folder of its
// own (a build folder, an unpacked archive) keeps its database beside itself;
// an installed copy never writes its folder, so each user, root included, gets a
// copy of the installed database in their own data folder, which the update
// then replaces.
namespace modDataFolder {

// The database file in a folder (with or without a closing separator); every
// reader and writer of db.dat takes its path from here.
QString DBPath(const QString& strFolder);

// Why the user's copy is not read or could not be made ready.
enum class eCopyProblem {
    None,
    FolderNotMade,       // the user's data folder could not be made
    OwnUnreadable,       // the user's copy cannot be read; it is left as it is
    InstalledUnreadable, // the installed database cannot be read for a copy
    NotCopied,           // the copy could not be written
};

struct tDataFolder {
    QString strFolder; // the folder that holds the db.dat to read and update
    eCopyProblem problem = eCopyProblem::None;
    QString strPath{}; // the folder or file the problem is about
    tIoError error{};
    // Only from DecideDataFolder: the user's copy is yet to be made from the
    // installed database, whose bytes strFolder (the program's) holds meanwhile.
    bool blnCopy = false;
};

// The running program's own folder, as a path the system resolves to it. Qt
// holds file names as UTF-8, so a folder whose name is not (a Windows archive
// unpacked with its Shift_JIS bytes) has no such path in Qt's terms; on Linux
// the folder is then held open and named through /proc/self/fd.
QString ProgramFolder();

// The per-user data folder that holds the user's copy: the same for the window
// and the tools, whatever name the asking program goes by. A relative
// XDG_DATA_HOME is ignored, as the XDG rules say.
QString UserDataFolder();

// Whether the running user may create, rename and remove files in the folder,
// as the update does beside db.dat.
bool FolderWritable(const QString& strFolder);

// Whether the program keeps db.dat beside itself: not installed (no install
// marker beside it) and its folder writable.
bool KeepsDBBeside(const QString& strProgramDir);

// strProgramDir: the program's own folder (blnBeside: KeepsDBBeside of it);
// strUserDir: the per-user data folder. A user's copy that cannot be read
// (no permission, a folder, a FIFO, a dangling link) is never replaced: the
// installed database is read instead, and problem and error say why.
tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir);

// The decision ChooseDataFolder acts on, made without creating, copying or
// writing anything; the same parameters.
tDataFolder DecideDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir);

// The folder whose db.dat the window started from strProgramDir reads, found
// read-only as above: what a command-line tool beside it reads by default, so
// that both answer alike; problem and error say why the user's copy is passed over.
tDataFolder WindowDataFolder(const QString& strProgramDir);

// The database version of a db.dat, read from its end: -1 when the end has no
// valid date and version or the file cannot be read (error tells why).
struct tFileVersion {
    int intVersion = -1;
    tIoError error{};
};
tFileVersion FileDBVersion(const QString& strPath);

// How long a download or a backup stays untouched by other instances: an update
// that runs keeps them only for the seconds between writing, checking and
// swapping, so anything this old is the leftover of an update that was cut off.
constexpr int LeftoverMinAgeSecs = 10 * 60;

// Tidies the folder (which ends in a separator) at start-up, before its db.dat is
// read. A db.dat that is missing, or readable but not loadable (without a date
// and version at its end, or over cNumberDB::MaxFileBytes), is restored from the
// loadable backup with the highest version, whatever its age (no update that
// runs ever leaves db.dat so). Then downloads, their half-written temporaries
// and, once db.dat is a loadable database, backups are removed when at least
// intMinAgeSecs old at dtmNow (by their last change of name or content, a
// link's own); younger ones may belong to an update that another instance is
// running. A db.dat that cannot be read (no permission, a folder, a FIFO) is not
// touched, nor is any backup beside it.
void RecoverFolder(cFileOps& files, const QString& strFolder,
                   int intMinAgeSecs = LeftoverMinAgeSecs,
                   const QDateTime& dtmNow = QDateTime::currentDateTimeUtc());

// What the window and lumivo-lookup do before they read db.dat: decide whether
// the program started from strProgramDir keeps it beside itself or in the user's
// folder strUserDir, settle in that folder what an update cut off (RecoverFolder),
// then choose as ChooseDataFolder does, making the user's copy where one is due.
tDataFolder PrepareDataFolder(const QString& strProgramDir, const QString& strUserDir);

} // namespace modDataFolder
