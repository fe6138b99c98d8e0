#pragma once

#include <QString>

class cNumberDB;

// The prefix search: record keys from a number's leading digits, and the
// search steps that lead from a number to its final carrier code.
namespace modSearch {

// The record key for the number's first 6 to 9 characters: the prefix code
// ("00" for 090, "01" for 080, "02" for 070), one two-digit field per digit
// from the 4th on (digit + its position after the prefix), then the kind
// letter A, F, G or H.
QString MakeKey(const QString& strLead);

QString SearchDB6(const cNumberDB& db, const QString& strLead);
QString SearchDB7(const cNumberDB& db, const QString& strLead);
QString SearchDB8(const cNumberDB& db, const QString& strLead);
QString SearchDB9(const cNumberDB& db, const QString& strLead);

// The final carrier code of an accepted number: kind A; on a miss kind F; after
// "C160" with at least 8 characters kind G; after "C161" with at least 9 kind H.
// "0" when nothing was found.
QString SearchCarrierCode(const cNumberDB& db, const QString& strNumber);

// What a search shows for a typed number: a refusal, or the code and its row.
struct tSearchResult {
    bool accepted = false;
    QString code;    // the final carrier code; empty when refused
    QString text;    // the refusal message or the carrier text
    short area = 99; // the map area; 99 for none
};
tSearchResult SearchNumber(const cNumberDB& db, const QString& strNumber);

} // namespace modSearch
