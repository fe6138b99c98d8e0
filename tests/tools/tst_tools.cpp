#include "lookup/modCarrierTable.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

struct tRun {
    int exitCode;
    QString out;
    QString err;
};

// A first argument ">/dev/full" sends standard output there.
tRun Run(const QString& exe, QStringList args, const QByteArray& input = QByteArray()) {
    QProcess p;
    if (!args.isEmpty() && args.first() == u">/dev/full")
        p.setStandardOutputFile(args.takeFirst().mid(1));
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
    void lookupOptionsFormatsAndFailures_data();
    void lookupOptionsFormatsAndFailures();
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
    const tRun run = Run(LUMIVO_LOOKUP_EXE, QStringList{"--db", LUMIVO_BUNDLED_DB} + numbers);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, expected.join(u'\n') + u'\n');
}

void tst_tools::lookupOptionsFormatsAndFailures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("errHas");
    const QStringList db{"--db", LUMIVO_BUNDLED_DB};
    QTest::newRow("standard input, control characters shown safely")
        << db << QByteArray("0501234\r\n\r\n0901\n090\t12\x01\\34") << 0
        << "0501234\t-\t090,080,070から入力して下さい\n0901\t-\t最低7桁入力して下さい\n"
           "090\\t12\\x01\\\\34\t-\t数字のみ入力して下さい\n"
        << "";
    QTest::newRow("csv") << db + QStringList{"--format", "csv", "0900012345", "0\"9,1", "=1+2"}
                         << QByteArray() << 0
                         << "number,code,text\r\n0900012345,0,未使用or未確認\r\n"
                            "\"0\"\"9,1\",-,\"090,080,070から入力して下さい\"\r\n"
                            "\"'=1+2\",-,\"090,080,070から入力して下さい\"\r\n"
                         << "";
    QTest::newRow("unknown option")
        << db + QStringList{"--frmat", "csv", "0901234"} << QByteArray() << 2 << ""
        << "Usage: lumivo-lookup";
    QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0
                             << "lumivo-lookup 1.30\n"
                             << "";
    QTest::newRow("missing database")
        << QStringList{"--db", "/no/db.dat", "0901234"} << QByteArray() << 2 << ""
        << "/no/db.dat: ファイルが見つかりません。";
    QTest::newRow("folder") << QStringList{"--db", "/"} << QByteArray() << 2 << ""
                            << "ファイルではなくフォルダーです。";
    QTest::newRow("endless database") << QStringList{"--db", "/dev/zero"} << QByteArray() << 2 << ""
                                      << "ファイルが大きすぎます";
    QTest::newRow("full disk") << QStringList{">/dev/full"} + db + QStringList{"0901234"}
                               << QByteArray() << 2 << ""
                               << "cannot write the answers";
}

void tst_tools::lookupOptionsFormatsAndFailures() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    const tRun run = Run(LUMIVO_LOOKUP_EXE, args, input);
    QTEST(run.exitCode, "exitCode");
    QTEST(run.out, "out");
    QFETCH(QString, errHas);
    QVERIFY2(run.err.contains(errHas) && run.err.count(u'\n') <= 2, qPrintable(run.err));
}

QTEST_GUILESS_MAIN(tst_tools)
#include "tst_tools.moc"
