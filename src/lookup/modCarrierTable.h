// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QStringList>
#include <QStringView>

namespace modCarrierTable {

// Area 99: the map shows no region.
constexpr short AreaNone = 99;

// The codes that ask for more digits: a 7-digit block split into 8-digit ones,
// an 8-digit block split into 9-digit ones. The search goes on to the longer
// key after them; the database producer writes them, a table never lists them.
constexpr QStringView NeedsEightDigits = u"C160";
constexpr QStringView NeedsNineDigits = u"C161";

// One row of the fixed table; the texts are static, so rows are handed out by reference.
struct tCarrierRow {
    QStringView code; // empty for the row of every unknown value
    QStringView text; // what the result box shows
    short area;       // the map area, 0 to 10, or AreaNone
};

// The row for a carrier code, compared exactly (letter case included); every
// unknown value, "0" included, gets "未使用or未確認" and no area.
const tCarrierRow& LookupCarrier(QStringView strCode);

// The row's place in the table (0 to 65), 66 for the row of every unknown
// value; for callers that keep something per row. -1 for a row that is not
// the table's own (one a database names, cCarrierSection).
int RowIndex(const tCarrierRow& row);
// Whether it is the row of every unknown value.
bool IsUnknown(const tCarrierRow& row);
constexpr int RowIndexCount = 67;

// Every code that has a row of its own, in table order.
QStringList AllCodes();

} // namespace modCarrierTable
