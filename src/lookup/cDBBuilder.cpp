// SPDX-License-Identifier: Apache-2.0
#include "cDBBuilder.h"

#include "modCarrierTable.h"
#include "modFileIO.h"
#include "modInputCheck.h"
#include "modRecordKey.h"
#include "modText.h"

#include <QDate>

namespace {

using modCarrierTable::NeedsEightDigits;
using modCarrierTable::NeedsNineDigits;

bool IsDigits(QStringView strText) {
    return !strText.isEmpty() && modInputCheck::IsAllDigits(strText);
}

bool IsValidPrefix(const QString& strText) {
    return strText.size() >= 6 && strText.size() <= 9 && IsDigits(strText) &&
           modInputCheck::HasMobilePrefix(strText);
}

// A carrier code as the lookups return it: a capital letter and three digits.
bool IsValidCode(const QString& strText) {
    return strText.size() == 4 && strText[0] >= u'A' && strText[0] <= u'Z' &&
           IsDigits(QStringView(strText).mid(1));
}

// A field from the table as its message quotes it: a huge field would otherwise
// flood the terminal, and control characters would act on it.
QString Quoted(QStringView strText) {
    constexpr qsizetype MaxShown = 40;
    QString shown = strText.left(MaxShown).toString();
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    if (strText.size() > MaxShown)
        shown += u'…';
    return u'"' + shown + u'"';
}

bool HasLongerEntry(const QMap<QString, QString>& entries, const QString& strPrefix) {
    auto it = entries.upperBound(strPrefix);
    return it != entries.end() && it.key().startsWith(strPrefix);
}

} // namespace

bool cDBBuilder::Fail(const QString& strMessage) {
    m_strError = strMessage;
    return false;
}

bool cDBBuilder::AddTableText(const QString& strTable, const QString& strSourceName) {
    m_strSource = strSourceName;
    const QStringList lines = strTable.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line == u"prefix,code")
            continue;
        const QStringList fields = line.split(u',');
        if (fields[0].trimmed() == u"carrier") {
            bool ok = fields.size() == 4;
            const int area = ok ? fields[3].trimmed().toInt(&ok) : 0;
            if (!ok)
                return Fail(QStringLiteral("line %1: expected \"carrier,code,text,area\" with "
                                           "an area number, got %2")
                                .arg(i + 1)
                                .arg(Quoted(line)));
            if (!AddCarrier(fields[1].trimmed(), fields[2].trimmed(), area, i + 1))
                return false;
            continue;
        }
        if (fields.size() != 2)
            return Fail(QStringLiteral("line %1: expected \"prefix,code\", got %2")
                            .arg(i + 1)
                            .arg(Quoted(line)));
        if (!AddEntry(fields[0].trimmed(), fields[1].trimmed(), i + 1))
            return false;
    }
    return true;
}

bool cDBBuilder::AddEntry(const QString& strPrefix, const QString& strCode, int intLine) {
    const QString where = intLine > 0 ? QStringLiteral("line %1: ").arg(intLine) : QString();
    if (!IsValidPrefix(strPrefix))
        return Fail(where + QStringLiteral("%1 is not a number prefix of 6 to 9 digits "
                                           "beginning 090, 080, 070 or 0601 to 0609")
                                .arg(Quoted(strPrefix)));
    if (!IsValidCode(strCode))
        return Fail(where + QStringLiteral("%1 is not a carrier code (a capital letter and "
                                           "three digits)")
                                .arg(Quoted(strCode)));
    if (strCode == NeedsEightDigits || strCode == NeedsNineDigits)
        return Fail(where + QStringLiteral("%1 is written by the producer itself where longer "
                                           "blocks need it; it cannot be listed")
                                .arg(strCode));
    const auto it = m_entries.constFind(strPrefix);
    if (it != m_entries.constEnd() && it->code != strCode)
        return Fail(where + QStringLiteral("%1 is listed as %2 but already as %3 on line %4")
                                .arg(strPrefix, strCode, it->code)
                                .arg(it->line));
    m_entries.insert(strPrefix, {strCode, intLine});
    return true;
}

bool cDBBuilder::AddCarrier(const QString& strCode, const QString& strText, int intArea,
                            int intLine) {
    const QString where = intLine > 0 ? QStringLiteral("line %1: ").arg(intLine) : QString();
    const QString problem = cCarrierSection::RowProblem(strCode, strText, intArea);
    if (!problem.isEmpty())
        return Fail(where + problem);
    for (qsizetype i = 0; i < m_carriers.size(); ++i) {
        const cCarrierSection::tRow& row = m_carriers[i];
        if (row.code != strCode)
            continue;
        if (row.text == strText && row.area == intArea)
            return true;
        return Fail(where + QStringLiteral("%1 is named again, otherwise than on line %2")
                                .arg(strCode)
                                .arg(m_carrierLines[i]));
    }
    m_carriers.append({strCode, strText, short(intArea)});
    m_carrierLines.append(intLine);
    return true;
}

std::optional<QString> cDBBuilder::BuildText(const QString& strDate, const QString& strVersion) {
    m_intRecords = 0;
    // A database without records would answer every number as unlisted.
    if (m_entries.isEmpty()) {
        Fail(QStringLiteral("the table lists no number block"));
        return std::nullopt;
    }
    if (strDate.size() != 8 || !IsDigits(strDate) ||
        !QDate::fromString(strDate, QStringLiteral("yyyyMMdd")).isValid()) {
        Fail(QStringLiteral("%1 is not a date written as YYYYMMDD").arg(Quoted(strDate)));
        return std::nullopt;
    }
    if (strVersion.size() != 4 || !IsDigits(strVersion)) {
        Fail(QStringLiteral("%1 is not a database version of 4 digits").arg(Quoted(strVersion)));
        return std::nullopt;
    }

    // Longest prefix wins: a block with longer entries beneath it hands its
    // code down to those of its ten sub-blocks that have none of their own.
    QMap<QString, QString> blocks;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        blocks.insert(it.key(), it->code);
    for (qsizetype length = 6; length <= 8; ++length) {
        const QStringList keys = blocks.keys();
        for (const QString& prefix : keys) {
            if (prefix.size() != length || !HasLongerEntry(blocks, prefix))
                continue;
            const QString code = blocks.take(prefix);
            for (char16_t d = u'0'; d <= u'9'; ++d)
                if (!blocks.contains(prefix + QChar(d)))
                    blocks.insert(prefix + QChar(d), code);
        }
    }

    // Leaves get their records; their 7- and 8-digit ancestors steer to them.
    QMap<QString, QString> records = blocks;
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it) {
        if (it.key().size() >= 8)
            records.insert(it.key().left(7), NeedsEightDigits.toString());
        if (it.key().size() == 9)
            records.insert(it.key().left(8), NeedsNineDigits.toString());
    }

    QString text;
    text.reserve(records.size() * 21 + 16);
    QList<qsizetype> starts;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        starts.append(text.size());
        text += modRecordKey::KeyText(it.key()) + it.value() + modText::CrLf;
    }
    text += cCarrierSection::SectionText(m_carriers);
    text += strDate + QStringLiteral("  ") + strVersion + modText::CrLf;

    const auto found = KeyOccurrences(text);
    QList<qsizetype> foundStarts;
    for (const auto& occurrence : found)
        foundStarts.append(occurrence.first);
    if (foundStarts != starts) {
        Fail(QStringLiteral("the records would hold a key outside its own record"));
        return std::nullopt;
    }
    m_intRecords = int(records.size());
    return text;
}

bool cDBBuilder::BuildFile(const QString& strPath, const QString& strDate,
                           const QString& strVersion) {
    m_fileError = tIoError();
    const std::optional<QString> text = BuildText(strDate, strVersion);
    if (!text)
        return false;
    m_fileError = modFileIO::WriteFileWhole(strPath, modText::EncodeCp932(*text));
    if (m_fileError.Failed())
        return Fail(QStringLiteral("cannot write %1").arg(strPath));
    return true;
}

QList<std::pair<qsizetype, qsizetype>> cDBBuilder::KeyOccurrences(QStringView strText) {
    QList<std::pair<qsizetype, qsizetype>> found;
    for (qsizetype start = 0; start < strText.size(); ++start)
        if (const qsizetype n =
                modRecordKey::KeyLengthAt(strText.data() + start, strText.size() - start))
            found.append({start, n});
    return found;
}
