// SPDX-License-Identifier: Apache-2.0
#include "cAnswerWriter.h"

#include "modText.h"
#include "modToolIO.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace {

// Answers are written in blocks of this size.
constexpr qsizetype BlockBytes = 1 << 20;

// For programs reading jsonl: why a number was refused, in words that stay.
const char* RefusalName(modSearch::eRefusal refusal) {
    switch (refusal) {
    case modSearch::eRefusal::None:
        return nullptr;
    case modSearch::eRefusal::NoDatabase:
        return "no-database";
    case modSearch::eRefusal::Prefix:
        return "prefix";
    case modSearch::eRefusal::TooShort:
        return "too-short";
    case modSearch::eRefusal::TooLong:
        return "too-long";
    case modSearch::eRefusal::NotDigits:
        return "not-digits";
    }
    return nullptr;
}

} // namespace

cAnswerWriter::cAnswerWriter(eFormat format, bool blnCp932)
    : m_format(format), m_blnCsv(format == eFormat::Csv), m_blnCp932(blnCp932) {
    m_buffer.reserve(BlockBytes + 4096);
    // Each text the result box can show, encoded once.
    const QStringList codes = modCarrierTable::AllCodes() << QStringLiteral("0");
    for (const QString& code : codes) {
        const modCarrierTable::tCarrierRow& row = modCarrierTable::LookupCarrier(code);
        m_rowTexts[modCarrierTable::RowIndex(row)] = Field(row.text);
    }
    for (int i = 0; i < RefusalCount; ++i)
        m_refusalTexts[i] = Field(modSearch::RefusalText(modSearch::eRefusal(i)));
    if (m_blnCsv)
        m_buffer += m_blnCp932 ? "number,code,text\r\n" : "\xEF\xBB\xBFnumber,code,text\r\n";
}

void cAnswerWriter::Answer(const cNumberDB& db, QStringView strGiven, QStringView strSearched,
                           QByteArrayView bytUtf8) {
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, strSearched);
    if (m_format == eFormat::Jsonl) {
        AnswerJson(strGiven, strSearched, result);
    } else {
        if (!bytUtf8.isEmpty() && IsPlain(bytUtf8) && !StartsFormula(bytUtf8.front()))
            m_buffer.append(bytUtf8.data(), size_t(bytUtf8.size()));
        else
            Append(Field(strGiven));
        m_buffer += m_blnCsv ? ',' : '\t';
        if (!result.Accepted()) {
            m_buffer += '-';
        } else {
            const QStringView code = result.code.View();
            if (IsPlain(code) && !StartsFormula(code.front().unicode()))
                for (QChar c : code)
                    m_buffer += char(c.unicode());
            else
                Append(Field(code));
        }
        m_buffer += m_blnCsv ? ',' : '\t';
        Append(!result.row ? m_refusalTexts[int(result.refusal)]
               : modCarrierTable::RowIndex(*result.row) < 0
                   ? Field(result.row->text)
                   : m_rowTexts[modCarrierTable::RowIndex(*result.row)]);
        m_buffer += m_blnCsv ? "\r\n" : "\n";
    }
    if (m_buffer.size() >= size_t(BlockBytes))
        Flush();
}

void cAnswerWriter::AnswerJson(QStringView strGiven, QStringView strSearched,
                               const modSearch::tSearchResult& result) {
    QJsonObject answer;
    answer.insert(QStringLiteral("number"), strGiven.toString());
    answer.insert(QStringLiteral("searched"), strSearched.toString());
    answer.insert(QStringLiteral("code"),
                  result.Accepted() ? QJsonValue(result.code.View().toString()) : QJsonValue());
    answer.insert(QStringLiteral("text"), result.Text().toString());
    const char* refusal = RefusalName(result.refusal);
    answer.insert(QStringLiteral("refusal"),
                  refusal ? QJsonValue(QString::fromLatin1(refusal)) : QJsonValue());
    Append(QJsonDocument(answer).toJson(QJsonDocument::Compact));
    m_buffer += '\n';
}

bool cAnswerWriter::Flush() {
    if (!Failed() && !m_buffer.empty())
        m_strError = modToolIO::WriteAll(
            STDOUT_FILENO,
            m_blnCp932 ? modText::EncodeCp932(QString::fromUtf8(m_buffer))
                       : QByteArray::fromRawData(m_buffer.data(), qsizetype(m_buffer.size())));
    m_buffer.clear();
    return !Failed();
}

// Nothing to escape or quote: printable ASCII but for "\\", "," and the quote.
bool cAnswerWriter::IsPlainChar(uint c) {
    return c > 0x20 && c < 0x7F && c != '\\' && c != ',' && c != '"';
}

bool cAnswerWriter::IsPlain(QStringView strText) {
    for (QChar c : strText)
        if (!IsPlainChar(c.unicode()))
            return false;
    return true;
}

bool cAnswerWriter::IsPlain(QByteArrayView bytText) {
    for (char c : bytText)
        if (!IsPlainChar(uchar(c)))
            return false;
    return true;
}

// A spreadsheet would take a CSV field starting with one of these as a
// formula (TAB and CR too: it drops them from the front first).
bool cAnswerWriter::StartsFormula(uint c) const {
    return m_blnCsv && (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r');
}

void cAnswerWriter::Append(const QByteArray& bytText) {
    m_buffer.append(bytText.constData(), size_t(bytText.size()));
}

// A character that could break a line or a field, or hide itself (NUL, the
// direction marks and overrides, which reorder what a viewer shows).
bool cAnswerWriter::IsUnsafe(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == u'\\' || c == 0x2028 || c == 0x2029 ||
           QChar::category(c) == QChar::Other_Format;
}

QByteArray cAnswerWriter::Escape16(char16_t c) {
    return QByteArray("\\u") + QByteArray::number(uint(c), 16).rightJustified(4, '0');
}

QByteArray cAnswerWriter::Field(QStringView strText) const {
    // Such a field is shown as text: a quote mark first, as spreadsheets take it.
    QByteArray out = !strText.isEmpty() && StartsFormula(strText.front().unicode()) ? "'" : "";
    for (char32_t c : strText.toUcs4()) {
        // CSV carries TAB and line ends inside quotes, and has no escapes of its own.
        const bool csvKeeps = c == u'\t' || c == u'\n' || c == u'\r' || c == u'\\';
        if (!IsUnsafe(c) || (m_blnCsv && csvKeeps))
            out += QString::fromUcs4(&c, 1).toUtf8();
        else if (c == u'\t')
            out += "\\t";
        else if (c == u'\n')
            out += "\\n";
        else if (c == u'\r')
            out += "\\r";
        else if (c == u'\\')
            out += "\\\\";
        else if (c < 0x100)
            out += QByteArray("\\x") + QByteArray::number(uint(c), 16).rightJustified(2, '0');
        else if (QChar::requiresSurrogates(c)) // as JSON writes it: \uHHHH is four digits
            out += Escape16(QChar::highSurrogate(c)) + Escape16(QChar::lowSurrogate(c));
        else
            out += Escape16(char16_t(c));
    }
    if (!m_blnCsv || (!out.contains(',') && !out.contains('"') && !out.contains('\n') &&
                      !out.contains('\r') && out.trimmed() == out && !out.startsWith('\'')))
        return out;
    return '"' + out.replace('"', "\"\"") + '"';
}
