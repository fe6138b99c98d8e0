#include "lookup/DecryptAUCG.h"
#include "lookup/modCarrierTable.h"

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

tRun Run(const QString& exe, const QStringList& args, const QByteArray& input = QByteArray()) {
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
QMap<QString, QStringList> BundledBlocksByCode() {
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
    void lookupReadsStandardInputAndFailsClearly();
    void mkdbRefusesAndEncodes();
};

void tst_tools::lookupAnswersEveryCarrierOfTheBundledDatabase() {
    const auto blocks = BundledBlocksByCode();
    QCOMPARE(blocks.keys(), QStringList({"C109", "C150", "C151", "C153"}));
    QStringList numbers, expected;
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it)
        for (const QString& block : {it->first(), it->last()}) { // 11-digit numbers
            numbers << block + "00000";
            expected << block + "00000\t" + it.key() + "\t" +
                            modCarrierTable::LookupCarrier(it.key()).text.toString();
        }
    numbers << "0900012345"
            << "090-1234";
    expected << "0900012345\t0\t未使用or未確認"
             << "090-1234\t-\t数字のみ入力して下さい";
    const tRun run = Run(LUMIVO_LOOKUP_EXE, QStringList{"--db", LUMIVO_BUNDLED_DB} + numbers);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, expected.join(u'\n') + u'\n');
}

void tst_tools::lookupReadsStandardInputAndFailsClearly() {
    tRun run =
        Run(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB}, "0501234\r\n\r\n0901\n0801234567890\n");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("0501234\t-\t090,080,070から入力して下さい\n"
                                     "0901\t-\t最低7桁入力して下さい\n"
                                     "0801234567890\t-\t番号11桁を入力して下さい\n"));
    QTemporaryDir dir;
    run = Run(LUMIVO_LOOKUP_EXE, {"--db", dir.filePath("db.dat"), "09012345678"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY(run.err.contains(dir.filePath("db.dat")));
}

void tst_tools::mkdbRefusesAndEncodes() {
    QTemporaryDir dir;
    const QString table = dir.filePath("table.csv"), out = dir.filePath("db.dat");
    const QStringList build{"build",     "--table", table,   "--date", "20261206",
                            "--version", "1000",    "--out", out};
    QFile f(table);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("prefix,code\n090123,C130\n090123,C135\n");
    f.close();
    tRun run = Run(LUMIVO_MKDB_EXE, build);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("090123"));
    QVERIFY(!QFile::exists(out));

    // The version file it encodes decodes back to the text.
    const QString text = "130 1002 spring update!127.0.0.1:8080/download/1002.dat ";
    run = Run(LUMIVO_MKDB_EXE, {"encode", "--offset", "7", text});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(DecryptAUCG::DecodeText(run.out.trimmed()), text);
    QCOMPARE(Run(LUMIVO_MKDB_EXE, {"encode", "--offset", "100", text}).exitCode, 2);
}

QTEST_GUILESS_MAIN(tst_tools)
#include "tst_tools.moc"
