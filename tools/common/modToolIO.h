// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QByteArrayView>
#include <QString>

// Standard streams and file descriptors of the command-line tools: every read
// and write goes to the system once, so that a failure (a reset socket, a full
// disk, a reader gone) is seen where it happens and named in the system's words.
namespace modToolIO {

// A standard stream the caller left closed gets /dev/null, opened the wrong way
// round so that using the stream fails ("Bad file descriptor"); otherwise the
// next file opened would take its number and be read or written in its place.
// Call first thing in main().
void GuardStandardStreams();

// The system's words for an errno value, such as "Broken pipe".
QString ErrorText(int intErrno);

// What went wrong with a file or URL, in English: "file not found",
// "permission denied", ...; a kind without words of its own gives the system's
// error number, and the system's own text where that is English; one without
// a number is an "unknown error".
QString IoErrorText(const tIoError& error);

// One read of at most lngMax bytes (repeated when a signal interrupts it): the
// byte count, 0 at the end, or -1 with the reason in *pstrWhy.
qint64 ReadSome(int intFd, char* buffer, qint64 lngMax, QString* pstrWhy);

// Writes all bytes. Returns why it could not, or the empty text.
QString WriteAll(int intFd, QByteArrayView bytData);

// Writes an output file named on the command line. "-" is standard output. A
// regular file, new or old, or a link to one, is replaced only once the new
// content is whole (the link itself is replaced, see modFileIO::WriteFileWhole).
// A device or a FIFO, named or linked to, and whatever a link in /dev or /proc
// leads to (/dev/stdout, /dev/fd/N) is opened and written directly, so the
// system's links stay; a link to a folder or to nothing is refused. Returns
// why it could not, or the empty text; *pblnStdout tells whether the bytes
// went to this program's standard output.
QString WriteOutput(const QString& strPath, QByteArrayView bytData, bool* pblnStdout);

// Whether the open file descriptor and the path name the same file, through
// links of any kind.
bool SameFile(int intFd, const QString& strPath);

// Writes a line to standard error: UTF-8, or the console's own characters
// when it is a Windows console.
void Message(const QString& strLine);

} // namespace modToolIO
