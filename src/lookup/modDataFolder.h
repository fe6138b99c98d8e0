#pragma once

#include <QString>

// Where the program reads and updates db.dat. A copy run from a folder of its
// own (a build folder, an unpacked archive) keeps its database beside itself;
// an installed copy never writes its folder, so each user, root included, gets a
// copy of the installed database in their own data folder, which the update
// then replaces.
namespace modDataFolder {

// The database file in a folder (with or without a closing separator); every
// reader and writer of db.dat takes its path from here.
QString DBPath(const QString& strFolder);

struct tDataFolder {
    QString folder; // the folder that holds the db.dat to read and update
    QString error;  // why the user's copy is not read or could not be made ready; empty when fine
};

// Whether the running user may create, rename and remove files in the folder,
// as the update does beside db.dat.
bool FolderWritable(const QString& strFolder);

// Whether the program keeps db.dat beside itself: not installed (no install
// marker beside it) and its folder writable.
bool KeepsDBBeside(const QString& strProgramDir);

// strProgramDir: the program's own folder (blnBeside: KeepsDBBeside of it);
// strUserDir: the per-user data folder. A user's copy that cannot be read
// (no permission, a folder, a FIFO, a dangling link) is never replaced: the
// installed database is read instead, and error says why.
tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnBeside,
                             const QString& strUserDir);

// The database version of a db.dat, read from its end: -1 when the end has no
// valid date and version or the file cannot be read; then *pstrUnreadable, if
// given, tells why it cannot be read (empty when it could).
int FileDBVersion(const QString& strPath, QString* pstrUnreadable = nullptr);

} // namespace modDataFolder
