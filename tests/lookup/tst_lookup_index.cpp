// SPDX-License-Identifier: Apache-2.0
// The byte search and the key index against naive references over the decoded text, on random
// bytes that break every rule the producer keeps (trail bytes that are letters, lone lead bytes).

#include "cKeyIndex.h"
#include "cNumberDB.h"
#include "cPageBlock.h"
#include "modBytes.h"
#include "modSearch.h"

#include "modText.h"
#include <QRandomGenerator>
#include <QtTest>

namespace {

using modText::DecodeCp932;

// Every ASCII letter to upper case, nothing else touched.
QString Upper(QString s) {
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return s;
}

// The key for a number's first 6 to 9 digits: "0" and the prefix's place in 090, 080, 070, 060,
// each digit from the 4th plus its place as two digits, the kind letter.
QString NaiveKey(const QString& lead) {
    QString key =
        u'0' + QString::number(QStringList{"090", "080", "070", "060"}.indexOf(lead.left(3)));
    for (int k = 1; k + 3 <= lead.size(); ++k)
        key += QString::asprintf("%02d", lead[k + 2].digitValue() + k);
    return key + QChar(u"AFGH"[lead.size() - 6]);
}

// The up to 4 characters after the first match in the text, "0" for none.
QString NaiveCode(const QString& text, const QString& upper, const QString& key) {
    const qsizetype p = upper.indexOf(Upper(key));
    return p < 0 ? QStringLiteral("0") : text.mid(p + key.size(), 4);
}

// The search command's steps over the naive search.
QString NaiveCarrierCode(const QString& text, const QString& upper, const QString& number) {
    const auto step = [&](int n) { return NaiveCode(text, upper, NaiveKey(number.left(n))); };
    QString code = step(6);
    if (code == u"0" && (code = step(7)) == u"C160" && number.size() >= 8 &&
        (code = step(8)) == u"C161" && number.size() >= 9)
        code = step(9);
    return code;
}

// A number with few distinct digits, so that keys repeat and nest.
QString RandomNumber(QRandomGenerator& rng) {
    QString number = QStringList{"090", "080", "070", "060"}[rng.bounded(4)];
    if (number == u"060") // 0601 to 0609
        number += QChar(u'1' + rng.bounded(9));
    while (number.size() < 11)
        number += QChar(u'0' + rng.bounded(rng.bounded(2) ? 3 : 10));
    return number.left(rng.bounded(7, 12));
}

// Keys of the numbers (either case, some spoilt, cut or whole) between pieces that trip a byte
// search: "ア" (0x83 'A'), lone lead bytes, bytes no character starts with, control bytes.
QByteArray RandomBytes(QRandomGenerator& rng, const QStringList& numbers, int pieces) {
    static const QList<QByteArray> bits =
        QByteArray("C160|C161|C130|P105|\x83\x41|\x83\x61|\x82\xa0|\x81|\x9f|\xe0|\xfc|\x80|"
                   "\xa0|\xfd|\xff|\x81\x7f|\x1a|\x1c|\x7f|A|f|G|0|1|\r\n|@")
            .split('|');
    QByteArray bytes;
    while (pieces-- > 0) {
        const QString& number = numbers[rng.bounded(int(numbers.size()))];
        QByteArray key = NaiveKey(number.left(rng.bounded(6, 10))).toLatin1();
        if (rng.bounded(2))
            key.back() = char(key.back() | 0x20);
        if (rng.bounded(4) == 0) // one bit away: "0" is 0x10 then, "@" is "`"
            key[rng.bounded(int(key.size()))] ^= 0x20;
        const int kind = rng.bounded(5);
        bytes += kind == 0   ? key + bits[rng.bounded(3)]
                 : kind == 1 ? key.left(rng.bounded(int(key.size())))
                 : kind == 2 ? QByteArray(1, char(rng.bounded(256)))
                             : bits[rng.bounded(int(bits.size()))];
    }
    // Mostly a tail: date and version between one- or two-byte characters, some cut short.
    if (rng.bounded(4))
        for (const QByteArray& piece : {QByteArray("20040115"), QByteArray(), QByteArray(),
                                        QByteArray("1000"), QByteArray(), QByteArray()})
            bytes += piece.isEmpty() ? bits[rng.bounded(4, int(bits.size()))] : piece;
    return bytes;
}

} // namespace

class tst_lookup_index : public QObject {
    Q_OBJECT

private slots:
    // The system's fast ways and the portable ones answer alike.
    void systemAndPortableWays_data() {
        QTest::addColumn<bool>("portable");
        QTest::newRow("system") << false;
        QTest::newRow("portable") << true;
    }
    void systemAndPortableWays() {
        QFETCH(bool, portable);
        cPageBlock block(portable ? cPageBlock::eWay::Portable : cPageBlock::eWay::System);
        QVERIFY(block.Resize(100));
        QCOMPARE(QByteArrayView(block.Data(), 100), QByteArray(100, '\0'));
        std::memset(block.Data(), 'x', 100);
        // Grown far beyond a page, then cut: the content stays, new bytes are zero.
        QVERIFY(block.Resize(3 << 20));
        QCOMPARE(QByteArrayView(block.Data(), 101), QByteArray(100, 'x') + '\0');
        QCOMPARE(block.Data()[(3 << 20) - 1], '\0');
        QVERIFY(block.Resize(50) && block.Capacity() == 50);
        QCOMPARE(QByteArrayView(block.Data(), 50), QByteArray(50, 'x'));
        // Grown again: what lay beyond the cut is gone, the new bytes are zero.
        QVERIFY(block.Resize(3 << 20));
        QCOMPARE(QByteArrayView(block.Data(), 100), QByteArray(50, 'x') + QByteArray(50, '\0'));
        QCOMPARE(QByteArrayView(block.Data(), 3 << 20).count('\0'), (3 << 20) - 50);

        const auto way = portable ? modBytes::eWay::Portable : modBytes::eWay::System;
        const QByteArray hay = "00020400020406AC13";
        const QList<std::pair<QByteArray, qsizetype>> finds = {
            {"000204", 0}, {"00020406", 6}, {"AC13", 14}, {"AC130", -1}, {"x", -1}, {"", 0}};
        for (const auto& [needle, at] : finds)
            QCOMPARE(modBytes::Find(hay, needle, way), at);
        QCOMPARE(modBytes::Find("ab", "abc", way), -1);
    }

    // The first and last key of each kind, 060's last: the kinds' slots follow each other
    // without a gap or an overlap.
    void slotsOfEveryPrefix() {
        const std::pair<const char*, qsizetype> expected[] = {{"00010203A", 0},
                                                              {"03101112a", 3999},
                                                              {"0001020304F", 4000},
                                                              {"0310111213F", 43999},
                                                              {"000102030405G", 44000},
                                                              {"031011121314G", 443999},
                                                              {"00010203040506H", 444000},
                                                              {"03101112131415H", 4443999},
                                                              {"04101112131415H", -1}};
        for (const auto& [key, slot] : expected)
            QCOMPARE(key + QString::number(cKeyIndex::Slot(key)), key + QString::number(slot));
        QCOMPARE(cKeyIndex::SlotCount, 4444000);
    }

    void bytesAnswerAsTheDecodedText_data() {
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("rounds");
        QTest::newRow("short, hashed index") << 12 << 3000;
        QTest::newRow("long, hashed index") << 400 << 200;
        // Enough kind letters that the index takes one entry per slot.
        QTest::newRow("large, direct index") << 2000000 << 1;
    }

    void bytesAnswerAsTheDecodedText() {
        QFETCH(int, pieces);
        QFETCH(int, rounds);
        QRandomGenerator rng(932 + pieces);
        cNumberDB db, indexed;
        for (int round = 0; round < rounds; ++round) {
            const QStringList numbers{RandomNumber(rng), RandomNumber(rng), RandomNumber(rng)};
            const QByteArray bytes = RandomBytes(rng, numbers, pieces), shown = bytes.left(2000);
            const QString text = DecodeCp932(bytes), upper = Upper(text);
            db.SetBytes(bytes);
            indexed.SetBytes(bytes);
            indexed.BuildIndex();
            QVERIFY(indexed.HasIndex());
            // Any key from the text, two-byte characters and U+001A included.
            for (int n = 0; n < 4 && !text.isEmpty(); ++n) {
                const QString key = text.mid(rng.bounded(int(text.size())), rng.bounded(1, 6));
                QCOMPARE(std::tuple(shown, key, db.FindCode(key)),
                         std::tuple(shown, key, NaiveCode(text, upper, key)));
            }
            for (int n = 0; n < (rounds == 1 ? 100 : 8); ++n) {
                const QString number = n < numbers.size() ? numbers[n] : RandomNumber(rng);
                const QString expected = NaiveCarrierCode(text, upper, number);
                QCOMPARE(std::tuple(shown, number,
                                    modSearch::SearchNumber(db, number).code.toString(),
                                    modSearch::SearchNumber(indexed, number).code.toString(),
                                    modSearch::SearchCarrierCode(indexed, number)),
                         std::tuple(shown, number, expected, expected, expected));
            }
            // The tail, and a file that ends inside a character is damaged.
            const bool cut = DecodeCp932(bytes + '0').size() != text.size() + 1;
            const QString tail = text.right(16);
            const bool valid =
                !cut && QRegularExpression("(?s)^[0-9]{8}..[0-9]{4}..$").match(tail).hasMatch();
            QCOMPARE(std::tuple(shown, db.DBDate(), db.DBVersion(), db.HasValidTail()),
                     std::tuple(shown, tail.mid(0, 8), tail.mid(10, 4), valid));
        }
    }
};

QTEST_GUILESS_MAIN(tst_lookup_index)
#include "tst_lookup_index.moc"
