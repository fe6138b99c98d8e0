// SPDX-License-Identifier: Apache-2.0
// What the producer writes, above all the carrier rows a database names for codes
// the fixed table lacks: how the engine reads and shows them, and that no lookup
// ever takes any of their bytes for a record key.

#include "cCarrierSection.h"
#include "cDBBuilder.h"
#include "cNumberDB.h"
#include "modSearch.h"
#include "modTestFiles.h"
#include "modText.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString Tail = QStringLiteral("20261207  1001\r\n");

// Every record key of every kind for prefix codes 00 to 03, written here digit by
// digit: "0", the prefix code, each digit from the number's 4th on plus its place
// as two digits, then the kind letter (lower case for odd numbers, which the
// search must match all the same). f(key) for each, about 4.4 million calls.
template <typename tFn> void ForEveryKey(tFn f) {
    for (int prefix = 0; prefix < 4; ++prefix) {
        for (int fields = 3; fields <= 6; ++fields) {
            char key[15];
            key[0] = '0';
            key[1] = char('0' + prefix);
            const int length = 2 * fields + 3;
            int digits[6] = {};
            for (int count = 0;; ++count) {
                for (int k = 1; k <= fields; ++k) {
                    key[2 * k] = char('0' + (digits[k - 1] + k) / 10);
                    key[2 * k + 1] = char('0' + (digits[k - 1] + k) % 10);
                }
                key[length - 1] = "AFGH"[fields - 3] | (count % 2 ? 0x20 : 0);
                f(QByteArrayView(key, length));
                int k = fields - 1;
                while (k >= 0 && digits[k] == 9)
                    digits[k--] = 0;
                if (k < 0)
                    break;
                ++digits[k];
            }
        }
    }
}

// The lines of a table without its carrier rows.
QString WithoutCarriers(const QString& strTable) {
    QStringList kept;
    for (const QString& line : strTable.split(u'\n'))
        if (!line.startsWith(QStringLiteral("carrier,")))
            kept.append(line);
    return kept.join(u'\n');
}

QString Build(const QString& strTable) {
    cDBBuilder builder;
    if (!builder.AddTableText(strTable))
        return QStringLiteral("table: ") + builder.ErrorText();
    return builder.BuildText("20261207", "1001")
        .value_or(QStringLiteral("build: ") + builder.ErrorText());
}

// A number under the prefix: its digits, then the rest from the generator.
QString Number(const QString& strPrefix, QRandomGenerator& rng) {
    QString number = strPrefix;
    while (number.size() < 11)
        number += QChar(u'0' + rng.bounded(10));
    return number;
}

// A seeded table: prefixes of 6 to 9 digits from few digits (so that they nest),
// codes of the fixed table and others, and carrier rows for some of the others
// with texts of the characters that come closest to a key: digits, kind letters
// in both cases, "ア" (0x83 0x41), half-width "ｱ", the section's own "#" and ",".
QString FuzzedTable(quint32 seed) {
    QRandomGenerator rng(seed);
    const QStringList heads = {"090", "080", "070", "0601", "0609"};
    const QStringList codes = {"C130", "C150", "C153", "P105", "C155", "C170", "Z999"};
    QString table;
    QSet<QString> listed;
    for (int n = rng.bounded(1, 200); n > 0; --n) {
        QString prefix = heads[rng.bounded(int(heads.size()))];
        const int length = rng.bounded(6, 10);
        while (prefix.size() < length)
            prefix += QChar(u'0' + rng.bounded(rng.bounded(2) ? 2 : 10));
        if (!listed.contains(prefix))
            table += prefix + u',' + codes[rng.bounded(int(codes.size()))] + u'\n';
        listed.insert(prefix);
    }
    const QString pool = QStringLiteral("0123456789AaFfGgHhアｱ楽#C-.");
    for (const char* code : {"C155", "C170", "Z999", "A000"}) {
        if (rng.bounded(4) == 0)
            continue;
        QString text;
        for (int n = rng.bounded(1, 41); n > 0; --n)
            text += pool[rng.bounded(int(pool.size()))];
        static const int areas[] = {0, 1, 5, 9, 10, 99};
        const int area = areas[rng.bounded(6)];
        if (cCarrierSection::RowProblem(code, text, area).isEmpty())
            table += QStringLiteral("carrier,%1,%2,%3\n").arg(code, text).arg(area);
    }
    return table;
}

} // namespace

class tst_carriers : public QObject {
    Q_OBJECT

private slots:
    // The producer's text for a table, and what the search finds in it with and
    // without the key index.
    void producedText_data() { modTestFiles::AddDataRows(QFINDTESTDATA("produced-text.txt")); }
    void producedText() {
        QFETCH(QStringList, row);
        const QString text = Build(row[1]);
        QCOMPARE(text, row[2]);
        if (row.size() < 5)
            return;
        cNumberDB db, indexed;
        db.SetText(text);
        indexed.SetText(text);
        indexed.BuildIndex();
        QCOMPARE(modSearch::SearchCarrierCode(db, row[3]) + u'|' +
                     modSearch::SearchCarrierCode(indexed, row[3]),
                 row[4] + u'|' + row[4]);
    }

    void carrierLines_data() { modTestFiles::AddDataRows(QFINDTESTDATA("carrier-lines.txt")); }
    void carrierLines() {
        QFETCH(QStringList, row);
        const QString error = row.value(2);
        cDBBuilder builder;
        const bool taken = builder.AddTableText(row[1] + "\n090123,C130\n");
        QVERIFY2(taken == error.isEmpty() && (taken || builder.ErrorText().endsWith(error)),
                 qPrintable(builder.ErrorText()));
        if (taken)
            QCOMPARE(builder.Carriers().size(), 1);
    }

    void sectionReading_data() { modTestFiles::AddDataRows(QFINDTESTDATA("carrier-section.txt")); }
    void sectionReading() {
        QFETCH(QStringList, row);
        cNumberDB db;
        db.SetText("00020406AC155\r\n" + row[1]);
        const modCarrierTable::tCarrierRow& shown = db.CarrierRow(row[2]);
        QCOMPARE(shown.text.toString() + u'|' + QString::number(shown.area), row[3]);
        db.SetText(Tail); // a database loaded later names nothing
        QCOMPARE(&db.CarrierRow(row[2]), &modCarrierTable::LookupCarrier(row[2]));
    }

    // Every key of every kind and prefix is absent from a section of rows built to
    // look like keys, written after records whose codes end in digits: only the
    // two records' own keys are found, by the byte search and by the key index.
    // The rows are those the producer takes of candidates that come as close to a
    // key as it lets them, and of whole keys, which it must refuse.
    void sectionHoldsNoKey() {
        const QList<cCarrierSection::tRow> candidates = {
            {"C155", "1234A5678F", 99},    {"Z999", "0000h9999g0102", 10},
            {"A000", "ア1234ｱ0101a", 0},   {"H123", "#end#carriers", 5},
            {"F001", "9999H", 1},          {"G010", "楽0203", 9},
            {"K001", "00020406A", 99},     {"K002", "x0302040608F", 1},
            {"K003", "03101112131415h", 2}};
        QList<cCarrierSection::tRow> rows;
        for (const cCarrierSection::tRow& row : candidates)
            if (cCarrierSection::RowProblem(row.code, row.text, row.area).isEmpty())
                rows.append(row);
        QVERIFY(rows.size() >= 6);
        const QByteArray section = modText::EncodeCp932(cCarrierSection::SectionText(rows));
        // The layout the proof rests on: no five ASCII digits in a row, a "#" first, a
        // line end last.
        QVERIFY(!QRegularExpression("[0-9]{5}").match(QString::fromLatin1(section)).hasMatch());
        QVERIFY(section.startsWith('#') && section.endsWith("\r\n"));

        const QByteArray bytes =
            "00020406AC1300002040608FC131\r\n" + section + modText::EncodeCp932(Tail);
        cNumberDB db, indexed;
        db.SetBytes(bytes);
        indexed.SetBytes(bytes);
        indexed.BuildIndex();
        QCOMPARE(db.Carriers().Rows().size(), rows.size());
        QStringList found;
        qsizetype keys = 0;
        ForEveryKey([&](QByteArrayView key) {
            ++keys;
            const qsizetype at = cNumberDB::FindKey(bytes, key);
            const tCarrierCode code = indexed.LookupKey(key);
            if (at >= 0 || code != u"0")
                found.append(QString::fromLatin1(key) + u'@' + QString::number(at) + u'=' +
                             code.toString());
        });
        QCOMPARE(keys, 4444000);
        QCOMPARE(found, QStringList({"00020406a@0=C130", "0002040608F@13=C131"}));
    }

    // The same records with and without the section: every key of kinds A and F by
    // the byte search, every key of every kind by the key index, and the answer
    // to every listed block's numbers (its text too where the code is the fixed
    // table's), on the bundled table and on seeded ones.
    void sectionChangesNoAnswer_data() {
        QTest::addColumn<QString>("table");
        QFile file(LUMIVO_PREFIX_TABLE);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTest::newRow("bundled") << QString::fromUtf8(file.readAll());
        for (quint32 seed = 1; seed <= 12; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << FuzzedTable(seed);
    }
    void sectionChangesNoAnswer() {
        QFETCH(QString, table);
        if (QTest::currentDataTag() == QByteArray("bundled")) // Rakuten Mobile's row
            QVERIFY(table.contains(QStringLiteral("\ncarrier,C155,楽天モバイル,99\n")));
        const QString with = Build(table), without = Build(WithoutCarriers(table));
        QVERIFY2(with.endsWith(Tail) && without.endsWith(Tail), qPrintable(with.left(200)));
        cNumberDB dbWith, dbWithout, indexedWith, indexedWithout;
        dbWith.SetText(with);
        dbWithout.SetText(without);
        indexedWith.SetText(with);
        indexedWithout.SetText(without);
        indexedWith.BuildIndex();
        indexedWithout.BuildIndex();
        const QString section = cCarrierSection::SectionText(dbWith.Carriers().Rows());
        QCOMPARE(QString(with).remove(section), without);

        QStringList differ;
        ForEveryKey([&](QByteArrayView key) {
            const bool bytes = key.size() <= 11;
            if ((bytes && dbWith.LookupKey(key).View() != dbWithout.LookupKey(key).View()) ||
                indexedWith.LookupKey(key).View() != indexedWithout.LookupKey(key).View())
                differ.append(QString::fromLatin1(key));
        });
        QCOMPARE(differ, QStringList());

        QRandomGenerator rng(7);
        for (const QString& line : table.split(u'\n')) {
            const QString prefix = line.section(u',', 0, 0).trimmed();
            if (prefix.isEmpty() || !prefix[0].isDigit())
                continue;
            const QString number = Number(prefix, rng);
            const auto a = modSearch::SearchNumber(dbWith, number),
                       b = modSearch::SearchNumber(dbWithout, number);
            const bool fixed =
                !modCarrierTable::IsUnknown(modCarrierTable::LookupCarrier(b.code.View())) ||
                b.code == u"0";
            QCOMPARE(number + u' ' + a.code.toString() + u' ' +
                         (fixed ? a.Text().toString() : QString()),
                     number + u' ' + b.code.toString() + u' ' +
                         (fixed ? b.Text().toString() : QString()));
        }
    }
};

QTEST_GUILESS_MAIN(tst_carriers)
#include "tst_carriers.moc"
