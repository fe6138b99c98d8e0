// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cNumberDB.h"
#include "modCarrierTable.h"
#include "modInputCheck.h"

#include <QString>
#include <QStringView>

// The prefix search: record keys from a number's leading digits, and the
// search steps that lead from a number to its final carrier code.
namespace modSearch {

// The record key for the number's first 6 to 9 characters (modRecordKey).
QString MakeKey(const QString& strLead);

QString SearchDB6(const cNumberDB& db, const QString& strLead);
QString SearchDB7(const cNumberDB& db, const QString& strLead);
QString SearchDB8(const cNumberDB& db, const QString& strLead);
QString SearchDB9(const cNumberDB& db, const QString& strLead);

// The final carrier code of an accepted number: kind A; on a miss kind F; after
// NeedsEightDigits with at least 8 characters kind G; after NeedsNineDigits with
// at least 9 kind H (modCarrierTable).
// "0" when nothing was found. The number must be accepted by the input check.
QString SearchCarrierCode(const cNumberDB& db, const QString& strNumber);
// The same without allocating (the keys are built in place); SearchCarrierCode
// and SearchNumber both take their steps from here.
tCarrierCode FindCarrierCode(const cNumberDB& db, QStringView strNumber);

using modInputCheck::eRefusal;

// The message the result box shows for a refusal; empty for eRefusal::None.
QStringView RefusalText(eRefusal refusal);

// The whole outcome of one search, as the window and the command-line tool
// both show it.
struct tSearchResult {
    eRefusal refusal = eRefusal::None;
    tCarrierCode code; // the final carrier code ("0" when not found); meaningless when refused
    // The code's row (cNumberDB::CarrierRow); null when refused.
    const modCarrierTable::tCarrierRow* row = nullptr;

    bool Accepted() const { return refusal == eRefusal::None; }
    // The refusal message or the row's text.
    QStringView Text() const { return row ? row->text : RefusalText(refusal); }
    short Area() const { return row ? row->area : modCarrierTable::AreaNone; }
    // Searched and not one of the notices that ask for more digits.
    bool Logged() const;
    // Found in no record: the notice that offers the support address follows.
    bool Unlisted() const { return Accepted() && code == u"0"; }
};

// Checks the number, then searches it. blnDBLoaded false refuses every
// accepted number with eRefusal::NoDatabase.
tSearchResult SearchNumber(const cNumberDB& db, QStringView strNumber, bool blnDBLoaded = true);
inline tSearchResult SearchNumber(const cNumberDB& db, const QString& strNumber,
                                  bool blnDBLoaded = true) {
    return SearchNumber(db, QStringView(strNumber), blnDBLoaded);
}

} // namespace modSearch
