// SPDX-License-Identifier: Apache-2.0
#include "modToolRun.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#if defined(Q_OS_LINUX)
#include <csignal>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace modToolRun {

bool NeedsLinux(const QString& strStreams, const QStringList& args) {
#if defined(Q_OS_LINUX)
    Q_UNUSED(strStreams);
    Q_UNUSED(args);
    return false;
#else
    // Streams only Linux lets a test break, its devices, FIFOs and small mounts;
    // links, which Qt makes as shortcuts on Windows.
    const QString strArgs = args.join(u' ');
    return !strStreams.isEmpty() || strArgs.contains(QStringLiteral("/dev/")) ||
           strArgs.contains(QStringLiteral("fifo")) || strArgs.contains(QStringLiteral(".lnk"));
#endif
}

tRun Run(const QString& strExe, const QStringList& args, const QByteArray& input,
         const QString& strStreams) {
    QProcess p;
    QTemporaryFile outFile; // for "file output"
#if defined(Q_OS_LINUX)
    int fd = -1; // the child's end of a socket or a pipe, held here until it has started
    int ends[2];
    int reader = -1; // the read end of standard output, where it is not Qt's
    if (strStreams == u"closed input") {
        p.setChildProcessModifier([] { close(STDIN_FILENO); });
    } else if (strStreams == u"folder input") {
        p.setStandardInputFile(QStringLiteral("/"));
    } else if (strStreams == u"reset input" &&
               socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
        // The peer closes with a byte of ours unread: once the input is read,
        // the next read reports the reset.
        if (write(ends[0], input.constData(), size_t(input.size())) != input.size() ||
            write(ends[1], "x", 1) != 1)
            return {-1, QByteArray(), QStringLiteral("socket set-up failed")};
        close(ends[0]);
        fd = ends[1];
        p.setChildProcessModifier([fd] { dup2(fd, STDIN_FILENO); });
    } else if (strStreams == u"full output") {
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
    } else if (strStreams == u"file output" && outFile.open()) {
        p.setStandardOutputFile(outFile.fileName());
    } else if (strStreams == u"broken output" && pipe2(ends, O_CLOEXEC) == 0) {
        reader = ends[0];
        fd = ends[1];
        p.setChildProcessModifier([fd] {
            signal(SIGPIPE, SIG_IGN);
            dup2(fd, STDOUT_FILENO);
        });
    } else if (strStreams == u"little memory") {
        p.setChildProcessModifier([] {
            const rlimit limit{16 << 20, 16 << 20};
            setrlimit(RLIMIT_DATA, &limit);
        });
    } else if (!strStreams.isEmpty()) {
        return {-1, QByteArray(), QStringLiteral("cannot set up ") + strStreams};
    }
    p.start(strExe, args);
    if (fd != -1)
        close(fd);
    if (!strStreams.endsWith(u"input"))
        p.write(input);
    p.closeWriteChannel();
    if (reader != -1) {
        // Once the pipe is full the tool waits in the middle of a write; the
        // reader goes away then.
        const int intCapacity = fcntl(reader, F_GETPIPE_SZ);
        const bool blnFull = QTest::qWaitFor([&] {
            int intQueued = 0;
            return (ioctl(reader, FIONREAD, &intQueued) == 0 && intQueued >= intCapacity) ||
                   p.state() == QProcess::NotRunning;
        });
        close(reader);
        if (!blnFull)
            return {-1, QByteArray(), QStringLiteral("the tool neither filled the pipe nor ended")};
    }
#else
    if (!strStreams.isEmpty())
        return {-1, QByteArray(), QStringLiteral("cannot set up ") + strStreams};
    p.start(strExe, args);
    p.write(input);
    p.closeWriteChannel();
#endif
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, QByteArray(), QStringLiteral("timed out or crashed")};
    return {p.exitCode(), outFile.isOpen() ? outFile.readAll() : p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace modToolRun
