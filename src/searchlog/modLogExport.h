// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class cNumberDB;

// The search log written to a file the user chooses: ".txt" keeps the log lines as
// they are, ".csv" writes one row per line. Both start with the database's date and
// version, read from the end of the database text.
namespace modLogExport {

// Characters 1-4 of the last 16 of the database text.
QString GetDBYear(const cNumberDB& db);
// Characters 5-6 of the last 16, as a number ("05" -> "5"); "不明" when they are not one.
QString GetDBMonth(const cNumberDB& db);
// Characters 11-14 of the last 16.
QString GetDBVersion(const cNumberDB& db);

// The file content in code page 932 for the lines as TXT or CSV: header lines, one line
// per log line, each ending in CR LF, then one empty line.
QByteArray BuildLogFile(const QStringList& lstLines, const cNumberDB& db, bool blnCsv);

} // namespace modLogExport
