#include "platform/modTestFiles.h"
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using modTestFiles::WriteFile;

// %D is the test's folder, %O the file written.
const QStringList Build{"build",     "--table", "%D/table.csv", "--date", "20261207",
                        "--version", "1001",    "--out",        "%O"};
const QStringList Encode{"encode", "--out", "%O", "130 1001 x!h/d "};
// "Aa" in the letter-pair code: offset 05, groups 070 and 102, check digit.
const QByteArray Encoded = "ACGGCUAAACUUACCGUA";

class tst_mkdb : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
};

void tst_mkdb::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // in standard output, or the whole database built
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("fullDisk"); // the file written lies on a full file system
    // clang-format off
    QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0 << "lumivo-mkdb 1.30\n" << "" << false;
    QTest::newRow("unknown option") << QStringList{"--frob", "09012345678"} << QByteArray() << 2 << "" << "Usage: " << false;
    QTest::newRow("unknown build option") << Build + QStringList{"--tabel", "x"} << QByteArray("090123,C130") << 2 << "" << "Usage: " << false;
    QTest::newRow("no block") << Build << QByteArray("prefix,code\n# none\n") << 2 << "" << "no number block" << false;
    QTest::newRow("10 digits") << Build << QByteArray("0901234567,C130\n") << 2 << "" << "\"0901234567\" is not" << false;
    QTest::newRow("endless table") << QStringList(Build).replaceInStrings("%D/table.csv", "/dev/zero") << QByteArray() << 2 << "" << "not a prefix table" << false;
    QTest::newRow("long field") << Build << QByteArray(1000, '9') + ",C130" << 2 << "" << "\"" + QString(40, '9') + "…\" is not" << false;
    QTest::newRow("built") << Build << QByteArray("prefix,code\n# x\n\n 090123 , C130\r\n") << 0 << "00020406AC130\r\n20261207  1001\r\n" << "" << false;
    QTest::newRow("conflict") << Build << QByteArray("090123,C130\n090123,C135\n") << 2 << "" << "090123" << false;
    QTest::newRow("offset 100") << QStringList{"encode", "--offset", "100", "A"} << QByteArray() << 2 << "" << "0 to 99" << false;
    QTest::newRow("decoded") << QStringList{"decode", "%D/table.csv"} << Encoded + "\r\n" << 0 << "Aa\n" << "" << false;
    QTest::newRow("check digit") << QStringList{"decode", "%D/table.csv"} << "UU" + Encoded.mid(2) << 2 << "" << "check digit" << false;
    QTest::newRow("build, disk full") << Build << QByteArray("090123,C130") << 2 << "" << "No space left on device" << true;
    QTest::newRow("encode, disk full") << Encode << QByteArray() << 2 << "" << "No space left on device" << true;
    // clang-format on
}

void tst_mkdb::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, table);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, fullDisk);
    QTemporaryDir dir;
    const QString folder = dir.path();
    if (fullDisk && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}))
        QSKIP("a small tmpfs cannot be mounted here (it needs root)");
    const std::unique_ptr<const QString, void (*)(const QString*)> unmount(
        fullDisk ? &folder : nullptr, [](const QString* p) { QProcess::execute("umount", {*p}); });
    QVERIFY(WriteFile(folder + "/table.csv", table));
    QVERIFY(WriteFile(folder + "/db.dat", "OLD"));
    if (fullDisk) // fills the small file system up
        QProcess::execute("sh", {"-c", "cat /dev/zero >\"$0/filler\" 2>/dev/null", folder});

    QProcess p;
    p.start(LUMIVO_MKDB_EXE,
            args.replaceInStrings("%D", folder).replaceInStrings("%O", folder + "/db.dat"));
    QVERIFY(p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit);
    const QString stdOut = p.readAllStandardOutput(), stdErr = p.readAllStandardError();
    QCOMPARE(p.exitCode(), exitCode);
    QVERIFY2(stdErr.contains(err) && stdErr.size() < 300, qPrintable(stdErr));
    const bool built = exitCode == 0 && args.first() == "build";
    QFile db(folder + "/db.dat");
    db.open(QIODevice::ReadOnly);
    QCOMPARE(db.readAll(), built ? out.toLatin1() : QByteArray("OLD"));
    QVERIFY2(built || stdOut.contains(out), qPrintable(stdOut));
    // No temporary file is left beside db.dat, the table and the filler.
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), fullDisk ? 3 : 2);
}

QTEST_GUILESS_MAIN(tst_mkdb)
#include "tst_mkdb.moc"
