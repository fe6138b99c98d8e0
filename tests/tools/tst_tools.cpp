// SPDX-License-Identifier: Apache-2.0
#include "modTestFiles.h"
#include "modToolRun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using modToolRun::Run;
using modToolRun::tRun;

namespace {

// The bytes of a literal that may hold NUL.
template <qsizetype N> QByteArray Bytes(const char (&s)[N]) {
    return QByteArray(s, N - 1);
}

} // namespace

class tst_tools : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void lookupOptionsFormatsAndFailures_data();
    void lookupOptionsFormatsAndFailures();
    void lookupAnswersEachLineOfAPipeAtOnce();

private:
    QTemporaryDir m_dir; // holds a FIFO and a link to it
};

void tst_tools::initTestCase() {
    if (modTestFiles::MakeFifo(m_dir.filePath("fifo")))
        QVERIFY(QFile::link(m_dir.filePath("fifo"), m_dir.filePath("fifo.lnk")));
}

void tst_tools::lookupOptionsFormatsAndFailures_data() {
    QTest::addColumn<QString>("streams");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("errHas");
    const QStringList db{"--db", LUMIVO_BUNDLED_DB};
    const QStringList csv = db + QStringList{"--format", "csv"};
    const QString prefix = "090,080,070から入力して下さい";
    const QString csvPrefix = ",-,\"" + prefix + "\"\r\n";
    const QByteArray number = "09012345678\n";
    const QString answer = "09012345678\tC150\tau<不明>\n";
    QTest::newRow("standard input, control and direction characters shown safely")
        << "" << db << Bytes("0501234\r\n\r\n0901\n090\t12\x01\\34\na\0b\n\u202Ex\n") << 0
        << "0501234\t-\t" + prefix +
               "\n0901\t-\t最低7桁入力して下さい\n"
               "090\\t12\\x01\\\\34\t-\t数字のみ入力して下さい\n"
               "a\\x00b\t-\t" +
               prefix + "\n\\u202ex\t-\t" + prefix + "\n"
        << "";
    QTest::newRow("csv") << "" << csv + QStringList{"0900012345", "0\"9,1", "=1+2"} << QByteArray()
                         << 0
                         << "number,code,text\r\n0900012345,0,未使用or未確認\r\n"
                            "\"0\"\"9,1\"" +
                                csvPrefix + "\"'=1+2\"" + csvPrefix
                         << "";
    QTest::newRow("csv, arguments led by TAB, CR or a direction mark")
        << "" << csv + QStringList{"\t=1", "\r=1", "\u2066@1"} << QByteArray() << 0
        << "number,code,text\r\n\"'\t=1\"" + csvPrefix + "\"'\r=1\"" + csvPrefix + "\\u2066@1" +
               csvPrefix
        << "";
    QTest::newRow("csv, standard input led by TAB, CR, NUL or a formula")
        << "" << csv << Bytes("\t=1\n\r=1\r\n\0@1\n-1\n") << 0
        << "number,code,text\r\n\"'\t=1\"" + csvPrefix + "\"'\r=1\"" + csvPrefix + "\\x00@1" +
               csvPrefix + "\"'-1\"" + csvPrefix
        << "";
    QByteArray utf16 = "\xFF\xFE"; // little-endian
    for (char c : number)
        utf16 += QByteArray(1, c) + '\0';
    QTest::newRow("standard input in UTF-16, as its byte order mark says")
        << "" << db << utf16 << 0 << answer << "";
    QTest::newRow("a line of megabytes, then a number")
        << "little memory" << db << "090" + QByteArray(24 << 20, '5') + "\n" + number << 0
        << "090" + QString(37, u'5') + "…\t-\t番号11桁を入力して下さい\n" + answer << "";
    QTest::newRow("unknown option")
        << "" << db + QStringList{"--frmat", "csv", "0901234"} << QByteArray() << 2 << ""
        << "Usage: lumivo-lookup";
    QTest::newRow("version") << "" << QStringList{"--version"} << QByteArray() << 0
                             << "lumivo-lookup 1.30\n"
                             << "";
    QTest::newRow("version, full disk")
        << "full output" << QStringList{"--version"} << QByteArray() << 2 << ""
        << "No space left on device";
    QTest::newRow("missing database")
        << "" << QStringList{"--db", "/no/db.dat", "0901234"} << QByteArray() << 2 << ""
        << "/no/db.dat: ファイルが見つかりません。";
    QTest::newRow("folder") << "" << QStringList{"--db", "/"} << QByteArray() << 2 << ""
                            << "ファイルではなくフォルダーです。";
    for (const QString& path : {QString("/dev/zero"), m_dir.filePath("fifo.lnk")})
        QTest::addRow("database %s", qPrintable(path))
            << "" << QStringList{"--db", path} << QByteArray() << 2 << ""
            << "通常のファイルではありません。";
    const QStringList noTail{"--db", LUMIVO_PREFIX_TABLE, "09012345678"};
    QTest::newRow("database without date and version")
        << "" << noTail << QByteArray() << 2 << ""
        << "does not end in a database date and version (--allow-no-tail";
    QTest::newRow("database without date and version, allowed")
        << "" << noTail + QStringList{"--allow-no-tail"} << QByteArray() << 0
        << "09012345678\t0\t未使用or未確認\n"
        << "warning: ";
    QTest::newRow("standard input closed") << "closed input" << db << QByteArray() << 2 << ""
                                           << "cannot read standard input: Bad file descriptor";
    QTest::newRow("standard input a folder") << "folder input" << db << QByteArray() << 2 << ""
                                             << "cannot read standard input: Is a directory";
    QTest::newRow("standard input reset after a line")
        << "reset input" << db << number + "0701234" << 2 << answer
        << "cannot read standard input: Connection reset by peer";
    QTest::newRow("full disk") << "full output" << db + QStringList{"0901234"} << QByteArray() << 2
                               << ""
                               << "cannot write the answers: No space left on device";
    QTest::newRow("reader gone") << "broken output" << db + QStringList(3000, "09012345678")
                                 << QByteArray() << 2 << ""
                                 << "cannot write the answers: Broken pipe";
}

void tst_tools::lookupOptionsFormatsAndFailures() {
    QFETCH(QString, streams);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    if (modToolRun::NeedsLinux(streams, args))
        QSKIP("needs what only Linux offers a test");
    const tRun run = Run(LUMIVO_LOOKUP_EXE, args, input, streams);
    QTEST(run.exitCode, "exitCode");
    QTEST(QString::fromUtf8(run.out), "out");
    QFETCH(QString, errHas);
    QVERIFY2(run.err.contains(errHas) && run.err.count(u'\n') <= 2, qPrintable(run.err));
}

// A caller that writes a number and waits for its answer gets it while the
// pipe stays open; the bundled database answers the first and the last block of
// each carrier in its table.
void tst_tools::lookupAnswersEachLineOfAPipeAtOnce() {
    QProcess p;
    p.start(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB});
    const QByteArray answers[] = {"07038000000\tC109\t沖縄セルラー\n",
                                  "09097900000\tC109\t沖縄セルラー\n",
                                  "0702000\tC150\tau<不明>\n",
                                  "09096799999\tC150\tau<不明>\n",
                                  "07011000000\tC151\tボーダフォン<不明>\n",
                                  "0909999\tC151\tボーダフォン<不明>\n",
                                  "07010000000\tC153\tドコモ<不明>\n",
                                  "09095999999\tC153\tドコモ<不明>\n"};
    for (const QByteArray& answer : answers) {
        p.write(answer.left(answer.indexOf('\t')) + '\n');
        QTRY_VERIFY(p.canReadLine());
        QCOMPARE(p.readLine(), answer);
    }
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_tools)
#include "tst_tools.moc"
