// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a command-line tool with its standard streams set up as only the system
// can make them fail.
namespace modToolRun {

struct tRun {
    int exitCode; // -1 when it did not finish within 30 s
    QByteArray out;
    QString err;
};

// strStreams names the set-up; the input goes to standard input.
//   ""                standard input a pipe holding the input, standard output a pipe
//   "closed input"    standard input closed
//   "folder input"    standard input a folder
//   "reset input"     standard input a socket holding the input, then reset by its peer
//   "full output"     standard output /dev/full
//   "file output"     standard output a regular file, whose bytes are returned
//   "broken output"   standard output a pipe never read, whose reader goes away once
//                     it is full, in the middle of a write (SIGPIPE ignored)
//   "little memory"   at most 16 MiB of data memory
tRun Run(const QString& strExe, const QStringList& args, const QByteArray& input = QByteArray(),
         const QString& strStreams = QString());

// Whether a case needs what only Linux offers a test (the set-ups above, its
// devices, FIFOs); such cases are skipped elsewhere.
bool NeedsLinux(const QString& strStreams, const QStringList& args);

} // namespace modToolRun
