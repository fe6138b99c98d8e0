// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QStringView>

namespace modInputCheck {

// Why a number was not searched: the input check's refusals, and no database.
enum class eRefusal {
    None,       // searched
    NoDatabase, // db.dat could not be read
    Prefix,     // does not begin with 090, 080, 070 or 0601 to 0609
    TooShort,   // fewer than 7 characters
    TooLong,    // more than 11 characters
    NotDigits,  // holds anything other than 0-9
};

// Whether a typed number may be looked up, or why not. The checks run in a
// fixed order and the first failing one decides: prefix, at least 7, at most
// 11 characters, then digits only.
eRefusal CheckNumber(QStringView strNumber);

// True for a text beginning with one of the mobile prefixes 090, 080, 070, or
// with 060 and a digit from 1 to 9.
bool HasMobilePrefix(QStringView strNumber);
// True when every character is one of 0-9 (the empty text included).
bool IsAllDigits(QStringView strText);

} // namespace modInputCheck
