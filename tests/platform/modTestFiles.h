// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Small file helpers every test program shares.
namespace modTestFiles {

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& strPath);
// Writes the bytes whole; false when that failed.
bool WriteFile(const QString& strPath, const QByteArray& bytes);

// What a path holds: none, folder, fifo (or another special file), the database
// version of a file ("notail" for one without), "link:" and what the link leads to.
// A file without read permission shows too: read with root's permission override,
// or by its owner, who is given read permission for the moment.
QString FileState(const QString& strPath);

// Root passes every permission check through its override capabilities; without
// them it meets a file's mode as its owner would. Other users are not affected.
void SetPermissionOverride(bool blnOn);

// The tab-separated rows of a test data file (UTF-8); blank and "#" lines are
// skipped; in a field "\n", "\r", "\t" and "\\" stand for the characters, "\uXXXX" for
// one UTF-16 code unit.
QList<QStringList> DataRows(const QString& strPath);
// One test row (column "row") per data-file line, named by its first field.
void AddDataRows(const QString& strPath);

// The text in code page 932 as the system converts it: Windows' own
// conversion there, ICU's windows-31j elsewhere; an independent reference for
// what the program writes.
QByteArray SystemCp932(const QString& strText);

// A database of one block (090123: C101 or strCode) ending in its date and version, as stored.
QByteArray DBBytes(const QString& strVersion, const QString& strDate = "20261206",
                   const QString& strCode = "C101");

// The update's leftovers in a folder by kind, sorted and joined by ",": ".b" for a
// backup, ".t" for a download or its half-written temporary.
QString LeftoverKinds(const QString& strFolder);

// An error as test data files write it: "" for none, "limit N" for a size beyond a
// limit of N bytes, else the kind's name, the system's number if there is one, and
// what became of the old file if anything did ("NoSpace 28 Restored").
tIoError ErrorOf(const QString& strText);

// Makes a FIFO at the path; false where the system has none (Windows).
bool MakeFifo(const QString& strPath);

} // namespace modTestFiles
