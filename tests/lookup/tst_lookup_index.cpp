// The fast paths of the lookup (the vectorised key search, the key index for
// batches, reading db.dat in pieces) against deliberately naive references,
// on texts that break every rule the producer keeps.

#include "lookup/cKeyIndex.h"
#include "lookup/cNumberDB.h"
#include "lookup/modSearch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// --- The references: as plain as they can be written. ---

char16_t NaiveUpper(char16_t c) { return (c >= 'a' && c <= 'z') ? char16_t(c - 'a' + 'A') : c; }

qsizetype NaiveFind(const QString& text, const QString& key)
{
    for (qsizetype p = 0; p + key.size() <= text.size(); ++p) {
        bool same = true;
        for (qsizetype i = 0; i < key.size(); ++i)
            if (NaiveUpper(text[p + i].unicode()) != NaiveUpper(key[i].unicode()))
                same = false;
        if (same)
            return p;
    }
    return -1;
}

QString NaiveCode(const QString& text, const QString& key)
{
    const qsizetype p = NaiveFind(text, key);
    return p < 0 ? QStringLiteral("0") : text.mid(p + key.size(), 4);
}

// The search command's steps, over the naive search.
QString NaiveCarrierCode(const QString& text, const QString& number)
{
    QString code = NaiveCode(text, modSearch::MakeKey(number.left(6)));
    if (code != u"0")
        return code;
    code = NaiveCode(text, modSearch::MakeKey(number.left(7)));
    if (code == u"C160" && number.size() >= 8) {
        code = NaiveCode(text, modSearch::MakeKey(number.left(8)));
        if (code == u"C161" && number.size() >= 9)
            code = NaiveCode(text, modSearch::MakeKey(number.left(9)));
    }
    return code;
}

// --- Random material that provokes the corner cases. ---

// Characters that matter to the search: digits, the kind letters and their
// lower case, the other ASCII letters, line ends, and characters that only
// look like them once folded wrongly (fullwidth A, 0x0141 | 0x20 = 0x0161,
// 0x2041) or come from code page 932 text.
const char16_t Alphabet[] = {u'0', u'0', u'0', u'1', u'1', u'2', u'3', u'4', u'5', u'9',
                             u'A', u'a', u'F', u'f', u'G', u'g', u'H', u'h', u'C', u'c',
                             u'P', u'\r', u'\n', u' ', 0xFF21, 0x0141, 0x0161, 0x2041,
                             0x30C9, 0x4E00, 0x00C1, 0x00E1, u'@', u'`'};

QChar RandomChar(QRandomGenerator& rng)
{
    return QChar(Alphabet[rng.bounded(int(std::size(Alphabet)))]);
}

QString RandomNumber(QRandomGenerator& rng, int length)
{
    static const char* const heads[] = {"090", "080", "070"};
    QString number = QString::fromLatin1(heads[rng.bounded(3)]);
    // Few digits make numbers share blocks, so keys repeat and nest.
    while (number.size() < length)
        number += QChar(u'0' + rng.bounded(rng.bounded(2) ? 3 : 10));
    return number;
}

QString FlipCase(QString s, QRandomGenerator& rng)
{
    for (QChar& c : s)
        if (c.isLetter() && c.unicode() < 128 && rng.bounded(2))
            c = c.isUpper() ? c.toLower() : c.toUpper();
    return s;
}

// A database text as the producer would never write it: records with kind
// letters in either case, keys inside other records and codes, keys cut off,
// noise and code page 932 text between records, a key as the very last thing.
QString RandomDatabaseText(QRandomGenerator& rng, const QStringList& numbers)
{
    static const char* const codes[] = {"C130", "C160", "C161", "P105", "C1", "0002"};
    QString text;
    const int parts = rng.bounded(1, 40);
    for (int i = 0; i < parts; ++i) {
        const QString number = numbers[rng.bounded(int(numbers.size()))];
        const QString key = FlipCase(modSearch::MakeKey(number.left(rng.bounded(6, 10))), rng);
        switch (rng.bounded(6)) {
        case 0: // an ordinary record
        case 1:
            text += key + QString::fromLatin1(codes[rng.bounded(4)]);
            break;
        case 2: // a key cut short, or with something inside it
            text += key.left(rng.bounded(int(key.size())));
            if (rng.bounded(2))
                text += RandomChar(rng) + key.mid(rng.bounded(int(key.size())));
            break;
        case 3: // a key that runs on into the next record's digits
            text += key.left(key.size() - 1) + modSearch::MakeKey(number.left(6));
            break;
        case 4: // a code that is itself the start of a key
            text += key + QString::fromLatin1(codes[5]);
            break;
        default:
            for (int n = rng.bounded(8); n > 0; --n)
                text += rng.bounded(3) ? RandomChar(rng) : QChar(0x6570); // 数
        }
        if (rng.bounded(3) == 0)
            text += QStringLiteral("\r\n");
    }
    if (rng.bounded(3) == 0)
        text += FlipCase(modSearch::MakeKey(numbers.first().left(6 + rng.bounded(4))), rng);
    return text;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class tst_lookup_index : public QObject {
    Q_OBJECT

private slots:
    void findKeyTraps_data();
    void findKeyTraps();
    void findKeyMatchesNaiveSearchOnRandomTexts();
    void findKeyAtEveryAlignment();

    void keysMatchPrintfFormatting();
    void slotsAreDistinctForEveryKey();
    void indexTraps_data();
    void indexTraps();
    void indexMatchesSubstringSearchOnRandomDatabases();
    void indexIsDroppedWithTheText();

    void loadInPiecesEqualsDecodingAtOnce_data();
    void loadInPiecesEqualsDecodingAtOnce();
};

void tst_lookup_index::findKeyTraps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<qsizetype>("expected");

    // Long enough that the match lies past the first vector of positions.
    const QString pad = QString(40, u'0');
    QTest::newRow("lower-case letter in the text") << pad + "00020406aC130" << "00020406A" << qsizetype(40);
    QTest::newRow("lower-case letter in the key") << pad + "00020406AC130" << "00020406a" << qsizetype(40);
    QTest::newRow("fullwidth A is not A") << pad + QStringLiteral("00020406Ａ") << "00020406A" << qsizetype(-1);
    QTest::newRow("0x0141 folds to no letter") << pad + QStringLiteral("00020406\u0141") << "00020406A" << qsizetype(-1);
    QTest::newRow("@ is not `") << pad + "x@" << "x`" << qsizetype(-1);
    QTest::newRow("first of two") << pad + "00020406AC13000020406AC150" << "00020406A" << qsizetype(40);
    QTest::newRow("key at the very end") << pad + "00020406A" << "00020406A" << qsizetype(40);
    QTest::newRow("one character short at the end") << pad + "00020406" << "00020406A" << qsizetype(-1);
    QTest::newRow("inside another record") << pad + "0100020406AC130" << "00020406A" << qsizetype(42);
    QTest::newRow("key longer than the text") << "0002" << "00020406A" << qsizetype(-1);
    QTest::newRow("short key") << pad + "xY" << "Xy" << qsizetype(40);
    QTest::newRow("non-ASCII key") << pad + QStringLiteral("数字") << QStringLiteral("数字") << qsizetype(40);
}

void tst_lookup_index::findKeyTraps()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(qsizetype, expected);
    QCOMPARE(NaiveFind(text, key), expected);
    QCOMPARE(cNumberDB::FindKey(text, key), expected);
    QCOMPARE(cNumberDB::FindKeyNarrow(text, key), expected);
}

void tst_lookup_index::findKeyMatchesNaiveSearchOnRandomTexts()
{
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = rng.bounded(rng.bounded(2) ? 40 : 400);
        for (int i = 0; i < length; ++i)
            text += RandomChar(rng);
        QString key;
        if (!text.isEmpty() && rng.bounded(3)) {
            // A piece of the text, often flipped in case, sometimes spoilt.
            const int from = rng.bounded(int(text.size()));
            key = FlipCase(text.mid(from, rng.bounded(1, 17)), rng);
            if (rng.bounded(4) == 0)
                key[rng.bounded(int(key.size()))] = RandomChar(rng);
        } else {
            for (int n = rng.bounded(1, 16); n > 0; --n)
                key += RandomChar(rng);
        }
        cNumberDB db;
        db.SetText(text);
        const qsizetype expected = NaiveFind(text, key);
        if (cNumberDB::FindKey(text, key) != expected || cNumberDB::FindKeyNarrow(text, key) != expected ||
            db.FindCode(key) != NaiveCode(text, key))
            QFAIL(qPrintable(QStringLiteral("round %1: key \"%2\" in \"%3\": expected %4, got %5")
                                 .arg(round).arg(key, text).arg(expected)
                                 .arg(cNumberDB::FindKey(text, key))));
    }
}

void tst_lookup_index::findKeyAtEveryAlignment()
{
    // The vectorised search takes 8 or 16 positions at a time; the key must be
    // found in every lane, in the plain tail, and ending on the last character.
    const QString key = QStringLiteral("00020406081012H");
    for (int before = 0; before < 70; ++before) {
        for (int after = 0; after < 20; ++after) {
            const QString text = QString(before, u'0') + key + QString(after, u'1');
            QCOMPARE(cNumberDB::FindKey(text, key), qsizetype(before));
            QCOMPARE(cNumberDB::FindKey(text, key.toLower()), qsizetype(before));
            QCOMPARE(cNumberDB::FindKeyNarrow(text, key), qsizetype(before));
            QString broken = text;
            broken[before + key.size() - 1 - (after % key.size())] = u'7';
            QCOMPARE(cNumberDB::FindKey(broken, key), NaiveFind(broken, key));
            QCOMPARE(cNumberDB::FindKeyNarrow(broken, key), NaiveFind(broken, key));
        }
    }
}

void tst_lookup_index::keysMatchPrintfFormatting()
{
    // MakeKey writes its fields by hand; printf's "%02d" is the reference,
    // also for digits of other scripts and for characters that are no digit.
    const char16_t chars[] = {u'0', u'5', u'9', 0xFF11, 0x0669, u'x', u'-'};
    QRandomGenerator rng(2);
    for (int round = 0; round < 20000; ++round) {
        QString lead = QString::fromLatin1(round % 2 ? "090" : "070");
        for (int n = rng.bounded(3, 10); n > 0; --n)
            lead += QChar(rng.bounded(4) ? u'0' + rng.bounded(10) : chars[rng.bounded(int(std::size(chars)))]);
        QString expected = lead.startsWith(u"090") ? QStringLiteral("00") : QStringLiteral("02");
        for (qsizetype k = 1; 3 + k <= lead.size(); ++k)
            expected += QString::asprintf("%02d", lead[2 + k].digitValue() + int(k));
        expected += QChar(lead.size() == 6 ? u'A' : lead.size() == 7 ? u'F' : lead.size() == 8 ? u'G' : u'H');
        QCOMPARE(modSearch::MakeKey(lead), expected);
    }
}

void tst_lookup_index::slotsAreDistinctForEveryKey()
{
    // Every key of kinds A, F and G, and every kind H key under a few blocks:
    // one slot each, inside the table, the same for a lower-case letter.
    QSet<qsizetype> seen;
    const auto check = [&](const QString& lead) {
        const QString key = modSearch::MakeKey(lead);
        const qsizetype slot = cKeyIndex::Slot(key);
        QVERIFY2(slot >= 0 && slot < cKeyIndex::SlotCount, qPrintable(key));
        QVERIFY2(!seen.contains(slot), qPrintable(key));
        QCOMPARE(cKeyIndex::Slot(key.toLower()), slot);
        seen.insert(slot);
    };
    for (const char* head : {"090", "080", "070"}) {
        for (int n = 0; n < 100000; ++n) {
            const QString digits = QString::number(n).rightJustified(5, u'0');
            check(QString::fromLatin1(head) + digits);
            if (n % 10 == 0)
                check(QString::fromLatin1(head) + digits.left(4));
            if (n % 100 == 0)
                check(QString::fromLatin1(head) + digits.left(3));
            if (n % 997 == 0)
                for (char16_t d = u'0'; d <= u'9'; ++d)
                    check(QString::fromLatin1(head) + digits + QChar(d));
        }
    }
    // Shapes no lookup can ask for have no slot.
    for (const char* odd : {"0002040A", "03020406A", "00020416A", "00000406A", "00020406F",
                            "0002040608A", "00020406AC", "x0020406A", "00020406B"})
        QVERIFY2(cKeyIndex::Slot(QString::fromLatin1(odd)) == -1, odd);
}

void tst_lookup_index::indexTraps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("lower-case kind letter") << "00020406aC130" << "09012345678" << "C130";
    QTest::newRow("first occurrence") << "00020406AC13000020406AC150" << "09012345678" << "C130";
    QTest::newRow("key inside another record")
        << "0100020406AC13000020406AC150" << "09012345678" << "C130";
    QTest::newRow("key at the very end") << "0102030400020406A" << "09012345678" << "";
    QTest::newRow("short rest at the end") << "00020406AC1" << "09012345678" << "C1";
    QTest::newRow("steering through lower case")
        << "0002040608fC160000204060810gC16100020406081012hP105" << "09012345678" << "P105";
    QTest::newRow("steering key split by cp932 text")
        << QStringLiteral("0002040608FC160000204060810G数C161") << "09012345678"
        << QStringLiteral("数C16");
    QTest::newRow("kind letter of another kind") << "00020406FC130" << "09012345678" << "0";
    QTest::newRow("C160 only for 7 digits") << "0002040608FC160" << "0901234" << "C160";
}

void tst_lookup_index::indexTraps()
{
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QString, expected);
    cNumberDB plain, indexed;
    plain.SetText(text);
    indexed.SetText(text);
    indexed.BuildIndex();
    QVERIFY(indexed.HasIndex());
    QCOMPARE(NaiveCarrierCode(text, number), expected);
    QCOMPARE(modSearch::SearchCarrierCode(plain, number), expected);
    QCOMPARE(modSearch::SearchCarrierCode(indexed, number), expected);
}

void tst_lookup_index::indexMatchesSubstringSearchOnRandomDatabases()
{
    QRandomGenerator rng(61);
    for (int round = 0; round < 300; ++round) {
        QStringList numbers;
        for (int n = rng.bounded(1, 12); n > 0; --n)
            numbers.append(RandomNumber(rng, rng.bounded(7, 12)));
        const QString text = RandomDatabaseText(rng, numbers);
        cNumberDB plain, indexed;
        plain.SetText(text);
        indexed.SetText(text);
        indexed.BuildIndex();
        // The numbers the text was made from, and others near them.
        for (int n = 0; n < 40; ++n) {
            const QString number = n < numbers.size() ? numbers[n] : RandomNumber(rng, rng.bounded(7, 12));
            const QString expected = NaiveCarrierCode(text, number);
            if (modSearch::SearchCarrierCode(indexed, number) != expected ||
                modSearch::SearchCarrierCode(plain, number) != expected)
                QFAIL(qPrintable(QStringLiteral("round %1: %2 in \"%3\": expected %4, indexed %5, plain %6")
                                     .arg(round).arg(number, text, expected,
                                          modSearch::SearchCarrierCode(indexed, number),
                                          modSearch::SearchCarrierCode(plain, number))));
            for (int length = 6; length <= 9; ++length) {
                const QString key = modSearch::MakeKey(number.left(length));
                QCOMPARE(indexed.FindCode(key), NaiveCode(text, key));
                QCOMPARE(indexed.FindCode(key.toLower()), NaiveCode(text, key));
            }
        }
    }
}

void tst_lookup_index::indexIsDroppedWithTheText()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("db.dat"));
    QVERIFY(WriteFile(path, "00020406AC150"));

    cNumberDB db;
    db.SetText(QStringLiteral("00020406AC130"));
    db.BuildIndex();
    QCOMPARE(db.FindCode(u"00020406A"), QStringLiteral("C130"));
    db.SetText(QStringLiteral("00020406AC131"));
    QVERIFY(!db.HasIndex());
    QCOMPARE(db.FindCode(u"00020406A"), QStringLiteral("C131"));
    db.BuildIndex();
    QCOMPARE(db.LoadDB(path), cNumberDB::eLoadResult::Loaded);
    QVERIFY(!db.HasIndex());
    QCOMPARE(db.FindCode(u"00020406A"), QStringLiteral("C150"));
}

void tst_lookup_index::loadInPiecesEqualsDecodingAtOnce_data()
{
    QTest::addColumn<int>("chunkBytes");
    for (int chunk : {1, 2, 3, 5, 64, 1 << 20})
        QTest::newRow(qPrintable(QStringLiteral("%1 bytes").arg(chunk))) << chunk;
}

void tst_lookup_index::loadInPiecesEqualsDecodingAtOnce()
{
    QFETCH(int, chunkBytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("db.dat"));
    // Bytes of every class of code page 932: ASCII, lead bytes, trail bytes,
    // half-width katakana, bytes that are never valid, and a lead byte last.
    const QList<std::pair<int, int>> ranges = {{0x30, 0x39}, {0x41, 0x5A}, {0x61, 0x7A}, {0x00, 0x2F},
                                               {0x81, 0x9F}, {0xE0, 0xFC}, {0x40, 0x7E}, {0xA1, 0xDF},
                                               {0x80, 0x80}, {0xA0, 0xA0}, {0xFD, 0xFF}};
    QRandomGenerator rng(932 + chunkBytes);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes;
        for (int n = rng.bounded(300); n > 0; --n) {
            const auto [lo, hi] = ranges[rng.bounded(int(ranges.size()))];
            bytes.append(char(rng.bounded(lo, hi + 1)));
        }
        if (round % 4 == 0)
            bytes.append(char(0x82));
        QVERIFY(WriteFile(path, bytes));
        const QString expected = QStringDecoder("windows-31j").decode(bytes);
        cNumberDB db;
        db.SetReadChunkBytes(chunkBytes);
        QCOMPARE(db.LoadDB(path), cNumberDB::eLoadResult::Loaded);
        if (db.Text() != expected)
            QFAIL(qPrintable(QStringLiteral("round %1: bytes %2").arg(round).arg(QString::fromLatin1(bytes.toHex()))));
    }
}

QTEST_GUILESS_MAIN(tst_lookup_index)
#include "tst_lookup_index.moc"
