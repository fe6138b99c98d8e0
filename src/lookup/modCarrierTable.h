#pragma once

#include <QString>
#include <QStringList>

namespace modCarrierTable {

// Area 99: the map shows no region.
constexpr short AreaNone = 99;

struct tCarrierRow {
    QString text; // what the result box shows
    short area;   // the map area, 0 to 10, or AreaNone
};

// The row for a carrier code; every unknown value, "0" included, gets
// "未使用or未確認" and no area.
tCarrierRow LookupCarrier(const QString& strCode);

// Every code that has a row of its own, in table order.
QStringList AllCodes();

} // namespace modCarrierTable
