// SPDX-License-Identifier: Apache-2.0
// A prefix table as lumivo-mkdb reads it. The builder must accept exactly the
// tables a plain reading of the format accepts, and the database it builds must
// answer every 11-digit number as the longest listed prefix of that number does.
// Carrier lines (taken or refused by rules this model does not repeat) must not
// change any code a search finds. Nothing is written to disk.

#include "cDBBuilder.h"
#include "cNumberDB.h"
#include "modSearch.h"

#include <QMap>

#include <cstdlib>

namespace {

bool AllDigits(const QString& s) {
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The table's prefixes and codes, or nothing when a line breaks the format:
// "prefix,code" with a prefix of 6 to 9 digits beginning 090, 080, 070 or 0601 to
// 0609 and a code of a capital letter and three digits, other than the steering
// codes. Carrier lines are left to the builder; *pblnCarriers tells there were some.
std::optional<QMap<QString, QString>> ReadTable(const QString& table, bool* pblnCarriers) {
    QMap<QString, QString> entries;
    *pblnCarriers = false;
    for (const QString& raw : table.split(u'\n')) {
        const QString line = (raw.endsWith(u'\r') ? raw.chopped(1) : raw).trimmed();
        if (line.isEmpty() || line.front() == u'#' || line == u"prefix,code")
            continue;
        if (line.section(u',', 0, 0).trimmed() == u"carrier") {
            *pblnCarriers = true;
            continue;
        }
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0 || line.indexOf(u',', comma + 1) >= 0)
            return std::nullopt;
        const QString prefix = line.left(comma).trimmed(), code = line.mid(comma + 1).trimmed();
        const QString head = prefix.left(3);
        const bool is060 = head == u"060" && prefix.size() > 3 && prefix[3] != u'0';
        if (prefix.size() < 6 || prefix.size() > 9 || !AllDigits(prefix) ||
            (head != u"090" && head != u"080" && head != u"070" && !is060))
            return std::nullopt;
        if (code.size() != 4 || code[0] < u'A' || code[0] > u'Z' || !AllDigits(code.mid(1)) ||
            code == u"C160" || code == u"C161")
            return std::nullopt;
        if (entries.contains(prefix) && entries.value(prefix) != code)
            return std::nullopt;
        entries.insert(prefix, code);
    }
    return entries;
}

QString LongestPrefixCode(const QMap<QString, QString>& entries, const QString& number) {
    for (qsizetype length = 9; length >= 6; --length) {
        const auto it = entries.constFind(number.left(length));
        if (it != entries.constEnd())
            return *it;
    }
    return QStringLiteral("0");
}

// Even first bytes are turned into table lines (so that deep tables are common),
// with a carrier line whose text comes close to a record key for every 16th;
// odd ones give the rest as text.
QString TableText(const uint8_t* data, size_t size) {
    if (data[0] % 2 != 0)
        return QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    static const char* const heads[] = {"090", "080", "070", "0601", "0609"};
    static const QString pieces = QStringLiteral("0123456789AaFfGgHhア#");
    QString table;
    for (size_t i = 1; i + 3 <= size; i += 3) {
        if (data[i] % 16 == 15) {
            QString text;
            for (int n = 0; n < 1 + data[i + 1] % 12; ++n)
                text += pieces[(data[i + 2] + n * data[i + 1]) % pieces.size()];
            table += QStringLiteral("carrier,C1%1,%2,99\n")
                         .arg(data[i + 2] % 64, 2, 10, QChar(u'0'))
                         .arg(text);
            continue;
        }
        QString prefix = QString::fromLatin1(heads[data[i] % 5]);
        const int length = 6 + (data[i] / 3) % 4;
        for (int d = 0; prefix.size() < length; ++d)
            prefix += QChar(u'0' + ((data[i + 1] >> (d % 4)) ^ (d * 7)) % 10);
        table += prefix + QStringLiteral(",C1%1\n").arg(data[i + 2] % 64, 2, 10, QChar(u'0'));
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QString table = TableText(data, size);
    bool blnCarriers = false;
    const auto model = ReadTable(table, &blnCarriers);
    cDBBuilder builder;
    const bool added = builder.AddTableText(table);
    if (!model.has_value() ? added : !added && !blnCarriers)
        abort();
    if (!added)
        return 0;
    // The same table without its carrier lines, for the codes the searches find.
    QStringList plainLines;
    for (const QString& line : table.split(u'\n'))
        if (line.trimmed().section(u',', 0, 0).trimmed() != u"carrier")
            plainLines.append(line);
    cDBBuilder plainBuilder;
    if (!plainBuilder.AddTableText(plainLines.join(u'\n')))
        abort();
    const std::optional<QString> plainText =
        plainBuilder.BuildText(QStringLiteral("20261207"), QStringLiteral("1001"));
    cNumberDB plain;
    if (plainText)
        plain.SetText(*plainText);
    const std::optional<QString> text =
        builder.BuildText(QStringLiteral("20261207"), QStringLiteral("1001"));
    // Every well-formed table with at least one block builds.
    if (text.has_value() != !model->isEmpty())
        abort();
    if (!text)
        return 0;
    cNumberDB db;
    db.SetText(*text);
    if (db.DBDate() != u"20261207" || db.DBVersion() != u"1001")
        abort();

    // Numbers under each listed prefix, beside it and above it.
    for (auto it = model->cbegin(); it != model->cend(); ++it) {
        const QString& prefix = it.key();
        QString numbers[3] = {prefix, prefix, prefix.left(6)};
        numbers[1].back() = QChar(u'0' + (numbers[1].back().unicode() - u'0' + 1) % 10);
        for (QString& number : numbers) {
            for (qsizetype i = number.size(); i < 11; ++i)
                number += QChar(char16_t(u'0' + (data[size_t(i) % size] + i) % 10));
            if (modSearch::SearchCarrierCode(db, number) != LongestPrefixCode(*model, number) ||
                modSearch::SearchCarrierCode(plain, number) != LongestPrefixCode(*model, number))
                abort();
        }
    }
    return 0;
}
