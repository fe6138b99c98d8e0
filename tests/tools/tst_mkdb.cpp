// SPDX-License-Identifier: Apache-2.0
#include "modFileIO.h"
#include "modTestFiles.h"
#include "modToolRun.h"
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

using modTestFiles::ReadFile;
using modTestFiles::WriteFile;

// A data file's arguments, split at "|", with "@build" spelled out.
QStringList Args(const QString& strArgs) {
    return QString(strArgs)
        .replace("@build", "build|--table|%D/table.csv|--date|20261207|--version|1001")
        .split(u'|');
}

class tst_mkdb : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void outputs_data();
    void outputs();
    void carrierRows();
};

void tst_mkdb::commandLine_data() {
    modTestFiles::AddDataRows(QFINDTESTDATA("mkdb-commands.txt"));
}

void tst_mkdb::commandLine() {
    QFETCH(QStringList, row);
    QStringList args = Args(row[1]);
    const QByteArray table = row[2].toUtf8();
    const int exitCode = row[3].toInt();
    const QString out = row[4], setup = row[6];
    QString err = row[5];
    if (modToolRun::NeedsLinux(setup, args))
        QSKIP("needs what only Linux offers a test");
    QTemporaryDir dir;
    const QString folder = dir.path();
    const bool fullDisk = setup == u"full disk";
    if (fullDisk && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}))
        QSKIP("a small tmpfs cannot be mounted here (it needs root)");
    const std::unique_ptr<const QString, void (*)(const QString*)> unmount(
        fullDisk ? &folder : nullptr, [](const QString* p) { QProcess::execute("umount", {*p}); });
    QVERIFY(WriteFile(folder + "/table.csv", table));
    QVERIFY(WriteFile(folder + "/db.dat", "OLD"));
    QVERIFY(QFile::link("table.csv", folder + "/table.lnk") &&
            QFile::link("db.dat", folder + "/db.lnk"));
    QVERIFY(!modFileIO::LinkOrCopy(folder + "/table.csv", folder + "/table.hard").Failed());
    if (fullDisk) // fills the small file system up
        QProcess::execute("sh", {"-c", "cat /dev/zero >\"$0/filler\" 2>/dev/null", folder});

    args.replaceInStrings("%D", folder).replaceInStrings("%O", folder + "/db.dat");
    err.replace("%D", folder);
    const modToolRun::tRun run =
        modToolRun::Run(LUMIVO_MKDB_EXE, args, table, fullDisk ? QString() : setup);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(err) && run.err.size() < 300, qPrintable(run.err));
    // The database goes to the path given, as a file of its own; nothing else changes.
    const bool built = exitCode == 0 && args.first() == "build" && args.contains("--out");
    const QString written = built ? args.at(args.indexOf("--out") + 1) : QString();
    if (built) {
        QVERIFY(!QFileInfo(written).isSymLink());
        QCOMPARE(ReadFile(written), out.toLatin1());
    } else {
        QVERIFY2(QString::fromUtf8(run.out).contains(out), run.out.constData());
    }
    QCOMPARE(ReadFile(folder + "/db.dat"),
             written.endsWith("/db.dat") ? out.toLatin1() : QByteArray("OLD"));
    QCOMPARE(ReadFile(folder + "/table.csv"), table);
    // No temporary file is left beside the table, db.dat, the three links and the filler.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System).size(), fullDisk ? 6 : 5);
}

void tst_mkdb::outputs_data() {
    modTestFiles::AddDataRows(QFINDTESTDATA("mkdb-outputs.txt"));
}

// What the folder holds: each name with its kind, and a link's target.
QStringList Entries(const QString& strFolder) {
    QStringList entries;
    for (const QFileInfo& info : QDir(strFolder).entryInfoList(
             QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        entries << info.fileName() + (info.isSymLink() ? " -> " + info.symLinkTarget()
                                      : info.isFile()  ? " file"
                                                       : " special");
    return entries;
}

// Devices, FIFOs and the system's links are written through, never replaced;
// "-" is standard output; a written database stays written.
void tst_mkdb::outputs() {
    QFETCH(QStringList, row);
    QStringList args = Args(row[1]);
    const QString streams = row[2], read = row[6], bytes = row[7];
    QString out = row[4], err = row[5];
    if (modToolRun::NeedsLinux(streams, args))
        QSKIP("needs what only Linux offers a test");
    QTemporaryDir dir;
    const QString folder = dir.path();
    // Named before the folder changes: under Wine a path without a drive is
    // taken on the current folder's drive.
    const QString strExe = QFileInfo(LUMIVO_MKDB_EXE).absoluteFilePath();
    // A name such as "-" taken for a file lands here, not in the build folder.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    const std::unique_ptr<const QString, void (*)(const QString*)> back(
        &before, [](const QString* p) { QDir::setCurrent(*p); });
    QVERIFY(WriteFile(folder + "/table.csv", "090123,C130\n"));
    QVERIFY(WriteFile(folder + "/db.dat", "OLD"));
    [[maybe_unused]] int reader = -1;
#if defined(Q_OS_UNIX)
    QVERIFY(modTestFiles::MakeFifo(folder + "/fifo"));
    // Open before the tool opens it for writing, so that neither waits.
    reader = open(QFile::encodeName(folder + "/fifo").constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    const std::unique_ptr<int, void (*)(int*)> closeReader(&reader, [](int* p) { close(*p); });
    QVERIFY(QFile::link("fifo", folder + "/fifo.lnk") &&
            QFile::link("/dev/null", folder + "/null.lnk") &&
            QFile::link(".", folder + "/folder.lnk") && QFile::link("none", folder + "/none.lnk") &&
            QFile::link("/proc/self/fd/1", folder + "/stdout.lnk"));
#endif
    const QStringList entries = Entries(folder);

    args.replaceInStrings("%D", folder);
    const modToolRun::tRun run = modToolRun::Run(strExe, args, QByteArray(), streams);
    QCOMPARE(run.exitCode, row[3].toInt());
    QCOMPARE(run.out, out.replace("%D", folder).toLatin1());
    QVERIFY2(run.err.contains(err.replace("%D", folder)) && run.err.count(u'\n') == !err.isEmpty(),
             qPrintable(run.err));
    QCOMPARE(Entries(folder), entries);
    QByteArray got;
    if (read == u"fifo") {
#if defined(Q_OS_UNIX)
        got.resize(4096);
        got.resize(qMax<qsizetype>(0, ::read(reader, got.data(), size_t(got.size()))));
#endif
    } else if (!read.isEmpty()) {
        got = ReadFile(folder + u'/' + read);
    }
    QCOMPARE(got, bytes.toLatin1());
#if defined(Q_OS_UNIX)
    QCOMPARE(ReadFile("/dev/null"), QByteArray()); // still the device
#endif
}

// Carrier rows the program's table lacks: built into the database and shown by decode
// with its date and version (a row for a fixed code is refused: mkdb-commands.txt).
void tst_mkdb::carrierRows() {
    QTemporaryDir dir;
    const QString table = dir.filePath("table.csv"), db = dir.filePath("db.dat");
    QVERIFY(WriteFile(table, "090123,C130\ncarrier,C155,楽天モバイル,99\n060123,C155\n"));
    const QStringList args =
        Args("@build|--out|%O").replaceInStrings("%D", dir.path()).replaceInStrings("%O", db);
    modToolRun::tRun run = modToolRun::Run(LUMIVO_MKDB_EXE, args);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, db.toUtf8() + ": 2 records, 1 carrier row\n");
    run = modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             "date 20261207\nversion 1001\ncarrier,C155,楽天モバイル,99\n");
    // A database without rows shows its date and version; a version file is decoded as before.
    QVERIFY(WriteFile(db, "00020406AC130\r\n20261207  1001\r\n"));
    QCOMPARE(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db}).out, "date 20261207\nversion 1001\n");
    QVERIFY(WriteFile(db, "ACGGCUAAACUUACCGUA")); // "Aa"
    QCOMPARE(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db}).out, "Aa\n");
    QVERIFY(WriteFile(db, QByteArray(65537, 'A')));
    QVERIFY(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db})
                .err.endsWith("larger than 65536 bytes without a database's date and version: "
                              "neither a version file nor a number database\n"));
}

QTEST_MAIN(tst_mkdb)
#include "tst_mkdb.moc"
