// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QString>
#include <optional>

class cFileOps;

// The database update's decisions, free of windows: reading the version text,
// judging the offer against the local database, naming the temporary files,
// checking the download and swapping it in place of db.dat. The About window
// only shows what these return.
namespace modUpdate {

// A real version file is a few hundred bytes; anything beyond this is refused
// before it is decoded.
constexpr qint64 MaxVersionFileBytes = 4096;

// The fields of a version text such as "130 1001 spring!host/download/1001.dat ".
struct tVersionText {
    QString strSoftware; // characters 1-3
    QString strDatabase; // characters 5-8
    // After the last "!", without the text's very last character; nothing
    // when the text holds no "!".
    std::optional<QString> strLocation;
};
tVersionText ReadVersionText(const QString& strVersion);

// The value of a version field: up to 4 decimal digits, blanks around them allowed.
std::optional<int> FieldNumber(QStringView strField);

enum class eVerdict { Newer, Same, Older, SoftwareDiffers, Unusable };

struct tDecision {
    eVerdict verdict = eVerdict::Unusable;
    // For Newer: the database version on offer and where to fetch it.
    int intAnnounced = -1;
    QString strURL;
};

// Judges the version text against the local database version (the tail field,
// as text) and the running program's version number (130 for 1.3.0).
tDecision Decide(const QString& strVersion, const QString& strLocalVersion, int intProgramVersion);

// A name not in use in the folder (not even by a link to nothing): "0001" to
// "1000" followed by ".b" for a backup or ".t" for a download, from a number
// drawn afresh; empty when all thousand are taken. Nothing is ever written into
// a file that is already there.
QString MakeTempName(const QString& strFolder, bool blnBackup);

enum class eCheck { Accepted, WrongSize, NotDatabase, VersionDiffers };

// Checks the downloaded bytes before anything is written: they are exactly the
// announced total (an unknown total, 0, never passes), a database with a date
// and version tail, and that version is the one the version text announced.
// *pstrFound receives the version found in the bytes, *pstrDate the date.
eCheck CheckDownload(const QByteArray& bytData, qint64 lngMaxBytes, int intAnnounced,
                     QString* pstrFound = nullptr, QString* pstrDate = nullptr);

// Puts the download in place of db.dat in the folder (which ends in a separator).
// The old db.dat first gets a second name, a backup; then the download takes the
// name db.dat in one rename; then the backup goes. db.dat is a complete old or new
// database at every instant, so a crash at any step leaves one to read. A failed
// step leaves the old db.dat, removes the download and the backup, and tells
// what went wrong (kind None when swapped); a backup that stays is for
// modDataFolder::RecoverFolder at a later start.
tIoError SwapIn(cFileOps& files, const QString& strFolder, const QString& strDownloaded);

} // namespace modUpdate
