// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "modCarrierTable.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

// Carrier rows that a database names for codes the fixed table lacks. The
// producer writes them as lines in code page 932 between the last record and
// the tail:
//
//     #carriers CR LF
//     code,text,area CR LF        (one line per row, e.g. C155,楽天モバイル,99)
//     #end CR LF
//
// A lookup can never take any of it for a record key: a key is eight or more
// ASCII digits followed by its kind letter, while no run of ASCII digits in
// the section is longer than four (a code has three, an area two, a text is
// refused with more than MaxDigitRun in a row; the second byte of a two-byte
// character is never a digit). The section starts with "#" after a line end
// and ends with a line end, so no key runs into it from either side, and it
// ends on a character boundary, so the tail and what follows read as before.
// Readers that know nothing of it pass over it like any other bytes between
// records.
class cCarrierSection {
public:
    struct tRow {
        QString code;
        QString text;
        short area = modCarrierTable::AreaNone;
    };

    static constexpr qsizetype MaxTextLength = 40;
    static constexpr int MaxDigitRun = 4;

    // Why the row cannot be written into a database; empty when it can. The
    // code is a capital letter and three digits without a row in the fixed
    // table (whose rows always win); the text is 1 to MaxTextLength characters
    // of code page 932 without control characters, commas or more than
    // MaxDigitRun digits (ASCII or full-width) in a row, and none of the
    // notices for an unlisted number or one that needs more digits; the area is
    // a map area (0 to 10) or modCarrierTable::AreaNone.
    static QString RowProblem(const QString& strCode, const QString& strText, int intArea);
    // The section for the rows, each accepted by RowProblem, in the order
    // given; the empty text for no rows.
    static QString SectionText(const QList<tRow>& rows);
    // The table line of a row, as lumivo-mkdb build reads it: carrier,code,text,area.
    static QString TableLine(const tRow& row);

    // Reads the section that ends right before the database's 16-byte tail,
    // replacing the rows held. A line RowProblem refuses is passed over, and so
    // is a second row for a code; without a complete section there are no rows.
    void Read(QByteArrayView bytData);
    // The rows read, in the order of the file.
    const QList<tRow>& Rows() const { return m_rows; }

    // The row for a code: the fixed table's when it has one, else the one read
    // here, else the fixed table's row of every unknown value.
    const modCarrierTable::tCarrierRow& Lookup(QStringView strCode) const;

private:
    static QString RowText(const tRow& row);

    QList<tRow> m_rows;
    // Views of m_rows, sorted by code.
    std::vector<modCarrierTable::tCarrierRow> m_sorted;
};
