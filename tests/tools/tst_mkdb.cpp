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

// %D is the test's folder, %O the file written: db.dat, which holds "OLD"
// before. Beside them: table.lnk and table.hard, a symbolic and a hard link to
// the table, and db.lnk, a symbolic link to db.dat.
const QStringList Build{"build",     "--table", "%D/table.csv", "--date", "20261207",
                        "--version", "1001",    "--out",        "%O"};
const QStringList Encode{"encode", "--out", "%O", "130 1001 x!h/d "};
// "Aa" in the letter-pair code: offset 05, groups 070 and 102, check digit.
const QByteArray Encoded = "ACGGCUAAACUUACCGUA";
const QString Built = "00020406AC130\r\n20261207  1001\r\n";

QStringList BuildTo(const QString& strOut) {
    return QStringList(Build).replaceInStrings("%O", strOut);
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
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("table"); // also standard input
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // in standard output, or the whole database built
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("setup"); // "full disk" (the folder) or standard streams as run
    const QStringList fromStdin = QStringList(Build).replaceInStrings("%D/table.csv", "-");
    // clang-format off
    QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0 << "lumivo-mkdb 1.30\n" << "" << "";
    QTest::newRow("version, full disk") << QStringList{"--version"} << QByteArray() << 2 << "" << "No space left on device" << "full output";
    QTest::newRow("help-all") << QStringList{"--help-all"} << QByteArray() << 0 << "\nCommands:\n" << "" << "";
    QTest::newRow("build --help-all, the command before its options") << QStringList{"build", "--help-all"} << QByteArray() << 0 << " build [options]\n" << "" << "";
    QTest::newRow("unknown option") << QStringList{"--frob", "09012345678"} << QByteArray() << 2 << "" << "Usage: " << "";
    QTest::newRow("unknown build option") << Build + QStringList{"--tabel", "x"} << QByteArray("090123,C130") << 2 << "" << "Usage: " << "";
    QTest::newRow("no block") << Build << QByteArray("prefix,code\n# none\n") << 2 << "" << "no number block" << "";
    QTest::newRow("10 digits") << Build << QByteArray("0901234567,C130\n") << 2 << "" << "\"0901234567\" is not" << "";
    QTest::newRow("endless table") << QStringList(Build).replaceInStrings("%D/table.csv", "/dev/zero") << QByteArray() << 2 << "" << "not a prefix table" << "";
    QTest::newRow("long field") << Build << QByteArray(1000, '9') + ",C130" << 2 << "" << "\"" + QString(40, '9') + "…\" is not" << "";
    QTest::newRow("built") << Build << QByteArray("prefix,code\n# x\n\n 090123 , C130\r\n") << 0 << Built << "" << "";
    QTest::newRow("built, 8 and 9 digits under steering records") << Build << QByteArray("090123456,C130\n080000999,P105\n0709999,C101\n07012345,C102\n") << 0 << "0202040608FC160\r\n020204060810GC102\r\n0210111213FC101\r\n0101020313FC160\r\n010102031314GC161\r\n01010203131415HP105\r\n0002040608FC160\r\n000204060810GC161\r\n00020406081012HC130\r\n20261207  1001\r\n" << "" << "";
    QTest::newRow("built from standard input") << fromStdin << QByteArray("090123,C130\n") << 0 << Built << "" << "";
    QTest::newRow("table a folder") << QStringList(Build).replaceInStrings("%D/table.csv", "%D") << QByteArray() << 2 << "" << "cannot read %D: is a folder" << "";
    QTest::newRow("decode a folder") << QStringList{"decode", "%D"} << QByteArray() << 2 << "" << "cannot read %D: is a folder" << "";
    QTest::newRow("table cut by a read error") << fromStdin << QByteArray("090123,C130\n") << 2 << "" << "cannot read -: Connection reset by peer" << "reset input";
    QTest::newRow("out is the table") << BuildTo("%D/table.csv") << QByteArray("090123,C130\n") << 2 << "" << "is the table itself" << "";
    QTest::newRow("out links to the table") << BuildTo("%D/table.lnk") << QByteArray("090123,C130\n") << 2 << "" << "is the table itself" << "";
    QTest::newRow("out is a hard link of the table") << BuildTo("%D/table.hard") << QByteArray("090123,C130\n") << 2 << "" << "is the table itself" << "";
    QTest::newRow("out replaces a link, not its target") << BuildTo("%D/db.lnk") << QByteArray("090123,C130\n") << 0 << Built << "" << "";
    QTest::newRow("conflict") << Build << QByteArray("090123,C130\n090123,C135\n") << 2 << "" << "090123" << "";
    QTest::newRow("offset 100") << QStringList{"encode", "--offset", "100", "A"} << QByteArray() << 2 << "" << "0 to 99" << "";
    QTest::newRow("encode an empty text") << QStringList{"encode", ""} << QByteArray() << 2 << "" << "an empty TEXT" << "";
    QTest::newRow("decoded") << QStringList{"decode", "%D/table.csv"} << Encoded + "\r\n" << 0 << "Aa\n" << "" << "";
    QTest::newRow("check digit") << QStringList{"decode", "%D/table.csv"} << "UU" + Encoded.mid(2) << 2 << "" << "check digit" << "";
    QTest::newRow("build, disk full") << Build << QByteArray("090123,C130") << 2 << "" << "db.dat: no space left on device" << "full disk";
    QTest::newRow("encode, disk full") << Encode << QByteArray() << 2 << "" << "db.dat: no space left on device" << "full disk";
    // clang-format on
}

void tst_mkdb::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, table);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, setup);
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
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("streams");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // standard output, whole
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("read"); // a file in %D read afterwards: the FIFO or db.dat
    QTest::addColumn<QString>("bytes");
    // "d" at offset 11: digits 11 111 9, each with a single pair.
    const QStringList encode{"encode", "--offset", "11", "d", "--out"};
    const QString encoded = "UUUUUUUUUUAG";
    // clang-format off
    QTest::newRow("build to -") << BuildTo("-") << "" << 0 << Built << "-: 1 records" << "" << "";
    QTest::newRow("encode to -") << encode + QStringList("-") << "" << 0 << encoded << "" << "" << "";
    QTest::newRow("build to -, standard output full") << BuildTo("-") << "full output" << 2 << "" << "cannot write -: No space left on device" << "" << "";
    QTest::newRow("build into a FIFO") << BuildTo("%D/fifo") << "" << 0 << "%D/fifo: 1 records\n" << "" << "fifo" << Built;
    QTest::newRow("encode through a link to a FIFO") << encode + QStringList("%D/fifo.lnk") << "" << 0 << "" << "" << "fifo" << encoded;
    QTest::newRow("build into /dev/null") << BuildTo("/dev/null") << "" << 0 << "/dev/null: 1 records\n" << "" << "" << "";
    QTest::newRow("build through a link to /dev/null") << BuildTo("%D/null.lnk") << "" << 0 << "%D/null.lnk: 1 records\n" << "" << "" << "";
    QTest::newRow("build through a link to standard output, a file") << BuildTo("%D/stdout.lnk") << "file output" << 0 << Built << "%D/stdout.lnk: 1 records" << "" << "";
    QTest::newRow("build through a link to a folder") << BuildTo("%D/folder.lnk") << "" << 2 << "" << "cannot write %D/folder.lnk: a link to a folder" << "" << "";
    QTest::newRow("encode through a link to nothing") << encode + QStringList("%D/none.lnk") << "" << 2 << "" << "cannot write %D/none.lnk: a link that leads to no file" << "" << "";
    QTest::newRow("built, but its summary line cannot be written") << BuildTo("%D/db.dat") << "full output" << 0 << "" << "warning: %D/db.dat written" << "db.dat" << Built;
    // clang-format on
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
    QFETCH(QStringList, args);
    QFETCH(QString, streams);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, read);
    QFETCH(QString, bytes);
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
    QTEST(run.exitCode, "exitCode");
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

// Carrier rows the program's table lacks: built into the database, shown by decode
// with its date and version, and refused where they would change a fixed answer.
void tst_mkdb::carrierRows() {
    QTemporaryDir dir;
    const QString table = dir.filePath("table.csv"), db = dir.filePath("db.dat");
    QVERIFY(WriteFile(table, "090123,C130\ncarrier,C155,楽天モバイル,99\n060123,C155\n"));
    QStringList args = BuildTo(db).replaceInStrings("%D", dir.path());
    modToolRun::tRun run = modToolRun::Run(LUMIVO_MKDB_EXE, args);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, db.toUtf8() + ": 2 records, 1 carrier row\n");
    run = modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             "date 20261207\nversion 1001\ncarrier,C155,楽天モバイル,99\n");
    // A database without rows shows its date and version; a version file is decoded as before.
    QVERIFY(WriteFile(db, Built.toLatin1()));
    QCOMPARE(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db}).out, "date 20261207\nversion 1001\n");
    QVERIFY(WriteFile(db, Encoded));
    QCOMPARE(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db}).out, "Aa\n");
    QVERIFY(WriteFile(db, QByteArray(65537, 'A')));
    QVERIFY(modToolRun::Run(LUMIVO_MKDB_EXE, {"decode", db})
                .err.endsWith("larger than 65536 bytes without a database's date and version: "
                              "neither a version file nor a number database\n"));

    QVERIFY(WriteFile(table, "carrier,C130,偽物,3\n090123,C130\n"));
    run = modToolRun::Run(LUMIVO_MKDB_EXE, args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("line 1: C130 has a row in the program's own table, which always "
                              "wins"),
             qPrintable(run.err));
}

QTEST_MAIN(tst_mkdb)
#include "tst_mkdb.moc"
