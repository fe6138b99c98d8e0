// SPDX-License-Identifier: Apache-2.0
#include "cCarrierSection.h"

#include "modText.h"

#include <algorithm>

namespace {

constexpr QByteArrayView Header = "#carriers\r\n";
constexpr QByteArrayView Footer = "#end\r\n";
constexpr qsizetype TailBytes = 16;

bool IsCodeShape(QStringView strCode) {
    if (strCode.size() != 4 || strCode[0] < u'A' || strCode[0] > u'Z')
        return false;
    for (QChar c : strCode.mid(1))
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool IsArea(int intArea) {
    return (intArea >= 0 && intArea <= 10) || intArea == modCarrierTable::AreaNone;
}

// The area as the section writes it: plain decimal, no sign, no leading zero.
int ReadArea(QStringView strArea) {
    if (strArea.isEmpty() || strArea.size() > 2 || (strArea.size() == 2 && strArea[0] == u'0'))
        return -1;
    int value = 0;
    for (QChar c : strArea) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QString cCarrierSection::RowProblem(const QString& strCode, const QString& strText, int intArea) {
    if (!IsCodeShape(strCode)) {
        // Quoted as the table has it, cut short, without characters that would act on a terminal.
        QString shown = strCode.left(8);
        for (QChar& c : shown)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = u'?';
        return QStringLiteral("\"%1\" is not a carrier code (a capital letter and three digits)")
            .arg(shown);
    }
    if (!modCarrierTable::IsUnknown(modCarrierTable::LookupCarrier(strCode)))
        return QStringLiteral("%1 has a row in the program's own table, which always wins")
            .arg(strCode);
    if (strText.isEmpty() || strText.size() > MaxTextLength)
        return QStringLiteral("the text of %1 must have 1 to %2 characters")
            .arg(strCode)
            .arg(MaxTextLength);
    int run = 0;
    for (QChar c : strText) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u',')
            return QStringLiteral("the text of %1 holds a comma or a control character")
                .arg(strCode);
        if (modText::Cp932Code(u) < 0)
            return QStringLiteral("the text of %1 holds a character outside code page 932")
                .arg(strCode);
        // Full-width digits count too, for a reader that compares text without width.
        const bool digit = (u >= u'0' && u <= u'9') || (u >= u'\uFF10' && u <= u'\uFF19');
        run = digit ? run + 1 : 0;
        if (run > MaxDigitRun)
            return QStringLiteral("the text of %1 holds more than %2 digits in a row")
                .arg(strCode)
                .arg(MaxDigitRun);
    }
    // The program's own notices: a found number must not read as unlisted or as
    // asking for more digits (the log keeps those out by their texts).
    for (const QStringView code :
         {QStringView(u"0"), modCarrierTable::NeedsEightDigits, modCarrierTable::NeedsNineDigits})
        if (strText == modCarrierTable::LookupCarrier(code).text)
            return QStringLiteral("the text of %1 is one of the program's own notices")
                .arg(strCode);
    if (!IsArea(intArea))
        return QStringLiteral("the area of %1 must be 0 to 10, or 99 for none").arg(strCode);
    return QString();
}

// A row as the section and the table both write it: code,text,area.
QString cCarrierSection::RowText(const tRow& row) {
    return QStringLiteral("%1,%2,%3").arg(row.code, row.text).arg(row.area);
}

QString cCarrierSection::TableLine(const tRow& row) {
    return QStringLiteral("carrier,") + RowText(row);
}

QString cCarrierSection::SectionText(const QList<tRow>& rows) {
    if (rows.isEmpty())
        return QString();
    QString text = QString::fromLatin1(Header);
    for (const tRow& row : rows)
        text += RowText(row) + modText::CrLf;
    return text + QString::fromLatin1(Footer);
}

void cCarrierSection::Read(QByteArrayView bytData) {
    m_rows.clear();
    m_sorted.clear();
    const qsizetype end = bytData.size() - TailBytes; // where the footer ends
    if (end < Header.size() + Footer.size() ||
        bytData.sliced(end - Footer.size(), Footer.size()) != Footer)
        return;
    const QByteArrayView before = bytData.first(end - Footer.size());
    // The header starts a line: the file's first byte, or right after a line end.
    qsizetype start = before.size();
    do {
        start = before.first(start).lastIndexOf(Header);
    } while (start > 0 && before[start - 1] != '\n');
    if (start < 0)
        return;
    const QString lines = modText::DecodeCp932(before.sliced(start + Header.size()));
    QStringList seen;
    for (const QString& line : lines.split(modText::CrLf, Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u',');
        if (fields.size() != 3 || seen.contains(fields[0]))
            continue;
        const int area = ReadArea(fields[2]);
        if (!RowProblem(fields[0], fields[1], area).isEmpty())
            continue;
        seen.append(fields[0]);
        m_rows.append({fields[0], fields[1], short(area)});
    }
    for (const tRow& row : m_rows)
        m_sorted.push_back({row.code, row.text, row.area});
    std::sort(m_sorted.begin(), m_sorted.end(),
              [](const auto& a, const auto& b) { return a.code < b.code; });
}

const modCarrierTable::tCarrierRow& cCarrierSection::Lookup(QStringView strCode) const {
    const modCarrierTable::tCarrierRow& fixed = modCarrierTable::LookupCarrier(strCode);
    if (m_sorted.empty() || !modCarrierTable::IsUnknown(fixed))
        return fixed;
    const auto it =
        std::lower_bound(m_sorted.begin(), m_sorted.end(), strCode,
                         [](const auto& row, QStringView code) { return row.code < code; });
    return it != m_sorted.end() && it->code == strCode ? *it : fixed;
}
