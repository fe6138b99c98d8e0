#include "lookup/DecryptAUCG.h"
#include "lookup/modCarrierTable.h"
#include "platform/cFakePlatform.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct tRun {
    int exitCode;
    QString out;
    QString err;
};

tRun Run(const QString& exe, const QStringList& args, const QByteArray& input = QByteArray())
{
    QProcess p;
    p.start(exe, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return {-1, QString(), QStringLiteral("timed out")};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The table's rows, by code: "090123,C153" -> {"C153": ["090123", ...]}.
QMap<QString, QStringList> BundledBlocksByCode()
{
    QMap<QString, QStringList> blocks;
    QFile f(QStringLiteral(LUMIVO_PREFIX_TABLE));
    if (!f.open(QIODevice::ReadOnly))
        return blocks;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const QStringList fields = line.split(u',');
        if (fields.size() == 2 && !line.startsWith(u'#') && fields[0] != u"prefix")
            blocks[fields[1]].append(fields[0]);
    }
    return blocks;
}

} // namespace

class tst_tools : public QObject {
    Q_OBJECT

private slots:
    void lookupAnswersEveryCarrierOfTheBundledDatabase();
    void lookupReadsStandardInput();
    void lookupFailsClearlyWithoutDatabase();
    void mkdbBuildRefusesAndKeepsOldFile();
    void mkdbEncodeDecodesBack();
};

void tst_tools::lookupAnswersEveryCarrierOfTheBundledDatabase()
{
    const auto blocks = BundledBlocksByCode();
    QCOMPARE(blocks.keys(), QStringList({"C109", "C150", "C151", "C153"}));

    QStringList numbers;
    QStringList expected;
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it) {
        // The first and the last block of each carrier, as full 11-digit numbers.
        for (const QString& block : {it->first(), it->last()}) {
            numbers << block + "00000";
            expected << block + "00000\t" + it.key() + "\t" +
                            modCarrierTable::LookupCarrier(it.key()).text;
        }
    }
    numbers << "0900012345" << "090-1234";
    expected << "0900012345\t0\t未使用or未確認" << "090-1234\t-\t数字のみ入力して下さい";

    const tRun run = Run(LUMIVO_LOOKUP_EXE, QStringList{"--db", LUMIVO_BUNDLED_DB} + numbers);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, expected.join(u'\n') + u'\n');
}

void tst_tools::lookupReadsStandardInput()
{
    const tRun run = Run(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB},
                         "0501234\r\n\r\n0901\n0801234567890\n");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("0501234\t-\t090,080,070から入力して下さい\n"
                                     "0901\t-\t最低7桁入力して下さい\n"
                                     "0801234567890\t-\t番号11桁を入力して下さい\n"));
}

void tst_tools::lookupFailsClearlyWithoutDatabase()
{
    QTemporaryDir dir;
    const tRun run = Run(LUMIVO_LOOKUP_EXE, {"--db", dir.filePath("db.dat"), "09012345678"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY(run.err.contains(dir.filePath("db.dat")));
}

void tst_tools::mkdbBuildRefusesAndKeepsOldFile()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("table.csv");
    const QString out = dir.filePath("db.dat");
    QFile f(table);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("prefix,code\n090123,C130\n090123,C135\n");
    f.close();
    const QStringList args{"build", "--table", table, "--date", "20261206", "--version", "1000",
                           "--out", out};
    tRun run = Run(LUMIVO_MKDB_EXE, args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("090123"));
    QVERIFY(!QFile::exists(out));

    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("prefix,code\n090123,C130\n");
    f.close();
    run = Run(LUMIVO_MKDB_EXE, args);
    QCOMPARE(run.exitCode, 0);
    run = Run(LUMIVO_LOOKUP_EXE, {"--db", out, "0901234"});
    QCOMPARE(run.out, QStringLiteral("0901234\tC130\tドコモ関西\n"));
}

void tst_tools::mkdbEncodeDecodesBack()
{
    QTemporaryDir dir;
    const QString text = "130 1002 spring update!127.0.0.1:8080/download/1002.dat ";
    const QString out = dir.filePath("latestver.txt");
    QCOMPARE(Run(LUMIVO_MKDB_EXE, {"encode", "--out", out, text}).exitCode, 0);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    cFakePlatform platform;
    QCOMPARE(DecryptAUCG::DecodeText(QString::fromLatin1(f.readAll()), platform), text);

    const tRun run = Run(LUMIVO_MKDB_EXE, {"encode", "--offset", "7", text});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(DecryptAUCG::DecodeText(run.out.trimmed(), platform), text);
    QVERIFY(platform.msgBoxes.isEmpty());
    QCOMPARE(Run(LUMIVO_MKDB_EXE, {"encode", "--offset", "100", text}).exitCode, 2);
}

QTEST_GUILESS_MAIN(tst_tools)
#include "tst_tools.moc"
