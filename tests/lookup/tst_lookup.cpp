#include "lookup/DecryptAUCG.h"
#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "lookup/modAppInfo.h"
#include "lookup/modCarrierTable.h"
#include "lookup/modCheckPath.h"
#include "lookup/modInputCheck.h"
#include "lookup/modSearch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

cNumberDB DBWithText(const QString& text) {
    cNumberDB db;
    db.SetText(text);
    return db;
}

QByteArray Cp932(const QString& text) {
    return QStringEncoder("windows-31j").encode(text);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Encodes a digit string with the first pair of each digit.
QString PairsFor(const QString& digits) {
    QString out;
    for (QChar d : digits)
        out += DecryptAUCG::PairsForDigit(d.digitValue()).first();
    return out;
}

} // namespace

class tst_lookup : public QObject {
    Q_OBJECT

private slots:
    void pathAndVersion();

    void loadReplacesTextAndReportsFailures();
    void loadDecodesCodePage932BetweenRecords();
    void tailFields_data();
    void tailFields();

    void keys_data();
    void keys();
    void findCode_data();
    void findCode();

    void inputRefusal_data();
    void inputRefusal();

    void searchSteps_data();
    void searchSteps();

    void carrierTable_data();
    void carrierTable();

    void checkDigit();
    void decodeWorkedExample();
    void decodeRefusals_data();
    void decodeRefusals();
    void encodeDecodeRoundTrip();

    void builderSteersLongerBlocks();
    void builderMatchesLongestPrefixOnRandomTables();
    void builderRefusals_data();
    void builderRefusals();
};

void tst_lookup::pathAndVersion() {
    const QString sep = modCheckPath::PathSeparator();
    QCOMPARE(modCheckPath::CheckPath("/opt/tools") + "db.dat", "/opt/tools" + sep + "db.dat");
    QCOMPARE(modCheckPath::CheckPath("/opt/tools" + sep), "/opt/tools" + sep);
    QCOMPARE(modCheckPath::CheckPath(sep), sep);
    // The About window and the update lean on these two spellings of 1.3.0.
    QCOMPARE(modAppInfo::VersionLabel(), QStringLiteral("1.30"));
    QCOMPARE(modAppInfo::VersionNumber(), 130);
}

void tst_lookup::loadReplacesTextAndReportsFailures() {
    QTemporaryDir dir;
    const QString path = modCheckPath::CheckPath(dir.path()) + "db.dat";
    cNumberDB db;
    QVERIFY(WriteFile(path, "00020406AC130\r\n20040115  1000\r\n"));
    QCOMPARE(db.LoadDB(path), cNumberDB::eLoadResult::Loaded);
    QCOMPARE(modSearch::SearchDB6(db, "090123"), QStringLiteral("C130"));
    // A second load replaces the text as a whole.
    QVERIFY(WriteFile(path, "00020407AC135\r\n20050301  1001\r\n"));
    QCOMPARE(db.LoadDB(path), cNumberDB::eLoadResult::Loaded);
    QCOMPARE(modSearch::SearchDB6(db, "090123") + db.DBVersion(), QStringLiteral("01001"));

    // Failures leave no text to search, and say why.
    QCOMPARE(db.LoadDB(path + ".gone"), cNumberDB::eLoadResult::Missing);
    QVERIFY(db.Size() == 0 && !db.ErrorText().isEmpty());
    QVERIFY(db.LoadDB(path) == cNumberDB::eLoadResult::Loaded && db.Size() > 0);
    QCOMPARE(db.LoadDB(dir.path()), cNumberDB::eLoadResult::Unreadable);
    QCOMPARE(db.Size(), 0);
    // A huge file is refused before it is read (a sparse file costs no disk).
    QFile big(dir.filePath("big.dat"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(cNumberDB::MaxFileBytes + 1));
    big.close();
    QCOMPARE(db.LoadDB(big.fileName()), cNumberDB::eLoadResult::TooLarge);
}
void tst_lookup::loadDecodesCodePage932BetweenRecords() {
    QTemporaryDir dir;
    const QString path = dir.filePath("db.dat");
    // "ア" is 0x83 0x41 in code page 932: its second byte is the letter A.
    const QString text =
        QStringLiteral("番号ア00020406AC130アイウ01020406Fドコモ東海20040115ア 1000漢字");
    QVERIFY(WriteFile(path, Cp932(text)));
    cNumberDB db;
    QCOMPARE(db.LoadDB(path), cNumberDB::eLoadResult::Loaded);
    QCOMPARE(db.Size(), Cp932(text).size());
    QCOMPARE(modSearch::SearchDB6(db, "090123"), QStringLiteral("C130"));
    // The code is four characters of text, not four bytes.
    QCOMPARE(db.FindCode(u"01020406F"), QStringLiteral("ドコモ東"));
    QCOMPARE(db.DBDate(), QStringLiteral("20040115"));
    QCOMPARE(db.DBVersion(), QStringLiteral("1000"));
    QVERIFY(db.HasValidTail());
}

void tst_lookup::tailFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ordinary") << "00020406AC130\r\n20040415xx1000yy"
                              << "20040415"
                              << "1000" << true;
    QTest::newRow("12 chars") << "200404150110"
                              << "20040415"
                              << "10" << false;
    QTest::newRow("5 chars") << "20040"
                             << "20040"
                             << "" << false;
}

void tst_lookup::tailFields() {
    QFETCH(QString, text);
    const cNumberDB db = DBWithText(text);
    QTEST(db.DBDate(), "date");
    QTEST(db.DBVersion(), "version");
    QTEST(db.HasValidTail(), "valid");
}

void tst_lookup::keys_data() {
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("key");
    QTest::newRow("A") << "090123"
                       << "00020406A";
    QTest::newRow("F") << "0901234"
                       << "0002040608F";
    QTest::newRow("G") << "09012345"
                       << "000204060810G";
    QTest::newRow("H") << "090123456"
                       << "00020406081012H";
    QTest::newRow("nines") << "080999999"
                           << "01101112131415H";
    QTest::newRow("080") << "080700"
                         << "01080203A";
}

void tst_lookup::keys() {
    QFETCH(QString, lead);
    QTEST(modSearch::MakeKey(lead), "key");
}

void tst_lookup::findCode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("code");
    QTest::newRow("found") << "xx00020406AC130yy"
                           << "00020406A"
                           << "C130";
    QTest::newRow("lower-case kind letter in text") << "00020406aC131"
                                                    << "00020406A"
                                                    << "C131";
    QTest::newRow("first occurrence") << "00020406AC132 00020406AC133"
                                      << "00020406A"
                                      << "C132";
    QTest::newRow("case-insensitive first") << "00020406aP100 00020406AC133"
                                            << "00020406A"
                                            << "P100";
    QTest::newRow("digits match, letter does not") << "00020406FC100 00020406AC101"
                                                   << "00020406A"
                                                   << "C101";
    QTest::newRow("key at the end, short rest") << "x00020406AC1"
                                                << "00020406A"
                                                << "C1";
    QTest::newRow("key at the very end") << "x00020406A"
                                         << "00020406A"
                                         << "";
    QTest::newRow("absent") << "00020407AC130"
                            << "00020406A"
                            << "0";
    QTest::newRow("key inside a longer key") << "1100020406AC150"
                                             << "00020406A"
                                             << "C150";
}

void tst_lookup::findCode() {
    QFETCH(QString, text);
    QFETCH(QString, key);
    QTEST(DBWithText(text).FindCode(key), "code");
}

void tst_lookup::inputRefusal_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    const QString prefix = QStringLiteral("090,080,070から入力して下さい");
    const QString tooShort = QStringLiteral("最低7桁入力して下さい");
    const QString tooLong = QStringLiteral("番号11桁を入力して下さい");
    const QString digits = QStringLiteral("数字のみ入力して下さい");
    QTest::newRow("empty") << "" << prefix;
    QTest::newRow("050") << "05012345678" << prefix;
    QTest::newRow("6 chars") << "090123" << tooShort;
    QTest::newRow("7 chars") << "0901234"
                             << "";
    QTest::newRow("12 chars") << "080123456789" << tooLong;
    QTest::newRow("hyphens, 13 chars") << "090-1234-5678" << tooLong;
    QTest::newRow("hyphen, 8 chars") << "090-1234" << digits;
    QTest::newRow("pasted letter") << "0901234a" << digits;
    QTest::newRow("full-width digits") << QStringLiteral("090１２３４５６７") << digits;
    QTest::newRow("full-width prefix") << QStringLiteral("０９０1234567") << prefix;
}

void tst_lookup::inputRefusal() {
    QFETCH(QString, number);
    QTEST(modSearch::RefusalText(modInputCheck::CheckNumber(number)).toString(), "message");
}

void tst_lookup::searchSteps_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("code");
    // Keys of 090 1234 5678 by kind: A 00020406A, F 0002040608F, G 000204060810G, H
    // 00020406081012H.
    const QString a = "00020406A", f = "0002040608F", g = "000204060810G", h = "00020406081012H";
    QTest::newRow("kind A hit, F not asked") << a + "C130" + f + "C131"
                                             << "09012345678"
                                             << "C130";
    QTest::newRow("A miss, F hit") << f + "C135"
                                   << "0901234"
                                   << "C135";
    QTest::newRow("F steers, only 7 digits") << f + "C160" + g + "C130"
                                             << "0901234"
                                             << "C160";
    QTest::newRow("F steers, G hit") << f + "C160" + g + "C136"
                                     << "09012345"
                                     << "C136";
    QTest::newRow("G steers, only 8 digits") << f + "C160" + g + "C161" + h + "C130"
                                             << "09012345"
                                             << "C161";
    QTest::newRow("G steers, H hit") << f + "C160" + g + "C161" + h + "P105"
                                     << "090123456"
                                     << "P105";
    QTest::newRow("F steers, G missing") << f + "C160"
                                         << "09012345678"
                                         << "0";
    QTest::newRow("G steers, H missing") << f + "C160" + g + "C161"
                                         << "09012345678"
                                         << "0";
    QTest::newRow("C160 from kind A is final") << a + "C160" + g + "C130"
                                               << "09012345678"
                                               << "C160";
    QTest::newRow("C161 from kind F is final") << f + "C161" + h + "C130"
                                               << "09012345678"
                                               << "C161";
    QTest::newRow("G key present but F not steering") << f + "C131" + g + "C130"
                                                      << "09012345678"
                                                      << "C131";
    QTest::newRow("nothing") << ""
                             << "0701234"
                             << "0";
}

void tst_lookup::searchSteps() {
    QFETCH(QString, text);
    QFETCH(QString, number);
    QTEST(modSearch::SearchCarrierCode(DBWithText(text), number), "code");
}

void tst_lookup::carrierTable_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<short>("area");
    QTest::newRow("C130") << "C130"
                          << "ドコモ関西" << short(0);
    QTest::newRow("C112 two regions") << "C112"
                                      << "ボーダフォン九州・沖縄" << short(10);
    QTest::newRow("C131 two regions") << "C131"
                                      << "ドコモ九州" << short(10);
    QTest::newRow("P105") << "P105"
                          << "DDIポケット東京" << short(1);
    QTest::newRow("C160") << "C160"
                          << "このエリアは8桁入力が必要です" << short(99);
    QTest::newRow("C161") << "C161"
                          << "このエリアは9桁入力が必要です" << short(99);
    for (const char* code :
         {"0", "C119", "C123", "C139", "C155", "P109", "c100", "C10", "", " C100"})
        QTest::newRow(code) << QString::fromUtf8(code) << "未使用or未確認" << short(99);
}

void tst_lookup::carrierTable() {
    QFETCH(QString, code);
    const modCarrierTable::tCarrierRow& row = modCarrierTable::LookupCarrier(code);
    QTEST(row.text.toString(), "text");
    QTEST(row.area, "area");
    // The PHS rows of the one carrier repeat its mobile rows.
    for (int i = 0; i <= 8; ++i) {
        const auto& mobile = modCarrierTable::LookupCarrier(QStringLiteral("C13%1").arg(i));
        const auto& phs = modCarrierTable::LookupCarrier(QStringLiteral("P12%1").arg(i));
        QCOMPARE(phs.text, mobile.text);
        QCOMPARE(phs.area, mobile.area);
    }
    QCOMPARE(modCarrierTable::AllCodes().size(), 66);
}

void tst_lookup::checkDigit() {
    // The pair table: 16 pairs, one digit with three, four with two, five with one.
    QList<int> perDigit;
    for (int d = 0; d <= 9; ++d)
        perDigit.append(int(DecryptAUCG::PairsForDigit(d).size()));
    std::sort(perDigit.begin(), perDigit.end());
    QCOMPARE(perDigit, QList<int>({1, 1, 1, 1, 1, 2, 2, 2, 2, 3}));

    QCOMPARE(DecryptAUCG::CalcCheckDigit("1234"), 8);
    QCOMPARE(DecryptAUCG::CalcCheckDigit(""), 0);
    QCOMPARE(DecryptAUCG::CalcCheckDigit("400638133393"), 1); // an EAN-13's own check digit
    QCOMPARE(DecryptAUCG::CalcCheckDigit("55"), 0);           // 10 - 0 is 0, not 10
}
void tst_lookup::decodeWorkedExample() {
    // K = 5, groups 070 and 102: "A" and "a"; then what the decoder must tolerate.
    auto withCheck = [](const QString& d) {
        return d + QString::number(DecryptAUCG::CalcCheckDigit(d));
    };
    const QString body = PairsFor(withCheck("05070102"));
    for (const QString& encoded : {body, body.toLower(), body + "G", body + "\r\n", "  " + body,
                                   PairsFor(withCheck("0507010245"))})
        QCOMPARE(DecryptAUCG::DecodeText(encoded), QStringLiteral("Aa"));
}

void tst_lookup::decodeRefusals_data() {
    QTest::addColumn<QString>(
        "digits"); // before the pairs are formed; "c" is replaced by the right check digit
    QTest::addColumn<int>("boxes");
    QTest::newRow("wrong check digit") << "050701029" << 1;
    QTest::newRow("no digits") << "" << 0;
    QTest::newRow("two digits") << "00" << 0;
    QTest::newRow("code above a byte") << "05400c" << 0;
    QTest::newRow("negative code") << "50010c" << 0;
    QTest::newRow("double-byte lead alone") << "00129c" << 0;
}

void tst_lookup::decodeRefusals() {
    QFETCH(QString, digits);
    QFETCH(int, boxes);
    if (digits.endsWith(u'c')) {
        digits.chop(1);
        digits += QString::number(DecryptAUCG::CalcCheckDigit(digits));
    }
    bool blnDigitError = false;
    QCOMPARE(DecryptAUCG::DecodeText(PairsFor(digits), &blnDigitError), QString());
    QCOMPARE(int(blnDigitError), boxes);
}

void tst_lookup::encodeDecodeRoundTrip() {
    // Random texts of ASCII and half-width katakana, random offsets and pair choices.
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 300; ++i) {
        QString plain;
        for (int j = rng.bounded(40); j > 0; --j)
            plain += QChar(rng.bounded(2) ? char16_t(0x20 + rng.bounded(0x5f))
                                          : char16_t(0xff61 + rng.bounded(63)));
        const auto encoded = DecryptAUCG::EncodeText(plain, rng.bounded(100), &rng);
        QVERIFY(encoded.has_value());
        QCOMPARE(DecryptAUCG::DecodeText(*encoded), plain);
    }
    QVERIFY(!DecryptAUCG::EncodeText(QStringLiteral("ドコモ"), 5).has_value());
    QVERIFY(!DecryptAUCG::EncodeText("A", 100).has_value());
}

void tst_lookup::builderSteersLongerBlocks() {
    cDBBuilder builder;
    QVERIFY2(builder.AddTableText("# comment\nprefix,code\n090123,C130\r\n0901234,C135\n"
                                  "09012345,C136\n090123456,P105\n080999,C109\n"),
             qPrintable(builder.ErrorText()));
    const auto text = builder.BuildText("20261206", "1000");
    QVERIFY2(text.has_value(), qPrintable(builder.ErrorText()));
    const cNumberDB db = DBWithText(*text);
    QCOMPARE(db.DBDate(), QStringLiteral("20261206"));
    QCOMPARE(db.DBVersion(), QStringLiteral("1000"));

    auto code = [&](const char* number) { return modSearch::SearchCarrierCode(db, number); };
    QCOMPARE(code("0809990"), QStringLiteral("C109"));
    QCOMPARE(code("0901230"), QStringLiteral("C130")); // 090123 handed down to its other blocks
    QCOMPARE(code("0901234"), QStringLiteral("C160")); // needs an 8th digit
    QCOMPARE(code("09012340"), QStringLiteral("C135"));
    QCOMPARE(code("09012345"), QStringLiteral("C161")); // needs a 9th digit
    QCOMPARE(code("090123456"), QStringLiteral("P105"));
    QCOMPARE(code("09012345778"), QStringLiteral("C136"));
    QCOMPARE(code("090123450"), QStringLiteral("C136"));
    QCOMPARE(code("0901240"), QStringLiteral("0"));
    cDBBuilder single;
    QVERIFY(single.AddTableText("090123,C130"));
    QCOMPARE(single.BuildText("20261206", "1001"),
             QStringLiteral("00020406AC130\r\n20261206  1001\r\n"));
    // One kind A record, then ten records each of kinds F, G and H (one of each steering on).
    QCOMPARE(builder.RecordCount(), 1 + 10 + 10 + 10);
}

void tst_lookup::builderMatchesLongestPrefixOnRandomTables() {
    // A reference model: the longest listed prefix of the number decides; if a
    // longer listed prefix could still follow, the lookup asks for one more digit.
    QRandomGenerator rng(7);
    const QStringList codes = {"C130", "C150", "P105", "C109"};
    for (int round = 0; round < 30; ++round) {
        QMap<QString, QString> table;
        const int entries = 1 + rng.bounded(25);
        for (int i = 0; i < entries; ++i) {
            QString prefix = QStringList{"090", "080", "070"}[rng.bounded(3)];
            prefix += QString::number(rng.bounded(2)); // keep blocks close so they nest
            const int len = 6 + rng.bounded(4);
            while (prefix.size() < len)
                prefix += QString::number(rng.bounded(3));
            table.insert(prefix, codes[rng.bounded(int(codes.size()))]);
        }
        cDBBuilder builder;
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            QVERIFY2(builder.AddEntry(it.key(), it.value()), qPrintable(builder.ErrorText()));
        const auto text = builder.BuildText("20261206", "1000");
        QVERIFY2(text.has_value(), qPrintable(builder.ErrorText()));
        const cNumberDB db = DBWithText(*text);

        for (int n = 0; n < 200; ++n) {
            QString number = table.keys()[rng.bounded(int(table.size()))].left(6 + rng.bounded(4));
            while (number.size() < 7 + rng.bounded(5))
                number += QString::number(rng.bounded(3));
            number = number.left(11);
            if (number.size() < 7)
                continue;
            QString expected = "0";
            for (int len = 9; len >= 6; --len)
                if (table.contains(number.left(len))) {
                    expected = table.value(number.left(len));
                    break;
                }
            // Does any listed block lie under a prefix of the number that the
            // number is too short to tell apart?
            for (auto it = table.cbegin(); it != table.cend(); ++it)
                if (it.key().size() > number.size() && it.key().startsWith(number) &&
                    number.size() < 9) {
                    expected = number.size() == 7 ? "C160" : "C161";
                    break;
                }
            QCOMPARE(modSearch::SearchCarrierCode(db, number), expected);
        }
    }
}

void tst_lookup::builderRefusals_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("version");
    QTest::newRow("two codes for one block") << "090123,C130\n090123,C131"
                                             << "20261206"
                                             << "1000";
    QTest::newRow("short prefix") << "09012,C130"
                                  << "20261206"
                                  << "1000";
    QTest::newRow("long prefix") << "0901234567,C130"
                                 << "20261206"
                                 << "1000";
    QTest::newRow("other range") << "050123,C130"
                                 << "20261206"
                                 << "1000";
    QTest::newRow("bad code") << "090123,c130"
                              << "20261206"
                              << "1000";
    QTest::newRow("steering code listed") << "0901234,C160"
                                          << "20261206"
                                          << "1000";
    QTest::newRow("three fields") << "090123,C130,x"
                                  << "20261206"
                                  << "1000";
    QTest::newRow("bad date") << "090123,C130"
                              << "20261306"
                              << "1000";
    QTest::newRow("short version") << "090123,C130"
                                   << "20261206"
                                   << "100";
}

void tst_lookup::builderRefusals() {
    QFETCH(QString, table);
    QFETCH(QString, date);
    QFETCH(QString, version);
    cDBBuilder builder;
    const bool added = builder.AddTableText(table);
    QVERIFY(!added || !builder.BuildText(date, version).has_value());
    QVERIFY(!builder.ErrorText().isEmpty());
}

QTEST_GUILESS_MAIN(tst_lookup)
#include "tst_lookup.moc"
