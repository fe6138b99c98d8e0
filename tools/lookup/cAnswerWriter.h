// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cNumberDB.h"
#include "modCarrierTable.h"
#include "modSearch.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string>

// The tool's answers, one line per number, collected into large blocks and
// each block written to standard output at once.
class cAnswerWriter {
public:
    // Rows: the rows of a CSV list, each written back with the code and the
    // text appended as two more fields.
    enum class eFormat { Tsv, Csv, Jsonl, Rows };

    // blnCp932: Shift_JIS (code page 932) instead of UTF-8, for tsv, csv and
    // rows. CSV in UTF-8 starts with a byte order mark, which spreadsheets
    // need to take it for UTF-8 (rows: the caller writes what the list had).
    // blnStrict: numbers are checked as typed (for the refusal's keyword).
    cAnswerWriter(eFormat format, bool blnCp932, bool blnStrict);

    // strGiven: the number as given; strSearched: the text checked and searched
    // for it; bytUtf8: strGiven in UTF-8 when the caller has it at hand.
    void Answer(const cNumberDB& db, QStringView strGiven, QStringView strSearched,
                QByteArrayView bytUtf8 = {});

    // Rows: bytRow, a row already in the output's encoding without its line
    // end, then the answer for the number it holds (strSearched), then bytLineEnd.
    void AnswerRow(const cNumberDB& db, QByteArrayView bytRow, QByteArrayView bytLineEnd,
                   QStringView strSearched);
    // Rows: bytes written as they are (a byte order mark, a header row).
    void Write(QByteArrayView bytRaw) { m_buffer.append(bytRaw.data(), size_t(bytRaw.size())); }
    // The names of the two fields a header row gets, in the output's encoding.
    static QByteArrayView HeaderFields() { return ",code,text"; }

    // Whether a number was refused by the input check.
    bool AnyRefused() const { return m_blnRefused; }

    // Writes the answers so far. False once some output could not be written;
    // nothing more is written then.
    bool Flush();
    bool Failed() const { return !m_strError.isEmpty(); }
    QString ErrorText() const { return m_strError; }

private:
    static constexpr int RefusalCount = int(modSearch::eRefusal::NotDigits) + 1;

    // Nothing to escape or quote: printable ASCII but for "\\", "," and the quote.
    static constexpr bool IsPlainChar(uint c) {
        return c > 0x20 && c < 0x7F && c != '\\' && c != ',' && c != '"';
    }
    static bool IsPlain(QStringView strText);
    static bool IsPlain(QByteArrayView bytText);
    static bool IsUnsafe(char32_t c);
    static QByteArray Escape16(char16_t c);
    bool StartsFormula(uint c) const;
    void Append(const QByteArray& bytText);
    QByteArray Field(QStringView strText) const;
    static bool IsJsonPlain(QStringView strText);
    static QByteArray JsonString(QStringView strText);
    void AnswerJson(QStringView strGiven, QStringView strSearched,
                    const modSearch::tSearchResult& result);
    void AppendCode(const modSearch::tSearchResult& result);
    QByteArray EncodedText(QStringView strText) const;
    void AppendText(const modSearch::tSearchResult& result);

    eFormat m_format;
    bool m_blnCsv;
    bool m_blnCp932;
    bool m_blnStrict;
    bool m_blnRefused = false;
    std::string m_buffer;
    // Each text the result box can show, as a field of the output (as a JSON string for jsonl).
    QByteArray m_rowTexts[modCarrierTable::RowIndexCount];
    QByteArray m_refusalTexts[RefusalCount];
    QString m_strError;
};
