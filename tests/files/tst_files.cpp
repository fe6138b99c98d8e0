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
    // What stands at the path before a whole-file write, whether that takes the name
    // (a link to nothing too), and what must stand there after the write.
    void wholeWriteNeverGoesThroughOrOnto_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<eIoError>("error");
        using enum eIoError;
        QTest::newRow("nothing: a file is made") << "none" << false << None;
        QTest::newRow("link to a file outside: the link is replaced") << "link" << true << None;
        QTest::newRow("link to nowhere: the link is replaced") << "dangling" << true << None;
        QTest::newRow("a folder is refused") << "folder" << true << IsFolder;
        QTest::newRow("a FIFO is refused, without waiting for a reader")
            << "fifo" << true << NotRegularFile;
        QTest::newRow("a plain file is replaced") << "file" << true << None;
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
        } else if (kind == u"file")
            QVERIFY(WriteFile(path, "old"));
#ifndef Q_OS_UNIX
        if (kind != u"dangling") // symbolic links as Unix has them
#endif
            QTEST(modFileIO::NameTaken(path), "taken");

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

    // The one mapping of system numbers to kinds, where no test of a real failure
    // reaches it: a path through a file, Windows' numbers, a std::error_code; "other"
    // keeps the number.
    void ioErrorKinds_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("code");
        QTest::addColumn<eIoError>("kind");
        using enum eIoError;
        QTest::newRow("errno ENOTDIR") << "errno" << int(ENOTDIR) << NotFound;
        QTest::newRow("errno EIO") << "errno" << int(EIO) << Other;
        QTest::newRow("windows 5") << "windows" << 5 << PermissionDenied;
        QTest::newRow("windows 112") << "windows" << 112 << NoSpace;
        QTest::newRow("windows 32") << "windows" << 32 << Other;
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
