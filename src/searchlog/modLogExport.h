#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QObject;
class cNumberDB;
class cPlatform;

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

// Asks for a file name (the dialog owned by `owner`) and writes the log there.
// Returns 0 when the file was written, 1 when nothing was saved: cancelled, a name
// without ".txt" or ".csv", or a write that failed (the last two after a message).
// A file that is replaced stays as it was unless the new content was written whole.
int SaveLogFile(cPlatform& platform, QObject* owner, const QStringList& lstLines,
                const cNumberDB& db);

} // namespace modLogExport
