// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// The search log written to a file the user chooses: ".txt" keeps the log lines as
// they are, ".csv" writes one row per line. Both start with the date and version of
// the database searched ("20040501" and "1001", as the end of its text gives them).
namespace modLogExport {

// The date's first four characters.
QString GetDBYear(QStringView strDBDate);
// The date's characters 5-6 as a number ("05" -> "5"); "不明" when they are not one.
QString GetDBMonth(QStringView strDBDate);

// The file content in code page 932 for the lines as TXT or CSV: header lines, one line
// per log line, each ending in CR LF, then one empty line.
QByteArray BuildLogFile(const QStringList& lstLines, QStringView strDBDate,
                        QStringView strDBVersion, bool blnCsv);

} // namespace modLogExport
