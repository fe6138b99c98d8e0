// SPDX-License-Identifier: Apache-2.0
#include "cAnswerWriter.h"

#include "modText.h"
#include "modToolIO.h"

#include "modNumberForm.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

#include <unistd.h>

namespace {

// Answers are written in blocks of this size.
constexpr qsizetype BlockBytes = 1 << 20;

} // namespace

cAnswerWriter::cAnswerWriter(eFormat format, bool blnCp932, bool blnStrict)
    : m_format(format), m_blnCsv(format == eFormat::Csv || format == eFormat::Rows),
      m_blnCp932(blnCp932), m_blnStrict(blnStrict) {
    m_buffer.reserve(BlockBytes + 4096);
    // Each text of the fixed table and each refusal, made once.
    const QStringList codes = modCarrierTable::AllCodes() << QStringLiteral("0");
    for (const QString& code : codes) {
        const modCarrierTable::tCarrierRow& row = modCarrierTable::LookupCarrier(code);
        m_rowTexts[modCarrierTable::RowIndex(row)] = EncodedText(row.text);
    }
    for (int i = 0; i < RefusalCount; ++i)
        m_refusalTexts[i] = EncodedText(modSearch::RefusalText(modSearch::eRefusal(i)));
    if (m_format == eFormat::Csv)
        m_buffer += m_blnCp932 ? "number,code,text\r\n" : "\xEF\xBB\xBFnumber,code,text\r\n";
}

void cAnswerWriter::AppendCode(const modSearch::tSearchResult& result) {
    if (!result.Accepted()) {
        m_buffer += '-';
        return;
    }
    const QStringView code = result.code.View();
    if (IsPlain(code) && !StartsFormula(code.front().unicode()))
        for (QChar c : code)
            m_buffer += char(c.unicode());
    else if (m_format == eFormat::Rows && m_blnCp932)
        Append(modText::EncodeCp932(QString::fromUtf8(Field(code))));
    else
        Append(Field(code));
}

// A text the result box can show: a field in the output's encoding, or for jsonl
// a string as Qt's JSON writer writes it.
QByteArray cAnswerWriter::EncodedText(QStringView strText) const {
    if (m_format == eFormat::Jsonl)
        return JsonString(strText);
    return m_format == eFormat::Rows && m_blnCp932
               ? modText::EncodeCp932(QString::fromUtf8(Field(strText)))
               : Field(strText);
}

void cAnswerWriter::AppendText(const modSearch::tSearchResult& result) {
    if (!result.row)
        return Append(m_refusalTexts[int(result.refusal)]);
    // A carrier the database names is not in the table made at the start.
    const int intIndex = modCarrierTable::RowIndex(*result.row);
    Append(intIndex < 0 ? EncodedText(result.row->text) : m_rowTexts[intIndex]);
}

void cAnswerWriter::Answer(const cNumberDB& db, QStringView strGiven, QStringView strSearched,
                           QByteArrayView bytUtf8) {
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, strSearched);
    m_blnRefused = m_blnRefused || !result.Accepted();
    if (m_format == eFormat::Jsonl) {
        AnswerJson(strGiven, strSearched, result);
    } else {
        if (!bytUtf8.isEmpty() && IsPlain(bytUtf8) && !StartsFormula(bytUtf8.front()))
            m_buffer.append(bytUtf8.data(), size_t(bytUtf8.size()));
        else
            Append(Field(strGiven));
        m_buffer += m_blnCsv ? ',' : '\t';
        AppendCode(result);
        m_buffer += m_blnCsv ? ',' : '\t';
        AppendText(result);
        m_buffer += m_blnCsv ? "\r\n" : "\n";
    }
    if (m_buffer.size() >= size_t(BlockBytes))
        Flush();
}

void cAnswerWriter::AnswerRow(const cNumberDB& db, QByteArrayView bytRow, QByteArrayView bytLineEnd,
                              QStringView strSearched) {
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, strSearched);
    m_blnRefused = m_blnRefused || !result.Accepted();
    Write(bytRow);
    m_buffer += ',';
    AppendCode(result);
    m_buffer += ',';
    AppendText(result);
    Write(bytLineEnd);
    if (m_buffer.size() >= size_t(BlockBytes))
        Flush();
}

// Printable ASCII but for the quote and "\\": written by Qt's JSON writer as it is.
bool cAnswerWriter::IsJsonPlain(QStringView strText) {
    for (QChar c : strText)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == u'"' || c == u'\\')
            return false;
    return true;
}

// The text as a JSON string, quotes included, as Qt's JSON writer writes it.
QByteArray cAnswerWriter::JsonString(QStringView strText) {
    const QByteArray array =
        QJsonDocument(QJsonArray{strText.toString()}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2); // without [ and ]
}

// One JSON object, its keys in the order Qt's writer puts them. Texts that need
// no escaping are written here; any other answer is left to Qt's writer whole.
void cAnswerWriter::AnswerJson(QStringView strGiven, QStringView strSearched,
                               const modSearch::tSearchResult& result) {
    const QLatin1StringView refusal =
        modNumberForm::RefusalKeyword(strGiven, m_blnStrict, result.refusal);
    const QStringView code = result.Accepted() ? result.code.View() : QStringView();
    if (IsJsonPlain(strGiven) && IsJsonPlain(strSearched) && IsJsonPlain(code)) {
        const auto plain = [this](QStringView strText) {
            // ASCII, so one byte each, written in one go.
            const size_t at = m_buffer.size();
            m_buffer.resize(at + size_t(strText.size()) + 2);
            char* out = &m_buffer[at];
            *out++ = '"';
            for (QChar c : strText)
                *out++ = char(c.unicode());
            *out = '"';
        };
        m_buffer += "{\"code\":";
        if (result.Accepted())
            plain(code);
        else
            m_buffer += "null";
        m_buffer += ",\"number\":";
        plain(strGiven);
        m_buffer += ",\"refusal\":";
        if (refusal.isNull()) {
            m_buffer += "null";
        } else {
            m_buffer += '"';
            m_buffer.append(refusal.data(), size_t(refusal.size()));
            m_buffer += '"';
        }
        m_buffer += ",\"searched\":";
        plain(strSearched);
        m_buffer += ",\"text\":";
        AppendText(result);
        m_buffer += "}\n";
        return;
    }
    QJsonObject answer;
    answer.insert(QStringLiteral("number"), strGiven.toString());
    answer.insert(QStringLiteral("searched"), strSearched.toString());
    answer.insert(QStringLiteral("code"),
                  result.Accepted() ? QJsonValue(code.toString()) : QJsonValue());
    answer.insert(QStringLiteral("text"), result.Text().toString());
    answer.insert(QStringLiteral("refusal"),
                  refusal.isNull() ? QJsonValue() : QJsonValue(QString(refusal)));
    Append(QJsonDocument(answer).toJson(QJsonDocument::Compact));
    m_buffer += '\n';
}

bool cAnswerWriter::Flush() {
    if (!Failed() && !m_buffer.empty())
        m_strError = modToolIO::WriteAll(
            STDOUT_FILENO,
            m_blnCp932 && m_format != eFormat::Rows
                ? modText::EncodeCp932(QString::fromUtf8(m_buffer))
                : QByteArray::fromRawData(m_buffer.data(), qsizetype(m_buffer.size())));
    m_buffer.clear();
    return !Failed();
}

bool cAnswerWriter::IsPlain(QStringView strText) {
    for (QChar c : strText)
        if (!IsPlainChar(c.unicode()))
            return false;
    return true;
}

bool cAnswerWriter::IsPlain(QByteArrayView bytText) {
    // Looked up in a table: every number of a list passes through here.
    static constexpr auto plain = [] {
        std::array<bool, 256> table{};
        for (uint c = 0; c < 256; ++c)
            table[c] = IsPlainChar(c);
        return table;
    }();
    for (char c : bytText)
        if (!plain[uchar(c)])
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
