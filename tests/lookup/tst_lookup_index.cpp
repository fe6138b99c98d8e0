// The fast paths of the lookup (the vectorised key search, the key index for
// batches, reading db.dat in pieces) against deliberately naive references,
// on random texts that break every rule the producer keeps.

#include "lookup/cNumberDB.h"
#include "lookup/modSearch.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QtTest>

namespace {

// --- The references: as plain as they can be written. ---

// Every ASCII letter to upper case, nothing else touched; or, given a
// generator, every ASCII letter to either case at random.
QString AsciiCase(QString s, QRandomGenerator* rng = nullptr) {
    for (QChar& c : s)
        if (c.unicode() < 128 && c.isLetter())
            c = rng && rng->bounded(2) ? c.toLower() : c.toUpper();
    return s;
}

// The up to 4 characters after the first match, where both sides are upper
// case: an exact search.
QString NaiveCode(const QString& text, const QString& key) {
    const qsizetype p = AsciiCase(text).indexOf(AsciiCase(key));
    return p < 0 ? QStringLiteral("0") : text.mid(p + key.size(), 4);
}

// The search command's four steps, over the naive search. A number too short
// for a step asks the previous step's key again, and gets its code again.
QString NaiveCarrierCode(const QString& text, const QString& number) {
    const auto step = [&](int n) { return NaiveCode(text, modSearch::MakeKey(number.left(n))); };
    QString code = step(6);
    if (code == u"0" && (code = step(7)) == u"C160" && (code = step(8)) == u"C161")
        code = step(9);
    return code;
}

// --- Random material that provokes the corner cases. ---

// Digits, the kind letters in both cases, other letters, line ends, and what
// only looks like a letter when folded wrongly: fullwidth A, Cyrillic А and а,
// 0x0141 (| 0x20 is 0x0161), 0x2041 (low byte 'A'), Á and á, '@' against '`';
// code page 932 text; digits of other scripts.
const char16_t Alphabet[] = {u'0',   u'0',   u'0',   u'1',   u'1',   u'2',   u'3',   u'4',
                             u'5',   u'9',   u'A',   u'a',   u'F',   u'f',   u'G',   u'g',
                             u'H',   u'h',   u'C',   u'c',   u'P',   u'\r',  u'\n',  0xFF21,
                             0x0141, 0x0161, 0x2041, 0x00C1, 0x00E1, 0x0410, 0x0430, u'@',
                             u'`',   0x30C9, 0x6570, 0xFF11, 0x0669};

// In the order of their prefix codes 00, 01, 02.
const QStringList Heads = {QStringLiteral("090"), QStringLiteral("080"), QStringLiteral("070")};

QChar RandomChar(QRandomGenerator& rng) {
    return Alphabet[rng.bounded(int(std::size(Alphabet)))];
}

// A number with few distinct digits, so that keys repeat and nest; its keys
// of all four kinds, if asked for.
QString RandomNumber(QRandomGenerator& rng, int length, QStringList* keys = nullptr) {
    QString number = Heads[rng.bounded(3)];
    while (number.size() < length)
        number += QChar(u'0' + rng.bounded(rng.bounded(2) ? 3 : 10));
    for (int digits = 6; keys && digits <= 9; ++digits)
        *keys += modSearch::MakeKey(number.left(digits));
    return number;
}

// Exactly `length` characters as the producer would never write them: the keys
// in either case, followed by a code (mostly the steering C160 and C161; a short
// one, or none: running into the next piece), cut short or spoilt, between
// single characters of the alphabet; cut off anywhere.
QString RandomText(QRandomGenerator& rng, const QStringList& keys, qsizetype length) {
    static const QLatin1String codes("C160C161C130P105C1"); // then "" past the end
    QString text;
    while (text.size() < length) {
        QString key = AsciiCase(keys[rng.bounded(int(keys.size()))], &rng);
        switch (rng.bounded(5)) {
        case 0:
            text += key + codes.mid(4 * rng.bounded(rng.bounded(2) ? 2 : 6), 4);
            break;
        case 1:
            text += key.left(rng.bounded(int(key.size())));
            break;
        case 2:
            key[rng.bounded(int(key.size()))] = RandomChar(rng);
            text += key;
            break;
        default:
            text += RandomChar(rng);
        }
    }
    return text.left(length);
}

} // namespace

class tst_lookup_index : public QObject {
    Q_OBJECT

private slots:
    void findCodeMatchesNaiveSearch() {
        // The vectorised search takes 8 or 16 positions at a time: the key goes at
        // every position up to 47 with up to 23 characters after it, so it falls in
        // every lane, in the plain tail and at the very end.
        QRandomGenerator rng(20261206);
        cNumberDB db; // one for all rounds: a new text must drop the old index
        for (int round = 0; round < 48 * 24 * 2; ++round) {
            QStringList keys;
            RandomNumber(rng, rng.bounded(9, 12), &keys);
            QString key = keys[rng.bounded(4)];
            if (rng.bounded(3) == 0) // no key shape, near copies all around: searched only
                key = RandomText(rng, keys, rng.bounded(1, 17));
            // Spoilt now and then into a look-alike, one bit away: Á for á, ` for @,
            // 0x0161 for 0x0141, a control character for a digit; for an ASCII
            // letter, only the other case.
            QString placed = AsciiCase(key, &rng);
            if (const qsizetype i = rng.bounded(3 * int(placed.size())); i < placed.size())
                placed[i] = QChar(placed[i].unicode() ^ 0x20);
            const QString text =
                RandomText(rng, keys, round % 48) + placed + RandomText(rng, keys, round / 48 % 24);
            const QString asked = AsciiCase(key, &rng), expected = NaiveCode(text, asked);
            db.SetText(text);
            const QString plain = db.FindCode(asked);
            db.BuildIndex();
            // The text and the key ride along, so that a failure shows them.
            QCOMPARE(std::tuple(text, asked, plain, db.FindCode(asked),
                                cNumberDB::FindKeyNarrow(text, asked)),
                     std::tuple(text, asked, expected, expected, cNumberDB::FindKey(text, asked)));
        }
    }

    void searchCarrierCodeMatchesNaiveSteps() {
        QRandomGenerator rng(61);
        cNumberDB plain, indexed;
        for (int round = 0; round < 600; ++round) {
            QStringList numbers, keys;
            for (int n = rng.bounded(1, 5); n > 0; --n)
                numbers += RandomNumber(rng, rng.bounded(7, 12), &keys);
            // Mostly without a block's own key, so that its numbers steer on.
            keys.removeIf([&](const QString& key) { return key.endsWith(u'A') && rng.bounded(4); });
            const QString text = RandomText(rng, keys, rng.bounded(800));
            plain.SetText(text);
            indexed.SetText(text);
            indexed.BuildIndex();
            // The numbers the text was made from, cut to every length from 7 digits.
            for (int n = 0; n < 5 * numbers.size(); ++n) {
                const QString number = numbers[n / 5].left(7 + n % 5);
                const QString expected = NaiveCarrierCode(text, number);
                QCOMPARE(std::tuple(text, number, modSearch::SearchCarrierCode(plain, number),
                                    modSearch::SearchCarrierCode(indexed, number)),
                         std::tuple(text, number, expected, expected));
            }
        }
    }

    void keysMatchPrintfFormatting() {
        // MakeKey writes its fields by hand; printf's "%02d" is the reference,
        // also for digits of other scripts and for characters that are no digit.
        QRandomGenerator rng(2);
        for (int round = 0; round < 20000; ++round) {
            QString lead = RandomNumber(rng, rng.bounded(6, 13));
            lead[rng.bounded(3, int(lead.size()))] = RandomChar(rng);
            QString expected = QString::asprintf("%02d", int(Heads.indexOf(lead.left(3))));
            for (qsizetype k = 1; 3 + k <= lead.size(); ++k)
                expected += QString::asprintf("%02d", lead[2 + k].digitValue() + int(k));
            expected += QChar(u"AFGH"[qMin<qsizetype>(lead.size(), 9) - 6]);
            QCOMPARE(modSearch::MakeKey(lead), expected);
        }
    }

    void loadInPiecesEqualsDecodingAtOnce_data() {
        QTest::addColumn<int>("chunkBytes");
        for (int chunk : {1, 2, 3, 5, 64, 1 << 20})
            QTest::newRow(qPrintable(QStringLiteral("%1 bytes").arg(chunk))) << chunk;
    }

    void loadInPiecesEqualsDecodingAtOnce() {
        // Random bytes hold every class of code page 932: ASCII, lead and trail
        // bytes, half-width katakana, bytes never valid; often a lead byte last.
        QFETCH(int, chunkBytes);
        QTemporaryFile file;
        QVERIFY(file.open());
        QRandomGenerator rng(932 + chunkBytes);
        cNumberDB db;
        db.SetReadChunkBytes(chunkBytes);
        for (int round = 0; round < 200; ++round) {
            QByteArray bytes;
            for (int n = rng.bounded(300); n > 0; --n)
                bytes += char(rng.bounded(256));
            QVERIFY(file.resize(0) && file.write(bytes) == bytes.size() && file.flush());
            db.BuildIndex(); // of the old text, which the load must drop
            QCOMPARE(db.LoadDB(file.fileName()), cNumberDB::eLoadResult::Loaded);
            QVERIFY(!db.HasIndex());
            QCOMPARE(db.Text(), QStringDecoder("windows-31j").decode(bytes));
        }
    }
};

QTEST_GUILESS_MAIN(tst_lookup_index)
#include "tst_lookup_index.moc"
