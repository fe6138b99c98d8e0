// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

// Writing and replacing whole files so that a failure never leaves one
// half-written, and nothing is ever written through a link planted at the path.
namespace modFileIO {

// Writes the bytes through a temporary file beside the target, so an existing
// file is replaced only once the new content is on disk whole. A symbolic link
// at the path is replaced by the file itself, never written through; a folder
// or another non-regular file there is refused. Returns what went wrong (kind
// None when written).
// With blnInPlaceFallback, a folder that takes no new file (the user may write
// the file but not the folder) gets the file overwritten in place, as a plain
// save would; the room for a longer content is taken first, so a full disk
// leaves the old bytContent as it was. A failure tells what became of the old file.
tIoError WriteFileWhole(const QString& strPath, const QByteArray& bytContent,
                        bool blnInPlaceFallback = false);

// Renames strFrom to strTo in one step; an existing file or link at strTo is
// replaced, so strTo names the old or the new file at every instant.
tIoError RenameOver(const QString& strFrom, const QString& strTo);

// Makes room for a read: lngBytes in all, the bytes read so far kept; returns
// where the room starts, or null when there is no such memory.
using tMakeRoom = std::function<char*(qint64 lngBytes)>;

// Reads a regular file, through links, to its end into the room fnMakeRoom
// gives, also past the size it had when opened should it grow meanwhile. More
// than lngMaxBytes (when not negative) is refused as TooLarge with that limit,
// judged by the size and by the bytes read. A folder, a FIFO, a device or a
// socket is refused without being opened, so nothing waits for a writer that
// never comes. Returns what went wrong (kind None when read); *plngRead: the
// bytes read.
tIoError ReadRegularFile(const QString& strPath, qint64 lngMaxBytes, const tMakeRoom& fnMakeRoom,
                         qint64* plngRead);
// The same into a byte array: the whole file, or its last lngLastBytes when
// that is not negative.
tIoError ReadRegularFile(const QString& strPath, QByteArray* pBytes, qint64 lngLastBytes = -1);

// Whether something has the name: a file, a folder, or a link, a dangling one too.
bool NameTaken(const QString& strPath);

// Makes strTo, which must not exist, a second name of the file strFrom (a hard
// link), or a whole copy of it where the file system has no links.
tIoError LinkOrCopy(const QString& strFrom, const QString& strTo);

// When the name or the content at the path last changed (a new hard link to a
// file counts); for a symbolic link the link's own time, not what it points to.
// Invalid when it cannot be told.
QDateTime ChangeTime(const QString& strPath);

} // namespace modFileIO
