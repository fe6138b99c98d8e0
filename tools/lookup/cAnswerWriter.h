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
    enum class eFormat { Tsv, Csv, Jsonl };

    // blnCp932: Shift_JIS (code page 932) instead of UTF-8, for tsv and csv.
    // CSV in UTF-8 starts with a byte order mark, which spreadsheets need to
    // take it for UTF-8.
    cAnswerWriter(eFormat format, bool blnCp932);

    // strGiven: the number as given; strSearched: the text checked and searched
    // for it; bytUtf8: strGiven in UTF-8 when the caller has it at hand.
    void Answer(const cNumberDB& db, QStringView strGiven, QStringView strSearched,
                QByteArrayView bytUtf8 = {});

    // Writes the answers so far. False once some output could not be written;
    // nothing more is written then.
    bool Flush();
    bool Failed() const { return !m_strError.isEmpty(); }
    QString ErrorText() const { return m_strError; }

private:
    static constexpr int RefusalCount = int(modSearch::eRefusal::NotDigits) + 1;

    static bool IsPlainChar(uint c);
    static bool IsPlain(QStringView strText);
    static bool IsPlain(QByteArrayView bytText);
    static bool IsUnsafe(char32_t c);
    static QByteArray Escape16(char16_t c);
    bool StartsFormula(uint c) const;
    void Append(const QByteArray& bytText);
    QByteArray Field(QStringView strText) const;
    void AnswerJson(QStringView strGiven, QStringView strSearched,
                    const modSearch::tSearchResult& result);

    eFormat m_format;
    bool m_blnCsv;
    bool m_blnCp932;
    std::string m_buffer;
    QByteArray m_rowTexts[modCarrierTable::RowIndexCount];
    QByteArray m_refusalTexts[RefusalCount];
    QString m_strError;
};
