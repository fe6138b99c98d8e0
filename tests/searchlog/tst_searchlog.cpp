// SPDX-License-Identifier: Apache-2.0
#include "modLogExport.h"
#include "tLogLine.h"

#include <QtTest>

// The log file as written: code page 932, CR LF, a header from the database's date
// and version. Japanese is spelled here as its code page 932 bytes.
class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void logFile_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("date");
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        // "2004年5月現在（Lumivov1.30 DBver1001）" and its CSV form ending in ",".
        const QByteArray may = "2004\x94N5\x8C\x8E\x8C\xBB\x8D\xDD\x81iLumivov1.30 DBver1001\x81j";
        const QByteArray columns = "\x91\xCE\x8F\xDB\x93"
                                   "d\x98"
                                   "b\x94\xD4\x8D\x86,\x8E\x96\x8B\xC6\x8E\xD2\x96\xBC";
        const QByteArray kansai = "au\x8A\xD6\x90\xBC"; // au関西
        const QStringList one{QStringLiteral("0901234XXXX--->au関西")};
        // clang-format off
        QTest::newRow("empty, text") << QStringList() << "20040501" << false << may + "\r\n\r\n";
        QTest::newRow("empty, csv") << QStringList() << "20040501" << true << may + ",\r\n" + columns + "\r\n\r\n";
        QTest::newRow("a line, text") << one << "20040501" << false << may + "\r\n0901234XXXX--->" + kansai + "\r\n\r\n";
        QTest::newRow("a line, csv") << one << "20040501" << true << may + ",\r\n" + columns + "\r\n090-1234XXXX," + kansai + "\r\n\r\n";
        QTest::newRow("no result text, csv") << QStringList{"09012345678--->"} << "20040501" << true << may + ",\r\n" + columns + "\r\n090-12345678,\r\n\r\n";
        QTest::newRow("a comma in the result, csv") << QStringList{"0901234XXXX--->a,b"} << "20040501" << true << may + ",\r\n" + columns + "\r\n090-1234XXXX,a,b\r\n\r\n";
        QTest::newRow("month 10") << QStringList() << "20041001" << false << QByteArray("2004\x94N10\x8C\x8E\x8C\xBB\x8D\xDD\x81iLumivov1.30 DBver1001\x81j\r\n\r\n");
        // clang-format on
    }
    void logFile() {
        QFETCH(QStringList, lines);
        QFETCH(QString, date);
        QFETCH(bool, csv);
        QTEST(modLogExport::BuildLogFile(lines, date, u"1001", csv), "file");
    }

    // The header's month is read as a number; a date without one says so.
    void month_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("month");
        QTest::newRow("05") << "20040501"
                            << "5";
        QTest::newRow("12") << "20041201"
                            << "12";
        QTest::newRow("not digits") << "2004xx01"
                                    << "不明";
    }
    void month() {
        QFETCH(QString, date);
        QTEST(modLogExport::GetDBMonth(date), "month");
        QCOMPARE(modLogExport::GetDBYear(date), "2004");
    }

    // A log line: the number padded with X to 11 characters, "--->", the result.
    void logLine() {
        QCOMPARE(tLogLine::Make(u"0901234", u"au関西").text, "0901234XXXX--->au関西");
        QCOMPARE(tLogLine::Make(u"09012345678", u"").text, "09012345678--->");
    }
};

QTEST_GUILESS_MAIN(tst_searchlog)
#include "tst_searchlog.moc"
