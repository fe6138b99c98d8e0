// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QStringList>
#include <QStringView>

class QObject;
class cPlatform;

// The search log saved where the user chooses, in the format modLogExport builds.
namespace modLogSave {

// Asks for a file name (the dialog owned by `owner`) and writes the log there, headed
// by the date and version of the database searched.
// Returns 0 when the file was written, 1 when nothing was saved: cancelled, a name
// without ".txt" or ".csv", or a write that failed (the last two after a message).
// A file that is replaced stays as it was unless the new content was written whole.
int SaveLogFile(cPlatform& platform, QObject* owner, const QStringList& lstLines,
                QStringView strDBDate, QStringView strDBVersion);

} // namespace modLogSave
