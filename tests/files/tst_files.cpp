// SPDX-License-Identifier: Apache-2.0
#include "modFileIO.h"
#include "modTestFiles.h"
#include "tIoError.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using modTestFiles::ReadFile;
using modTestFiles::WriteFile;

class tst_files : public QObject {
    Q_OBJECT

private slots:
    // What stands at the path before a whole-file write, and what must stand there after it.
    void wholeWriteNeverGoesThroughOrOnto_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<eIoError>("error");
        using enum eIoError;
        QTest::newRow("link to a file outside: the link is replaced") << "link" << None;
        QTest::newRow("link to nowhere: the link is replaced") << "dangling" << None;
        QTest::newRow("a folder is refused") << "folder" << IsFolder;
        QTest::newRow("a FIFO is refused, without waiting for a reader")
            << "fifo" << NotRegularFile;
        QTest::newRow("a plain file is replaced") << "file" << None;
    }
    void wholeWriteNeverGoesThroughOrOnto() {
        QFETCH(QString, kind);
        QFETCH(eIoError, error);
        const bool written = error == eIoError::None;
        QTemporaryDir dir, elsewhere;
        const QString path = dir.filePath("out.dat"), outside = elsewhere.filePath("notes.txt");
        QVERIFY(WriteFile(outside, "keep me"));
        if (kind == u"link" || kind == u"dangling")
            QVERIFY(QFile::link(kind == u"link" ? outside : elsewhere.filePath("none"), path));
        else if (kind == u"folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == u"fifo") {
            if (!modTestFiles::MakeFifo(path))
                QSKIP("no FIFOs on this system");
        } else
            QVERIFY(WriteFile(path, "old"));

        QCOMPARE(modFileIO::WriteFileWhole(path, "new", true).kind, error);
        QCOMPARE(ReadFile(outside), QByteArray("keep me"));
        QVERIFY(!QFileInfo::exists(elsewhere.filePath("none")));
        const QFileInfo after(path);
        QCOMPARE(after.isFile() && !after.isSymLink(), written);
        if (written)
            QCOMPARE(ReadFile(path), QByteArray("new"));
        // No temporary file is left beside it.
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"out.dat"});
    }

    // The one mapping of system numbers to kinds: errno, Windows' numbers, and a
    // std::error_code of either category; "other" keeps the number.
    void ioErrorKinds_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("code");
        QTest::addColumn<eIoError>("kind");
        using enum eIoError;
        const std::pair<int, eIoError> errnos[] = {
            {ENOENT, NotFound},         {ENOTDIR, NotFound},
            {EACCES, PermissionDenied}, {EPERM, PermissionDenied},
            {ENOSPC, NoSpace},          {EROFS, ReadOnly},
            {EISDIR, IsFolder},         {EFBIG, TooLarge},
            {ENOMEM, NoMemory},         {EIO, Other}};
        for (const auto& [code, kind] : errnos)
            QTest::addRow("errno %d", code) << "errno" << code << kind;
        const std::pair<int, eIoError> windows[] = {
            {2, NotFound}, {3, NotFound},  {15, NotFound},  {53, NotFound}, {5, PermissionDenied},
            {39, NoSpace}, {112, NoSpace}, {1295, NoSpace}, {19, ReadOnly}, {223, TooLarge},
            {8, NoMemory}, {14, NoMemory}, {32, Other}};
        for (const auto& [code, kind] : windows)
            QTest::addRow("windows %d", code) << "windows" << code << kind;
        QTest::newRow("error_code, generic") << "generic" << int(ENOSPC) << NoSpace;
    }
    void ioErrorKinds() {
        QFETCH(QString, table);
        QFETCH(int, code);
        const tIoError error =
            table == "errno" ? tIoError::FromErrno(code)
            : table == "windows"
                ? tIoError::FromWindowsCode(code)
                : tIoError::FromErrorCode(std::error_code(code, std::generic_category()));
        QTEST(error.kind, "kind");
        QCOMPARE(error.intSystemCode, code);
    }

#ifdef Q_OS_UNIX
    // A file in a folder the user may not enter is refused, not missing; a FIFO is
    // refused without waiting for a writer.
    void readRefusals() {
        QTemporaryDir dir;
        const QString path = dir.filePath("db.dat");
        QByteArray bytes;
        if (modTestFiles::MakeFifo(dir.filePath("fifo")))
            QCOMPARE(modFileIO::ReadRegularFile(dir.filePath("fifo"), &bytes).kind,
                     eIoError::NotRegularFile);
        QVERIFY(WriteFile(path, "x"));
        tIoError error;
        {
            const auto restore = qScopeGuard([&] {
                modTestFiles::SetPermissionOverride(true);
                QFile::setPermissions(dir.path(), QFile::Permissions(0x7700));
            });
            QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions()));
            modTestFiles::SetPermissionOverride(false);
            error = modFileIO::ReadRegularFile(path, &bytes);
        }
        QCOMPARE(error, tIoError::Of(eIoError::PermissionDenied, EACCES));
    }
#endif

    // The limit is judged against the bytes a whole read takes; a read of the end
    // takes at most that many bytes. The file holds "0123456789".
    void readLimits_data() {
        QTest::addColumn<qint64>("last"); // -1: the whole file
        QTest::addColumn<qint64>("max");  // -1: no limit
        QTest::addColumn<tIoError>("error");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("whole, no limit") << -1LL << -1LL << tIoError() << QByteArray("0123456789");
        QTest::newRow("whole, exactly the limit")
            << -1LL << 10LL << tIoError() << QByteArray("0123456789");
        QTest::newRow("whole, one byte over") << -1LL << 9LL << tIoError::Limit(9) << QByteArray();
        QTest::newRow("the last 4") << 4LL << -1LL << tIoError() << QByteArray("6789");
        QTest::newRow("the last 20 of 10")
            << 20LL << -1LL << tIoError() << QByteArray("0123456789");
        QTest::newRow("the last 0") << 0LL << -1LL << tIoError() << QByteArray();
    }
    void readLimits() {
        QFETCH(qint64, last);
        QFETCH(qint64, max);
        QTemporaryDir dir;
        const QString path = dir.filePath("f");
        QVERIFY(WriteFile(path, "0123456789"));
        QByteArray bytes;
        tIoError error;
        if (max < 0) {
            error = modFileIO::ReadRegularFile(path, &bytes, last);
        } else {
            QByteArray room;
            qint64 lngRead = -1;
            error = modFileIO::ReadRegularFile(
                path, max,
                [&room](qint64 n) {
                    room.resize(n);
                    return room.data();
                },
                &lngRead);
            bytes = error.Failed() ? QByteArray() : room.left(lngRead);
        }
        QTEST(error, "error");
        QTEST(bytes, "bytes");
    }

    // Whatever stands at a name takes it, a link to nothing too.
    void nameTaken_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("taken");
        QTest::newRow("nothing") << "none" << false;
        QTest::newRow("in a folder that is not there") << "none/x" << false;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a folder") << "folder" << true;
        QTest::newRow("a link to nothing") << "dangling" << true;
    }
    void nameTaken() {
        QFETCH(QString, what);
#ifndef Q_OS_UNIX
        if (what == "dangling")
            QSKIP("symbolic links as Unix has them");
#endif
        QTemporaryDir dir;
        const QString path = dir.filePath(what);
        if (what == "file")
            QVERIFY(WriteFile(path, "x"));
        else if (what == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (what == "dangling")
            QVERIFY(QFile::link(dir.filePath("nowhere"), path));
        QTEST(modFileIO::NameTaken(path), "taken");
    }

    void renameOverAndLinkOrCopy() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a"), b = dir.filePath("b"), c = dir.filePath("c");
        QVERIFY(WriteFile(a, "new") && WriteFile(b, "old"));
        // A second name keeps the old content through the replacement of the first.
        QVERIFY(!modFileIO::LinkOrCopy(b, c).Failed());
        QVERIFY(modFileIO::LinkOrCopy(a, c).Failed()); // never onto an existing name
        QVERIFY(!modFileIO::RenameOver(a, b).Failed());
        QCOMPARE(ReadFile(b) + ReadFile(c), QByteArray("newold"));
        QVERIFY(!QFileInfo::exists(a));
        QCOMPARE(modFileIO::RenameOver(a, b).kind, eIoError::NotFound);
        QCOMPARE(ReadFile(b), QByteArray("new"));
    }
};

QTEST_GUILESS_MAIN(tst_files)
#include "tst_files.moc"
