#pragma once

#include <QString>

// Where the program reads and updates db.dat. A copy run from a folder of its
// own (a build folder, an unpacked archive) keeps its database beside itself;
// an installed copy cannot write there, so each user gets a copy of the
// installed database in their own data folder, which the update then replaces.
namespace modDataFolder {

struct tDataFolder {
    QString folder; // the folder that holds the db.dat to read and update
    QString error;  // why the user's copy could not be made ready; empty when it could
};

// Whether the running user may create, rename and remove files in the folder,
// as the update does beside db.dat.
bool FolderWritable(const QString& strFolder);

// strProgramDir: the program's own folder (blnProgramDirWritable: FolderWritable
// of it); strUserDir: the per-user data folder.
tDataFolder ChooseDataFolder(const QString& strProgramDir, bool blnProgramDirWritable,
                             const QString& strUserDir);

// The database version of a db.dat, or -1 when the file cannot be read or
// has no valid date and version at its end.
int FileDBVersion(const QString& strPath);

} // namespace modDataFolder
